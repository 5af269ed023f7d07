#include "PageSetupPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace printpanels::host {
namespace {
const char* const kDuplex = "Duplex";
const char* const kPageSize = "PageSize";
} // namespace

QStringList PageSetupPage::ppdKeywords()
{
    return {QString::fromLatin1(kDuplex), QString::fromLatin1(kPageSize)};
}

PageSetupPage::PageSetupPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageSetup"));
    auto* layout = new QVBoxLayout(this);
    form_ = new QFormLayout;
    layout->addLayout(form_);
    layout->addStretch(1);

    auto addRow = [this](const QString& label, const char* name) {
        auto* combo = new QComboBox;
        combo->setObjectName(QString::fromLatin1(name));
        auto* text = new QLabel(label);
        text->setBuddy(combo);
        form_->addRow(text, combo);
        return combo;
    };
    duplex_ = addRow(tr("&Two-sided:"), "feature-Duplex");
    paper_ = addRow(tr("Paper si&ze:"), "feature-PageSize");
    orientation_ = addRow(tr("&Orientation:"), "orientation");
    orientation_->addItem(tr("Portrait"), 3);
    orientation_->addItem(tr("Landscape"), 4);
    orientation_->addItem(tr("Reverse landscape"), 5);
    orientation_->addItem(tr("Reverse portrait"), 6);
    numberUp_ = addRow(tr("Pages per &sheet:"), "numberUp");
    for (int n : {1, 2, 4, 6, 9, 16})
        numberUp_->addItem(QString::number(n), n);

    for (QComboBox* ppdBox : {duplex_, paper_}) {
        connect(ppdBox, &QComboBox::activated, this, [this, ppdBox](int index) {
            emit ppdChosen(ppdBox->property("ppdKeyword").toString(), ppdBox->itemData(index).toString());
        });
    }
    connect(orientation_, &QComboBox::currentIndexChanged, this, &PageSetupPage::changed);
    connect(numberUp_, &QComboBox::currentIndexChanged, this, &PageSetupPage::changed);
}

void PageSetupPage::setPpd(const PpdDocument& ppd, const QSet<QString>& shownByPanels)
{
    ppd_ = &ppd;
    const std::vector<PpdOption> options = ppd.options();
    for (auto [box, keyword] : {std::pair{duplex_, kDuplex}, std::pair{paper_, kPageSize}}) {
        QSignalBlocker block(box);
        box->clear();
        box->setProperty("ppdKeyword", QString());
        bool shown = false;
        if (!shownByPanels.contains(QString::fromLatin1(keyword)))
            for (const PpdOption& option : options)
                if (option.keyword == keyword && option.entry == PpdOption::Entry::Choices) {
                    for (const auto& [choice, text] : option.choices)
                        box->addItem(text, QString::fromStdString(choice));
                    box->setProperty("ppdKeyword", QString::fromLatin1(keyword));
                    box->setAccessibleDescription(option.title);
                    shown = true;
                }
        form_->setRowVisible(box, shown);
    }
    refresh();
}

void PageSetupPage::refresh()
{
    for (QComboBox* box : {duplex_, paper_}) {
        const QString keyword = box->property("ppdKeyword").toString();
        if (keyword.isEmpty() || !ppd_)
            continue;
        QSignalBlocker block(box);
        box->setCurrentIndex(box->findData(QString::fromStdString(ppd_->markedValue(keyword.toStdString()))));
    }
}

QComboBox* PageSetupPage::control(const QString& keyword) const
{
    for (QComboBox* box : {duplex_, paper_})
        if (!keyword.isEmpty() && box->property("ppdKeyword").toString() == keyword)
            return box;
    return nullptr;
}

QStringList PageSetupPage::shownKeywords() const
{
    QStringList out;
    for (QComboBox* box : {duplex_, paper_})
        if (const QString k = box->property("ppdKeyword").toString(); !k.isEmpty())
            out << k;
    return out;
}

int PageSetupPage::orientation() const { return orientation_->currentData().toInt(); }

void PageSetupPage::setOrientation(int value)
{
    const int index = orientation_->findData(value);
    orientation_->setCurrentIndex(index < 0 ? 0 : index);
}

int PageSetupPage::numberUp() const { return numberUp_->currentData().toInt(); }

void PageSetupPage::setNumberUp(int value)
{
    const int index = numberUp_->findData(value);
    numberUp_->setCurrentIndex(index < 0 ? 0 : index);
}

} // namespace printpanels::host

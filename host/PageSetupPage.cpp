#include "PageSetupPage.h"

#include <QCheckBox>
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
    layout_ = addRow(tr("Order on the s&heet:"), "numberUpLayout");
    scaling_ = addRow(tr("Sc&aling:"), "printScaling");
    pageSet_ = addRow(tr("Only pr&int:"), "pageSet");
    pageSet_->addItem(tr("All pages"), QStringLiteral("all"));
    pageSet_->addItem(tr("Odd pages"), QStringLiteral("odd"));
    pageSet_->addItem(tr("Even pages"), QStringLiteral("even"));
    fit_ = new QCheckBox(tr("Scale to &fit the paper"));
    fit_->setObjectName(QStringLiteral("fitToPage"));
    form_->addRow(fit_);
    reverse_ = new QCheckBox(tr("Print in &reverse order"));
    reverse_->setObjectName(QStringLiteral("reverseOrder"));
    reverse_->setToolTip(tr("The last page comes out first"));
    form_->addRow(reverse_);

    for (QComboBox* ppdBox : {duplex_, paper_}) {
        connect(ppdBox, &QComboBox::activated, this, [this, ppdBox](int index) {
            emit ppdChosen(ppdBox->property("ppdKeyword").toString(), ppdBox->itemData(index).toString());
        });
    }
    connect(orientation_, &QComboBox::currentIndexChanged, this, &PageSetupPage::changed);
    connect(numberUp_, &QComboBox::currentIndexChanged, this, [this] {
        // The order on the sheet means something with several pages to it.
        layout_->setEnabled(numberUp() > 1);
        emit changed();
    });
    for (QComboBox* box : {layout_, scaling_, pageSet_})
        connect(box, &QComboBox::currentIndexChanged, this, &PageSetupPage::changed);
    for (QCheckBox* box : {fit_, reverse_})
        connect(box, &QCheckBox::toggled, this, &PageSetupPage::changed);
    setCapabilities({});
}

namespace {

QString layoutText(const QString& keyword)
{
    static const std::pair<const char*, const char*> texts[] = {
        {"lrtb", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Left to right, top to bottom")},
        {"lrbt", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Left to right, bottom to top")},
        {"rltb", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Right to left, top to bottom")},
        {"rlbt", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Right to left, bottom to top")},
        {"tblr", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Top to bottom, left to right")},
        {"tbrl", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Top to bottom, right to left")},
        {"btlr", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Bottom to top, left to right")},
        {"btrl", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Bottom to top, right to left")}};
    for (const auto& [k, text] : texts)
        if (keyword == QLatin1String(k))
            return PageSetupPage::tr(text);
    return keyword;
}

QString scalingText(const QString& keyword)
{
    static const std::pair<const char*, const char*> texts[] = {
        {"auto", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Automatic")},
        {"auto-fit", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Shrink to fit when too large")},
        {"fit", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Fit to the paper")},
        {"fill", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Fill the paper")},
        {"none", QT_TRANSLATE_NOOP("printpanels::host::PageSetupPage", "Actual size")}};
    for (const auto& [k, text] : texts)
        if (keyword == QLatin1String(k))
            return PageSetupPage::tr(text);
    return keyword;
}

void selectData(QComboBox* box, const QString& value)
{
    if (const int index = box->findData(value); index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

void PageSetupPage::setCapabilities(const JobCapabilities& caps)
{
    caps_ = caps;
    const QSignalBlocker blocks[] = {QSignalBlocker(layout_), QSignalBlocker(scaling_), QSignalBlocker(pageSet_),
                                     QSignalBlocker(fit_), QSignalBlocker(reverse_)};
    // CUPS's own defaults: "lrtb", "auto", all pages, in order.
    layout_->clear();
    for (const QString& keyword : caps.numberUpLayouts)
        layout_->addItem(layoutText(keyword), keyword);
    selectData(layout_, QStringLiteral("lrtb"));
    layout_->setEnabled(numberUp() > 1);
    form_->setRowVisible(layout_, layout_->count() > 0);
    scaling_->clear();
    for (const QString& keyword : caps.printScaling)
        scaling_->addItem(scalingText(keyword), keyword);
    selectData(scaling_, QStringLiteral("auto"));
    form_->setRowVisible(scaling_, scaling_->count() > 0);
    // A server without print-scaling still scales with fit-to-page.
    fit_->setChecked(false);
    form_->setRowVisible(fit_, caps.known && caps.printScaling.isEmpty());
    pageSet_->setCurrentIndex(0);
    form_->setRowVisible(pageSet_, caps.pageSet);
    reverse_->setChecked(false);
    form_->setRowVisible(reverse_, caps.reverseOrder);
}

void PageSetupPage::setJobValues(const JobValues& values)
{
    bool ok = false;
    if (const int orientation = values.value(QStringLiteral("orientation-requested")).toInt(&ok); ok)
        setOrientation(orientation);
    if (const int n = values.value(QStringLiteral("number-up")).toInt(&ok); ok)
        setNumberUp(n);
    const QSignalBlocker blocks[] = {QSignalBlocker(layout_), QSignalBlocker(scaling_), QSignalBlocker(pageSet_),
                                     QSignalBlocker(fit_), QSignalBlocker(reverse_)};
    selectData(layout_, values.value(QStringLiteral("number-up-layout")));
    selectData(scaling_, values.value(QStringLiteral("print-scaling")));
    selectData(pageSet_, values.value(QStringLiteral("page-set")));
    const QString fit = values.value(QStringLiteral("fit-to-page"));
    if (!fit.isEmpty())
        fit_->setChecked(fit == QLatin1String("true"));
    const QString order = values.value(QStringLiteral("outputorder"));
    if (!order.isEmpty())
        reverse_->setChecked(order == QLatin1String("reverse"));
    layout_->setEnabled(numberUp() > 1);
}

JobValues PageSetupPage::jobValues() const
{
    JobValues out;
    out.insert(QStringLiteral("orientation-requested"), QString::number(orientation()));
    out.insert(QStringLiteral("number-up"), QString::number(numberUp()));
    if (layout_->count() > 0)
        out.insert(QStringLiteral("number-up-layout"), layout_->currentData().toString());
    if (scaling_->count() > 0)
        out.insert(QStringLiteral("print-scaling"), scaling_->currentData().toString());
    else if (caps_.known)
        out.insert(QStringLiteral("fit-to-page"), fit_->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
    if (caps_.pageSet)
        out.insert(QStringLiteral("page-set"), pageSet_->currentData().toString());
    if (caps_.reverseOrder)
        out.insert(QStringLiteral("outputorder"), reverse_->isChecked() ? QStringLiteral("reverse") : QStringLiteral("normal"));
    return out;
}

QList<QPair<QString, QString>> PageSetupPage::describeJobOptions() const
{
    QList<QPair<QString, QString>> out;
    if (layout_->count() > 0 && numberUp() > 1)
        out.append({tr("Order on the sheet:"), layout_->currentText()});
    if (scaling_->count() > 0)
        out.append({tr("Scaling:"), scaling_->currentText()});
    else if (caps_.known)
        out.append({tr("Scale to fit the paper:"), fit_->isChecked() ? tr("Yes") : tr("No")});
    if (caps_.pageSet)
        out.append({tr("Only print:"), pageSet_->currentText()});
    if (caps_.reverseOrder)
        out.append({tr("Page order:"), reverse_->isChecked() ? tr("Reverse") : tr("Normal")});
    return out;
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

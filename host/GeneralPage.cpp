#include "GeneralPage.h"

#include "PreviewRenderer.h"
#include "PrinterStatusView.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace printpanels::host {
namespace {
constexpr int kNameRole = Qt::UserRole;     // the queue's name; empty for the file row
constexpr int kFileRole = Qt::UserRole + 1; // true on the file row
}

GeneralPage::GeneralPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("general"));
    auto* layout = new QVBoxLayout(this);

    list_ = new QTreeWidget;
    list_->setObjectName(QStringLiteral("printerList"));
    list_->setColumnCount(3);
    list_->setHeaderLabels({tr("Printer"), tr("State"), tr("Location")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list_->setMinimumHeight(list_->fontMetrics().lineSpacing() * 6);
    auto* listLabel = new QLabel(tr("Pri&nter:"));
    listLabel->setBuddy(list_);
    // A list view takes no name from its label (unlike the simple controls):
    // screen readers say the caption's words, then the row's printer and,
    // as its description, its state.
    list_->setAccessibleName(listLabel->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed());
    layout->addWidget(listLabel);
    layout->addWidget(list_, 1);

    status_ = new PrinterStatusView;
    layout->addWidget(status_);

    auto* form = new QFormLayout;
    outputFile_ = new QLineEdit;
    outputFile_->setObjectName(QStringLiteral("outputFile"));
    browse_ = new QPushButton(tr("B&rowse..."));
    browse_->setAccessibleDescription(tr("Choose the file to save the document to"));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(outputFile_, 1);
    fileRow->addWidget(browse_);
    auto* fileLabel = new QLabel(tr("Output &file:"));
    fileLabel->setBuddy(outputFile_);
    form->addRow(fileLabel, fileRow);

    pages_ = new QLineEdit;
    pages_->setObjectName(QStringLiteral("pageRanges"));
    pages_->setPlaceholderText(tr("All pages"));
    pages_->setToolTip(tr("Pages and ranges separated by commas, e.g. 1-3, 8"));
    pages_->setAccessibleDescription(tr("Empty for all pages, or pages and ranges separated by commas, e.g. 1-3, 8"));
    auto* pagesLabel = new QLabel(tr("Pa&ges:"));
    pagesLabel->setBuddy(pages_);
    form->addRow(pagesLabel, pages_);

    copies_ = new QSpinBox;
    copies_->setObjectName(QStringLiteral("copies"));
    copies_->setRange(1, 9999);
    collate_ = new QCheckBox(tr("C&ollate"));
    collate_->setObjectName(QStringLiteral("collate"));
    collate_->setChecked(true);
    collate_->setEnabled(false);
    collate_->setToolTip(tr("Print each copy whole before the next"));
    auto* copiesRow = new QHBoxLayout;
    copiesRow->addWidget(copies_);
    copiesRow->addWidget(collate_);
    copiesRow->addStretch(1);
    auto* copiesLabel = new QLabel(tr("&Copies:"));
    copiesLabel->setBuddy(copies_);
    form->addRow(copiesLabel, copiesRow);
    layout->addLayout(form);

    setTabOrder(list_, outputFile_);
    setTabOrder(outputFile_, browse_);
    setTabOrder(browse_, pages_);
    setTabOrder(pages_, copies_);
    setTabOrder(copies_, collate_);

    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { rowChosen(item); });
    connect(pages_, &QLineEdit::textChanged, this, [this] {
        // Text that is not a list of ranges is marked, and the dialog says
        // so when printing.
        const bool valid = parsePageRanges(pages_->text(), 0).has_value();
        pages_->setProperty("invalid", !valid);
        QPalette palette = pages_->palette();
        palette.setColor(QPalette::Text, valid ? QPalette().color(QPalette::Text) : QColor(Qt::red).darker(130));
        pages_->setPalette(palette);
        emit changed();
    });
    connect(copies_, &QSpinBox::valueChanged, this, [this](int copies) {
        collate_->setEnabled(copies > 1);
        emit changed();
    });
    connect(collate_, &QCheckBox::toggled, this, &GeneralPage::changed);
    connect(outputFile_, &QLineEdit::textChanged, this, &GeneralPage::changed);
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(this, tr("Save Document As"), outputFile_->text());
        if (!file.isEmpty())
            outputFile_->setText(file);
    });
}

void GeneralPage::fillRow(QTreeWidgetItem* item, const PrinterStatus& status)
{
    item->setText(0, status.isDefault ? tr("%1 (default)").arg(status.name) : status.name);
    item->setText(1, status.summary());
    item->setText(2, status.location);
    item->setData(0, kNameRole, status.name);
    item->setToolTip(0, status.info.isEmpty() ? status.name : status.info);
    item->setData(0, Qt::AccessibleDescriptionRole, item->text(1));
}

void GeneralPage::setPrinters(const QList<PrinterStatus>& printers, const QString& current, bool withFile)
{
    QSignalBlocker block(list_);
    printers_ = printers;
    list_->clear();
    for (const PrinterStatus& p : printers)
        fillRow(new QTreeWidgetItem(list_), p);
    if (withFile) {
        auto* file = new QTreeWidgetItem(list_, {tr("Save to File"), tr("Copies the document to a file")});
        file->setData(0, kFileRole, true);
        file->setData(0, Qt::AccessibleDescriptionRole, file->text(1));
    }
    choose(current);
}

void GeneralPage::choose(const QString& printer, bool file)
{
    QSignalBlocker block(list_);
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const bool isFile = item->data(0, kFileRole).toBool();
        if (file ? isFile : (!isFile && item->data(0, kNameRole).toString() == printer)) {
            list_->setCurrentItem(item);
            break;
        }
    }
    const bool toFile = fileChosen();
    outputFile_->setEnabled(toFile);
    browse_->setEnabled(toFile);
    copies_->setEnabled(!toFile);
    collate_->setEnabled(!toFile && copies_->value() > 1);
}

void GeneralPage::updatePrinter(const PrinterStatus& status)
{
    for (int i = 0; i < printers_.size(); ++i)
        if (printers_[i].name == status.name) {
            printers_[i].state = status.state;
            printers_[i].reasons = status.reasons;
            printers_[i].accepting = status.accepting;
        }
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (const PrinterStatus* p = printer(list_->topLevelItem(i)->data(0, kNameRole).toString());
            p && p->name == status.name) {
            list_->topLevelItem(i)->setText(1, p->summary());
            list_->topLevelItem(i)->setData(0, Qt::AccessibleDescriptionRole, p->summary());
        }
}

const PrinterStatus* GeneralPage::printer(const QString& name) const
{
    for (const PrinterStatus& p : printers_)
        if (p.name == name)
            return &p;
    return nullptr;
}

bool GeneralPage::fileChosen() const
{
    return list_->currentItem() && list_->currentItem()->data(0, kFileRole).toBool();
}

void GeneralPage::rowChosen(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const bool toFile = item->data(0, kFileRole).toBool();
    outputFile_->setEnabled(toFile);
    browse_->setEnabled(toFile);
    copies_->setEnabled(!toFile);
    collate_->setEnabled(!toFile && copies_->value() > 1);
    if (toFile)
        emit saveToFileChosen();
    else
        emit printerChosen(item->data(0, kNameRole).toString());
}

} // namespace printpanels::host

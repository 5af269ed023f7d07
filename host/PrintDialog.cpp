#include "PrintDialog.h"

#include "JobSubmitter.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>


namespace printpanels::host {
PrintDialog::PrintDialog(HostSession& session, QList<PluginSet::Panel> panels, QString document, QWidget* parent)
    : QDialog(parent), session_(session), panels_(std::move(panels)), document_(std::move(document))
{
    ppd_file_t* ppd = session_.ppd().ppd();
    const QString printerName = !session_.queue().isEmpty() ? session_.queue()
                                : (ppd && ppd->nickname) ? QString::fromUtf8(ppd->nickname)
                                                         : tr("PPD file");
    setWindowTitle(tr("Print - %1").arg(printerName));
    setObjectName(QStringLiteral("printDialog"));

    auto* top = new QFormLayout;
    auto* printer = new QLabel(printerName);
    printer->setObjectName(QStringLiteral("printerName"));
    printer->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* printerLabel = new QLabel(tr("Printer:"));
    printerLabel->setBuddy(printer);
    top->addRow(printerLabel, printer);

    destination_ = new QComboBox;
    destination_->setObjectName(QStringLiteral("destination"));
    if (!session_.queue().isEmpty())
        destination_->addItem(tr("Printer \"%1\"").arg(session_.queue()), int(kPMDestinationPrinter));
    destination_->addItem(tr("Save to file"), int(kPMDestinationFile));
    auto* destinationLabel = new QLabel(tr("Des&tination:"));
    destinationLabel->setBuddy(destination_);
    top->addRow(destinationLabel, destination_);

    outputFile_ = new QLineEdit;
    outputFile_->setObjectName(QStringLiteral("outputFile"));
    browse_ = new QPushButton(tr("B&rowse..."));
    browse_->setAccessibleDescription(tr("Choose the file to save the document to"));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(outputFile_, 1);
    fileRow->addWidget(browse_);
    auto* fileLabel = new QLabel(tr("Output &file:"));
    fileLabel->setBuddy(outputFile_);
    top->addRow(fileLabel, fileRow);

    copies_ = new QSpinBox;
    copies_->setObjectName(QStringLiteral("copies"));
    copies_->setRange(1, 9999);
    auto* copiesLabel = new QLabel(tr("&Copies:"));
    copiesLabel->setBuddy(copies_);
    top->addRow(copiesLabel, copies_);

    auto* documentName = new QLabel(document_.isEmpty() ? tr("(none)") : QFileInfo(document_).fileName());
    documentName->setObjectName(QStringLiteral("documentName"));
    auto* documentLabel = new QLabel(tr("Document:"));
    documentLabel->setBuddy(documentName);
    top->addRow(documentLabel, documentName);

    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->setAccessibleName(tr("Settings pages"));
    pages_->setUsesScrollButtons(true);

    // The panels come up with the values kept for this queue.
    for (int i = 0; i < panels_.size(); ++i) {
        PDEPanel* panel = panels_[i].panel;
        QWidget* view = panel->panelView();
        panel->restoreValuesAndReturnError(nullptr);
        if (!view)
            continue;
        const int index = pages_->addTab(view, panel->panelName());
        pages_->setTabToolTip(index, panel->panelName());
        tabPanel_ << i;
    }

    QSet<QString> shownByPanels;
    for (const auto& p : panels_)
        for (const QString& key : p.panel->supportedPPDOptionKeys())
            shownByPanels.insert(key);
    features_ = new PrinterFeaturesPage(session_.ppd(), shownByPanels);
    connect(features_, &PrinterFeaturesPage::chosen, this, &PrintDialog::featureChosen);
    auto* featuresScroll = new QScrollArea;
    featuresScroll->setWidget(features_);
    featuresScroll->setWidgetResizable(true);
    featuresScroll->setFrameShape(QFrame::NoFrame);
    featuresIndex_ = pages_->addTab(featuresScroll, tr("Printer Features"));

    summary_ = new QTreeWidget;
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setAccessibleName(tr("Summary of the settings"));
    summary_->setColumnCount(2);
    summary_->setHeaderLabels({tr("Setting"), tr("Value")});
    summary_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    summaryIndex_ = pages_->addTab(summary_, tr("Summary"));

    message_ = new QLabel;
    message_->setObjectName(QStringLiteral("message"));
    message_->setWordWrap(true);
    // Screen readers read the message itself (a label's accessible name is
    // its text, and a new text is announced as a name change); this only
    // says what kind of text it is.
    message_->setAccessibleDescription(tr("Settings message"));
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    message_->setMinimumHeight(message_->fontMetrics().lineSpacing() * 2);

    auto* buttons = new QDialogButtonBox;
    helpButton_ = buttons->addButton(QDialogButtonBox::Help);
    buttons->addButton(QDialogButtonBox::Cancel);
    printButton_ = buttons->addButton(tr("&Print"), QDialogButtonBox::AcceptRole);
    printButton_->setObjectName(QStringLiteral("printButton"));
    printButton_->setDefault(true);

    setMinimumWidth(560);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pages_, 1);
    layout->addWidget(message_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] { print(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &PrintDialog::reject);
    connect(helpButton_, &QPushButton::clicked, this, &PrintDialog::openHelp);
    connect(destination_, &QComboBox::currentIndexChanged, this, &PrintDialog::destinationChanged);
    connect(outputFile_, &QLineEdit::textChanged, this, &PrintDialog::destinationChanged);
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(this, tr("Save Document As"), outputFile_->text());
        if (!file.isEmpty())
            outputFile_->setText(file);
    });
    connect(pages_, &QTabWidget::currentChanged, this, &PrintDialog::pageChanged);

    session_.setMarkListener([this](const QString& key, const MarkOutcome& outcome) { showOutcome(key, outcome); });

    destinationChanged();
    pages_->setCurrentIndex(0);
    pageChanged(0);
    rebuildSummary();
}

PrintDialog::~PrintDialog()
{
    session_.setMarkListener({});
}

void PrintDialog::featureChosen(const QString& keyword, const QString& value)
{
    session_.willChangePPDOptionKeyValue(keyword, value);
    features_->refresh();
}

void PrintDialog::showOutcome(const QString& key, const MarkOutcome& outcome)
{
    // One user action may send several requests (a panel sends the image
    // type and then the toner save): the label shows what all of them said,
    // once control is back in the event loop.
    if (!outcome.message.isEmpty() && !pendingMessages_.contains(outcome.message))
        pendingMessages_ << outcome.message;
    if (!flushQueued_) {
        flushQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            flushQueued_ = false;
            message_->setText(pendingMessages_.join(QLatin1Char('\n')));
            pendingMessages_.clear();
        });
    }
    features_->refresh();
    if (outcome.status != MarkOutcome::Status::Marked)
        return;
    // Tell the panels what the PPD now holds for the option and for every
    // option a constraint moved along with it.
    QStringList keys{key};
    for (const std::string& k : outcome.changedKeys)
        keys << QString::fromStdString(k);
    for (const auto& p : panels_) {
        const QStringList supported = p.panel->supportedPPDOptionKeys();
        for (const QString& k : keys)
            if (supported.contains(k))
                p.panel->PPDOptionKeyValueDidChange(k, QString::fromStdString(session_.ppd().markedValue(k.toStdString())));
    }
    if (pages_ && pages_->currentIndex() == summaryIndex_)
        rebuildSummary();
}

void PrintDialog::pageChanged(int index)
{
    if (index < 0)
        return;
    // A panel may keep the user on its page.
    if (PDEPanel* leaving = panelAt(lastIndex_); leaving && lastIndex_ != index && !leaving->shouldHide()) {
        QSignalBlocker block(pages_);
        pages_->setCurrentIndex(lastIndex_);
        return;
    }
    lastIndex_ = index;
    if (PDEPanel* panel = panelAt(index)) {
        panel->willShow();
        helpButton_->setEnabled(panel->shouldShowHelp() && !panels_[tabPanel_[index]].helpBook.isEmpty());
    } else {
        bool anyHelp = false;
        for (const auto& p : panels_)
            anyHelp = anyHelp || !p.helpBook.isEmpty();
        helpButton_->setEnabled(anyHelp);
    }
    if (index == summaryIndex_)
        rebuildSummary();
}

void PrintDialog::rebuildSummary()
{
    summary_->clear();
    auto* general = new QTreeWidgetItem(summary_, {tr("General")});
    new QTreeWidgetItem(general, {tr("Destination"), destination_->currentText()});
    new QTreeWidgetItem(general, {tr("Copies"), QString::number(copies_->value())});
    for (const auto& p : panels_) {
        auto* item = new QTreeWidgetItem(summary_, {p.panel->panelName()});
        const QMap<QString, QString> info = p.panel->summaryInfo();
        for (auto it = info.constBegin(); it != info.constEnd(); ++it)
            new QTreeWidgetItem(item, {it.key(), it.value()});
    }
    if (!features_->isEmpty()) {
        auto* item = new QTreeWidgetItem(summary_, {tr("Printer Features")});
        for (const QString& keyword : features_->keywords()) {
            const OptionText text = session_.ppd().optionText(keyword.toStdString());
            new QTreeWidgetItem(item, {text.title + QLatin1Char(':'), text.value});
        }
    }
    summary_->expandAll();
}

void PrintDialog::destinationChanged()
{
    const auto type = PMDestinationType(destination_->currentData().toInt());
    session_.setDestinationType(type);
    const bool toFile = type == kPMDestinationFile;
    outputFile_->setEnabled(toFile);
    browse_->setEnabled(toFile);
    copies_->setEnabled(!toFile);
    printButton_->setText(toFile ? tr("&Save") : tr("&Print"));
    if (document_.isEmpty()) {
        printButton_->setEnabled(false);
        printButton_->setToolTip(tr("No document was given to print."));
    } else {
        printButton_->setEnabled(!toFile || !outputFile_->text().isEmpty());
        printButton_->setToolTip(QString());
    }
}

void PrintDialog::saveAll()
{
    for (const auto& p : panels_)
        p.panel->saveValuesAndReturnError(nullptr);
    if (!session_.settings().save())
        message_->setText(tr("The print settings could not be saved."));
}

void PrintDialog::showError(const QString& text)
{
    message_->setText(text);
}

bool PrintDialog::print()
{
    if (document_.isEmpty()) {
        showError(tr("There is no document to print."));
        return false;
    }
    for (const auto& p : panels_)
        p.panel->shouldPrint();
    saveAll();

    if (session_.destinationType() == kPMDestinationFile) {
        const QString target = outputFile_->text();
        if (target.isEmpty()) {
            showError(tr("Choose a file to save the document to."));
            return false;
        }
        if (QFileInfo(target).absoluteFilePath() == QFileInfo(document_).absoluteFilePath()) {
            showError(tr("The document cannot be saved over itself."));
            return false;
        }
        if (QFile::exists(target) && !QFile::remove(target)) {
            showError(tr("%1 cannot be replaced.").arg(target));
            return false;
        }
        if (!QFile::copy(document_, target)) {
            showError(tr("The document could not be saved to %1.").arg(target));
            return false;
        }
        accept();
        return true;
    }

    JobRequest request;
    request.queue = session_.queue();
    request.file = document_;
    request.title = session_.settings().jobName();
    request.copies = copies_->value();
    request.options = session_.jobOptions();
    QString error;
    jobId_ = submitJob(request, &error);
    if (jobId_ <= 0) {
        showError(error);
        return false;
    }
    accept();
    return true;
}

void PrintDialog::reject()
{
    // Also after a print that failed: what was changed since then is kept.
    saveAll();
    QDialog::reject();
}

PDEPanel* PrintDialog::panelAt(int tab) const
{
    return tab >= 0 && tab < tabPanel_.size() ? panels_[tabPanel_[tab]].panel : nullptr;
}

void PrintDialog::openHelp()
{
    const int index = pages_->currentIndex();
    QString book;
    if (panelAt(index))
        book = panels_[tabPanel_[index]].helpBook;
    for (int i = 0; book.isEmpty() && i < panels_.size(); ++i)
        book = panels_[i].helpBook;
    if (!book.isEmpty() && !QDesktopServices::openUrl(QUrl::fromLocalFile(book)))
        showError(tr("The help could not be opened."));
}

} // namespace printpanels::host

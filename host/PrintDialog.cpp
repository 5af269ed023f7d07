#include "PrintDialog.h"

#include "GeneralPage.h"
#include "JobPage.h"
#include "PageSetupPage.h"
#include "PreviewPane.h"
#include "PrinterFeaturesPage.h"
#include "PrinterStatusView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QTabBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSet>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <functional>
#include <map>

namespace printpanels::host {
namespace {

// Print settings keys of the Printer Features: "feature.<PPD keyword>".
const QString kFeaturePrefix = QStringLiteral("feature.");
// ... and of the job options of Page Setup and Job: "job.<CUPS option>".
const QString kJobPrefix = QStringLiteral("job.");
const char* const kKeptJobOptions[] = {"orientation-requested", "number-up", "number-up-layout", "print-scaling",
                                       "fit-to-page", "page-set", "outputorder", "job-priority",
                                       "job-hold-until", "job-sheets", "job-billing"};

// The dialog's pages; tells the dialog when a page comes or goes.
class PageStack : public QTabWidget {
public:
    std::function<void()> onPagesChanged;

protected:
    void tabInserted(int) override
    {
        if (onPagesChanged)
            onPagesChanged();
    }
    void tabRemoved(int) override
    {
        if (onPagesChanged)
            onPagesChanged();
    }
};

QString orientationText(int value)
{
    switch (value) {
    case 4: return PrintDialog::tr("Landscape");
    case 5: return PrintDialog::tr("Reverse landscape");
    case 6: return PrintDialog::tr("Reverse portrait");
    default: return PrintDialog::tr("Portrait");
    }
}

// The letter after '&' in a text, lower case; 0 when there is none.
QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i; // "&&" is a literal "&"
    }
    return {};
}

// The text that names a control, with its mnemonic: a label tied to it or
// the button itself.
QWidget* captionOf(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->buddy() ? label : nullptr;
    return qobject_cast<QAbstractButton*>(w) ? w : nullptr;
}

QString captionText(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    return static_cast<QAbstractButton*>(w)->text();
}

// Gives every caption on `page` that has none a mnemonic: a letter of its
// own text that no other visible caption of the dialog uses, the first
// letter of a word if one is free. A caption without a free letter stays as
// it is.
void giveMnemonics(QWidget* dialog, QWidget* page)
{
    QSet<QChar> taken;
    QList<QWidget*> without;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        QWidget* caption = captionOf(w);
        if (!caption || (!caption->isVisibleTo(dialog) && !page->isAncestorOf(caption)))
            continue;
        const QString text = captionText(caption);
        if (const QChar letter = mnemonicOf(text); !letter.isNull())
            taken.insert(letter);
        else if (page->isAncestorOf(caption) && !text.isEmpty())
            without << caption;
    }
    for (QWidget* caption : without) {
        const QString text = captionText(caption);
        // Not a letter of an "&&" (a literal "&").
        auto usable = [&](qsizetype i) {
            const QChar c = text[i];
            return c.unicode() < 128 && c.isLetterOrNumber() && !taken.contains(c.toLower())
                && (i == 0 || text[i - 1] != QLatin1Char('&'));
        };
        qsizetype at = -1;
        for (qsizetype i = 0; i < text.size() && at < 0; ++i)
            if ((i == 0 || !text[i - 1].isLetterOrNumber()) && usable(i))
                at = i;
        for (qsizetype i = 0; i < text.size() && at < 0; ++i)
            if (usable(i))
                at = i;
        if (at < 0)
            continue;
        taken.insert(text[at].toLower());
        const QString marked = text.left(at) + QLatin1Char('&') + text.mid(at);
        if (auto* label = qobject_cast<QLabel*>(caption))
            label->setText(marked);
        else
            static_cast<QAbstractButton*>(caption)->setText(marked);
    }
}

} // namespace

PrintDialog::PrintDialog(HostSession& session, PluginSet& plugins, QString document, QWidget* parent)
    : QDialog(parent), session_(session), plugins_(plugins), document_(std::move(document))
{
    setObjectName(QStringLiteral("printDialog"));

    auto* top = new QFormLayout;
    auto* documentName = new QLabel(document_.isEmpty() ? tr("(none)") : QFileInfo(document_).fileName());
    documentName->setObjectName(QStringLiteral("documentName"));
    documentName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* documentLabel = new QLabel(tr("Document:"));
    documentLabel->setBuddy(documentName);
    top->addRow(documentLabel, documentName);

    // The pages are listed beside them, every name in full whatever the
    // language and however many pages the printer's plug-ins add (a tab row
    // would hide some behind scroll arrows).
    pageList_ = new QListWidget;
    pageList_->setObjectName(QStringLiteral("pageList"));
    pageList_->setAccessibleName(tr("Settings pages"));
    pageList_->setSelectionMode(QAbstractItemView::SingleSelection);
    pageList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pageList_->setSpacing(2);
    auto* stack = new PageStack;
    stack->onPagesChanged = [this] { syncPageList(); };
    pages_ = stack;
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->tabBar()->hide();
    pages_->setDocumentMode(true);
    general_ = new GeneralPage;
    pages_->addTab(general_, tr("General"));
    pageSetup_ = new PageSetupPage;
    pages_->addTab(pageSetup_, tr("Page Setup"));
    jobPage_ = new JobPage;
    pages_->addTab(jobPage_, tr("Job"));
    featuresScroll_ = new QScrollArea;
    featuresScroll_->setWidgetResizable(true);
    featuresScroll_->setFrameShape(QFrame::NoFrame);
    pages_->addTab(featuresScroll_, tr("Printer Features"));
    summary_ = new QTreeWidget;
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setAccessibleName(tr("Summary of the settings"));
    summary_->setColumnCount(2);
    summary_->setHeaderLabels({tr("Setting"), tr("Value")});
    summary_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    pages_->addTab(summary_, tr("Summary"));

    preview_ = new PreviewPane(document_);

    message_ = new QLabel;
    message_->setObjectName(QStringLiteral("message"));
    message_->setWordWrap(true);
    // Texts from PPDs and the server (a plug-in's name, CUPS's reasons) are
    // shown as they are, never as markup.
    message_->setTextFormat(Qt::PlainText);
    // Screen readers read the message itself (a label's accessible name is
    // its text, and a new text is announced as a name change); this only
    // says what kind of text it is.
    message_->setAccessibleDescription(tr("Settings message"));
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    message_->setMinimumHeight(message_->fontMetrics().lineSpacing() * 2);

    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("sendProgress"));
    progress_->setAccessibleName(tr("Sending the document"));
    progress_->setRange(0, 100);
    progress_->setVisible(false);

    auto* buttons = new QDialogButtonBox;
    helpButton_ = buttons->addButton(QDialogButtonBox::Help);
    buttons->addButton(QDialogButtonBox::Cancel);
    printButton_ = buttons->addButton(tr("&Print"), QDialogButtonBox::AcceptRole);
    printButton_->setObjectName(QStringLiteral("printButton"));

    auto* middle = new QHBoxLayout;
    middle->addWidget(preview_);
    middle->addWidget(pageList_);
    middle->addWidget(pages_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addWidget(message_);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    // Return prints wherever the focus is. Made the default once it is in
    // the dialog, so that the dialog keeps it as its main default: a push
    // button that had the focus (Browse..., a panel's) gives Return back to
    // Print, and showing the dialog picks no other.
    printButton_->setDefault(true);
    setMinimumWidth(980);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] { print(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &PrintDialog::reject);
    connect(helpButton_, &QPushButton::clicked, this, &PrintDialog::openHelp);
    connect(pages_, &QTabWidget::currentChanged, this, &PrintDialog::pageChanged);
    connect(pageList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != pages_->currentIndex())
            pages_->setCurrentIndex(row);
    });
    // Ctrl+Tab and Ctrl+Page Down go to the next page, wherever the focus is,
    // as in a tabbed dialog; with Shift (or Page Up) to the one before.
    const std::pair<QKeySequence, int> pageKeys[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                                                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
                                                     {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                                     {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [keys, step] : pageKeys)
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this, step = step] {
            const int n = pages_->count();
            if (n > 0 && pages_->isEnabled())
                pages_->setCurrentIndex((pages_->currentIndex() + step + n) % n);
        });
    connect(general_, &GeneralPage::printerChosen, this, &PrintDialog::printerChosen);
    connect(general_, &GeneralPage::saveToFileChosen, this, &PrintDialog::destinationChanged);
    connect(general_, &GeneralPage::changed, this, [this] {
        destinationChanged();
        updatePreview();
    });
    connect(general_->statusView(), &PrinterStatusView::updated, general_, &GeneralPage::updatePrinter);
    connect(pageSetup_, &PageSetupPage::ppdChosen, this, &PrintDialog::featureChosen);
    connect(pageSetup_, &PageSetupPage::changed, this, &PrintDialog::updatePreview);
    connect(jobPage_, &JobPage::changed, this, [this] {
        if (pages_->currentWidget() == summary_)
            rebuildSummary();
    });
    connect(&sender_, &JobSender::progress, this, [this](qint64 sent, qint64 total) {
        progress_->setValue(total > 0 ? int(sent * 100 / total) : 100);
    });
    connect(&sender_, &JobSender::finished, this, &PrintDialog::sendingFinished);

    // The printers: every CUPS destination with a queue; a bare PPD has none
    // and goes to a file.
    if (!session_.queue().isEmpty()) {
        QString error;
        QList<PrinterStatus> printers = listPrinters(&error);
        if (!error.isEmpty())
            pendingMessages_ << error;
        bool listed = false;
        for (const PrinterStatus& p : printers)
            listed = listed || p.name == session_.queue();
        if (!listed) {
            PrinterStatus own;
            own.name = session_.queue();
            printers.prepend(own);
        }
        general_->setPrinters(printers, session_.queue(), true);
        general_->statusView()->watch(*general_->printer(session_.queue()));
    } else {
        general_->setPrinters({}, {}, true);
        general_->choose({}, true);
        ppd_file_t* ppd = session_.ppd().ppd();
        general_->statusView()->showText(
            tr("No queue: the panels of the PPD \"%1\"").arg(ppd && ppd->nickname ? QString::fromUtf8(ppd->nickname) : QString()));
    }

    session_.setMarkListener([this](const QString& key, const MarkOutcome& outcome) { showOutcome(key, outcome); });
    buildPrinterPages();
    pendingMessages_ << missingPlugins_;
    destinationChanged();
    pages_->setCurrentIndex(0);
    pageChanged(0);
    updatePreview();
    rebuildSummary();
    if (!pendingMessages_.isEmpty())
        showMessage(pendingMessages_.join(QLatin1Char('\n')));
    pendingMessages_.clear();
}

PrintDialog::~PrintDialog()
{
    session_.setMarkListener({});
}

QTreeWidget* PrintDialog::printerList() const { return general_->printerList(); }
PrinterStatusView* PrintDialog::printerStatus() const { return general_->statusView(); }
QLineEdit* PrintDialog::outputFileEdit() const { return general_->outputFile(); }
QLineEdit* PrintDialog::pageRangesEdit() const { return general_->pageRanges(); }
QSpinBox* PrintDialog::copiesBox() const { return general_->copies(); }
QCheckBox* PrintDialog::collateBox() const { return general_->collate(); }

QWidget* PrintDialog::featureControl(const QString& keyword) const
{
    if (QWidget* own = pageSetup_->control(keyword))
        return own;
    return features_ ? features_->control(keyword) : nullptr;
}

QWidget* PrintDialog::panelPage(const QString& name) const
{
    for (int i = 0; i < pages_->count(); ++i)
        if (panelAt(i) && pages_->tabText(i) == name)
            return pages_->widget(i);
    return nullptr;
}

QString PrintDialog::jobReference() const
{
    return jobId_ > 0 ? QStringLiteral("%1-%2").arg(printedQueue_).arg(jobId_) : QString();
}

QSet<QString> PrintDialog::panelKeywords() const
{
    QSet<QString> keys;
    for (const auto& p : panels_)
        for (const QString& key : p.panel->supportedPPDOptionKeys())
            keys.insert(key);
    return keys;
}

void PrintDialog::buildPrinterPages()
{
    // Nothing the restore marks is news to the user.
    restoring_ = true;
    // Only the plug-ins the printer's PPD names; a PPD that names none has
    // the dialog's own pages only.
    QStringList missing;
    panels_ = plugins_.panelsFor(PluginSet::namedIn(session_.ppd().ppd()), &session_, &missing);
    missingPlugins_.clear();
    for (const QString& name : missing)
        missingPlugins_ << tr("The panels of this printer come from the plug-in \"%1\", which is not installed "
                              "(looked in %2); its options are on the Printer Features page.")
                               .arg(name, plugins_.searched().join(QStringLiteral(", ")));
    const QSet<QString> byPanels = panelKeywords();
    pageSetup_->setPpd(session_.ppd(), byPanels);
    QSet<QString> elsewhere = byPanels;
    for (const QString& key : pageSetup_->shownKeywords())
        elsewhere.insert(key);
    features_ = new PrinterFeaturesPage(session_.ppd(), elsewhere);
    connect(features_, &PrinterFeaturesPage::chosen, this, &PrintDialog::featureChosen);
    featuresScroll_->setWidget(features_); // the former page goes

    // The Printer Features first: the panels' own values then settle any
    // conflict with them, as they do when the user chooses.
    restoreFeatures();
    // The panels come up with the values kept for this queue, on pages
    // after Page Setup.
    int at = pages_->indexOf(featuresScroll_);
    for (int i = 0; i < panels_.size(); ++i) {
        PDEPanel* panel = panels_[i].panel;
        QWidget* view = panel->panelView();
        panel->restoreValuesAndReturnError(nullptr);
        if (!view)
            continue;
        const int index = pages_->insertTab(at++, view, panel->panelName());
        pages_->setTabToolTip(index, panel->panelName());
        viewPanel_.insert(view, i);
    }
    // The job options the queue takes, as they were kept for it, else as
    // the queue does them by itself.
    pageSetup_->setCapabilities(session_.capabilities());
    jobPage_->setCapabilities(session_.capabilities());
    JobValues start;
    for (const char* name : kKeptJobOptions) {
        QString value;
        if (session_.settings().value(kJobPrefix + QLatin1String(name), &value))
            start.insert(QLatin1String(name), value);
        else if (const std::string queued = session_.queueOption(name); !queued.empty())
            start.insert(QLatin1String(name), QString::fromStdString(queued));
    }
    pageSetup_->setJobValues(start);
    jobPage_->setValues(start);
    restoring_ = false;
    refreshPpdControls();
    ppd_file_t* ppd = session_.ppd().ppd();
    const QString printerName = !session_.queue().isEmpty() ? session_.queue()
                                : (ppd && ppd->nickname) ? QString::fromUtf8(ppd->nickname)
                                                         : tr("PPD file");
    setWindowTitle(documentTitle_.isEmpty() ? tr("Print - %1").arg(printerName)
                                            : tr("%1 - %2").arg(documentTitle_, printerName));
}

void PrintDialog::dropPrinterPages()
{
    // The plug-in keeps its panels until it is unloaded; their pages go now.
    for (QWidget* view : viewPanel_.keys()) {
        pages_->removeTab(pages_->indexOf(view));
        delete view;
    }
    viewPanel_.clear();
    panels_.clear();
}

void PrintDialog::printerChosen(const QString& name)
{
    if (isSending())
        return;
    if (name == session_.queue()) {
        destinationChanged();
        return;
    }
    // What was chosen for the printer left is kept for this dialog (not
    // stored): coming back to it brings it back.
    keepValues();
    QString error;
    if (!session_.openQueue(name, &error)) {
        showError(error);
        general_->choose(session_.queue());
        destinationChanged();
        return;
    }
    const QString shownTab = pages_->tabText(pages_->currentIndex());
    {
        QSignalBlocker block(pages_);
        dropPrinterPages();
        buildPrinterPages();
        int index = 0;
        for (int i = 0; i < pages_->count(); ++i)
            if (pages_->tabText(i) == shownTab)
                index = i;
        pages_->setCurrentIndex(index);
        lastIndex_ = -1;
    }
    pageChanged(pages_->currentIndex());
    if (const PrinterStatus* status = general_->printer(name))
        general_->statusView()->watch(*status);
    showMessage(missingPlugins_.join(QLatin1Char('\n')));
    destinationChanged();
    updatePreview();
    rebuildSummary();
    emit printerLoaded();
}

void PrintDialog::restoreFeatures()
{
    const QSet<QString> byPanels = panelKeywords();
    std::map<std::string, PpdOption::Entry> entries;
    for (const PpdOption& option : session_.ppd().options())
        entries[option.keyword] = option.entry;
    const QMap<QString, QString> values = session_.settings().values();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (!it.key().startsWith(kFeaturePrefix))
            continue;
        const std::string keyword = it.key().mid(kFeaturePrefix.size()).toStdString();
        const auto entry = entries.find(keyword);
        if (entry == entries.end() || entry->second == PpdOption::Entry::Secret
            || byPanels.contains(QString::fromStdString(keyword)))
            continue;
        // A custom text is kept as "Custom.TEXT", which marks it as the text
        // whatever it reads.
        session_.ppd().markChoice(keyword, it.value().toStdString());
    }
}

void PrintDialog::keepValues()
{
    for (const auto& p : panels_)
        p.panel->saveValuesAndReturnError(nullptr);
    // The Printer Features (and the Page Setup's PPD options) the user moved
    // away from what the queue does on its own. A passcode or password is
    // never kept.
    PrintSettingsStore& settings = session_.settings();
    for (const QString& key : settings.values().keys())
        if (key.startsWith(kFeaturePrefix))
            settings.remove(key);
    const QSet<QString> byPanels = panelKeywords();
    for (const PpdOption& option : session_.ppd().options()) {
        const QString keyword = QString::fromStdString(option.keyword);
        if (option.entry == PpdOption::Entry::Secret || byPanels.contains(keyword))
            continue;
        const std::string value = session_.ppd().markedValue(option.keyword);
        if (!value.empty() && value != session_.queueDefault(option.keyword))
            settings.setValue(kFeaturePrefix + keyword, QString::fromStdString(value), false);
    }
    // The job options of Page Setup and Job, as shown.
    for (const QString& key : settings.values().keys())
        if (key.startsWith(kJobPrefix))
            settings.remove(key);
    for (const JobValues& values : {pageSetup_->jobValues(), jobPage_->values()})
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            settings.setValue(kJobPrefix + it.key(), it.value(), false);
}

void PrintDialog::storeSettings()
{
    keepValues();
    if (!session_.settings().save())
        showError(tr("The print settings could not be saved."));
}

void PrintDialog::refreshPpdControls()
{
    if (features_)
        features_->refresh();
    pageSetup_->refresh();
}

void PrintDialog::featureChosen(const QString& keyword, const QString& value)
{
    session_.willChangePPDOptionKeyValue(keyword, value);
    refreshPpdControls();
}

void PrintDialog::showMessage(const QString& text)
{
    message_->setText(text);
}

void PrintDialog::showOutcome(const QString& key, const MarkOutcome& outcome)
{
    if (restoring_)
        return;
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
            updatePreview();
        });
    }
    refreshPpdControls();
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
    if (pages_->currentIndex() == pages_->indexOf(summary_))
        rebuildSummary();
}

int PrintDialog::panelIndexAt(int tab) const
{
    return tab >= 0 && tab < pages_->count() ? viewPanel_.value(pages_->widget(tab), -1) : -1;
}

PDEPanel* PrintDialog::panelAt(int tab) const
{
    const int i = panelIndexAt(tab);
    return i >= 0 ? panels_[i].panel : nullptr;
}

void PrintDialog::pageChanged(int index)
{
    if (index < 0)
        return;
    // A panel may keep the user on its page.
    if (PDEPanel* leaving = panelAt(lastIndex_); leaving && lastIndex_ != index && !leaving->shouldHide()) {
        QSignalBlocker block(pages_);
        pages_->setCurrentIndex(lastIndex_);
        QSignalBlocker blockList(pageList_);
        pageList_->setCurrentRow(lastIndex_);
        return;
    }
    lastIndex_ = index;
    {
        QSignalBlocker block(pageList_);
        pageList_->setCurrentRow(index);
    }
    if (PDEPanel* panel = panelAt(index)) {
        panel->willShow();
        helpButton_->setEnabled(panel->shouldShowHelp() && !panels_[panelIndexAt(index)].helpBook.isEmpty());
    } else {
        bool anyHelp = false;
        for (const auto& p : panels_)
            anyHelp = anyHelp || !p.helpBook.isEmpty();
        helpButton_->setEnabled(anyHelp);
    }
    if (pages_->widget(index) == summary_)
        rebuildSummary();
    // The captions of the printer's panels and features come from its PPD:
    // they get letters of their own, where their texts allow.
    if (panelAt(index) || pages_->widget(index) == featuresScroll_)
        giveMnemonics(this, pages_->widget(index));
}

void PrintDialog::syncPageList()
{
    QSignalBlocker block(pageList_);
    pageList_->clear();
    for (int i = 0; i < pages_->count(); ++i) {
        auto* item = new QListWidgetItem(pages_->tabText(i).remove(QLatin1Char('&')), pageList_);
        item->setToolTip(pages_->tabToolTip(i));
    }
    pageList_->setCurrentRow(pages_->currentIndex());
    // As wide as the longest name and as tall as all of them: no name is
    // cut, none is hidden.
    const int frame = 2 * pageList_->frameWidth();
    const int gap = 2 * pageList_->spacing();
    pageList_->setFixedWidth(pageList_->sizeHintForColumn(0) + frame + gap + 8);
    pageList_->setMinimumHeight((pageList_->sizeHintForRow(0) + gap) * std::max(1, pages_->count()) + frame);
}

void PrintDialog::rebuildSummary()
{
    summary_->clear();
    auto* general = new QTreeWidgetItem(summary_, {tr("General")});
    const bool toFile = general_->fileChosen();
    new QTreeWidgetItem(general, {tr("Printer:"), toFile ? tr("Save to file %1").arg(outputFileEdit()->text())
                                                         : session_.queue()});
    if (!toFile) {
        const int copies = copiesBox()->value();
        new QTreeWidgetItem(general, {tr("Copies:"), copies > 1 && collateBox()->isChecked()
                                                         ? tr("%1, collated").arg(copies)
                                                         : QString::number(copies)});
    }
    const QString ranges = pageRangesEdit()->text().trimmed();
    new QTreeWidgetItem(general, {tr("Pages:"), ranges.isEmpty() ? tr("All") : ranges});
    new QTreeWidgetItem(general, {tr("Orientation:"), orientationText(pageSetup_->orientation())});
    new QTreeWidgetItem(general, {tr("Pages per sheet:"), QString::number(pageSetup_->numberUp())});
    for (const auto& [title, value] : pageSetup_->describeJobOptions())
        new QTreeWidgetItem(general, {title, value});
    if (const auto job = jobPage_->describe(); !job.isEmpty() && !toFile) {
        auto* item = new QTreeWidgetItem(summary_, {tr("Job")});
        for (const auto& [title, value] : job)
            new QTreeWidgetItem(item, {title, value});
    }
    for (const QString& keyword : pageSetup_->shownKeywords()) {
        const OptionText text = session_.ppd().optionText(keyword.toStdString());
        new QTreeWidgetItem(general, {text.title + QLatin1Char(':'), text.value});
    }
    for (const auto& p : panels_) {
        auto* item = new QTreeWidgetItem(summary_, {p.panel->panelName()});
        const QMap<QString, QString> info = p.panel->summaryInfo();
        for (auto it = info.constBegin(); it != info.constEnd(); ++it)
            new QTreeWidgetItem(item, {it.key(), it.value()});
    }
    if (features_ && !features_->isEmpty()) {
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
    const bool toFile = general_->fileChosen() || session_.queue().isEmpty();
    session_.setDestinationType(toFile ? kPMDestinationFile : kPMDestinationPrinter);
    // A copy to a file is no job: nothing on the Job page applies to it.
    jobPage_->setEnabled(!toFile);
    printButton_->setText(toFile ? tr("Sa&ve") : tr("&Print"));
    if (document_.isEmpty() && !preparing_) {
        printButton_->setEnabled(false);
        printButton_->setToolTip(tr("No document was given to print."));
    } else {
        printButton_->setEnabled(!isSending() && (!toFile || !outputFileEdit()->text().isEmpty()));
        printButton_->setToolTip(QString());
    }
    if (pages_->currentWidget() == summary_)
        rebuildSummary();
}

bool PrintDialog::grayOutput() const
{
    ppd_file_t* ppd = session_.ppd().ppd();
    if (!ppd)
        return false;
    if (!ppd->color_device)
        return true;
    static const QRegularExpression gray(QStringLiteral("gray|grey|mono|black"), QRegularExpression::CaseInsensitiveOption);
    for (const char* keyword : {"ColorModel", "ColorMode", "OutputMode"}) {
        const QString value = QString::fromStdString(session_.ppd().markedValue(keyword));
        if (!value.isEmpty())
            return value.contains(gray);
    }
    return false;
}

void PrintDialog::updatePreview()
{
    PreviewPane::Layout layout;
    layout.pageRanges = pageRangesEdit()->text();
    layout.numberUp = pageSetup_->numberUp();
    layout.orientation = pageSetup_->orientation();
    layout.gray = grayOutput();
    if (ppd_file_t* ppd = session_.ppd().ppd())
        if (ppd_size_t* size = ppdPageSize(ppd, nullptr))
            layout.paper = QSizeF(size->width, size->length);
    preview_->setJobLayout(layout);
}

std::vector<std::pair<std::string, std::string>> PrintDialog::layoutOptions() const
{
    // Each is named when it differs from what CUPS does by itself or when
    // the queue keeps a default for it, which the server would apply.
    std::vector<std::pair<std::string, std::string>> out;
    const QString ranges = cupsPageRanges(pageRangesEdit()->text());
    if (!ranges.isEmpty())
        out.emplace_back("page-ranges", ranges.toStdString());
    // What CUPS does with a job that leaves an option out.
    const JobCapabilities& caps = session_.capabilities();
    const std::map<QString, QString> neutral = {
        {QStringLiteral("orientation-requested"), QStringLiteral("3")}, {QStringLiteral("number-up"), QStringLiteral("1")},
        {QStringLiteral("number-up-layout"), QStringLiteral("lrtb")}, {QStringLiteral("print-scaling"), QStringLiteral("auto")},
        {QStringLiteral("fit-to-page"), QStringLiteral("false")},     {QStringLiteral("page-set"), QStringLiteral("all")},
        {QStringLiteral("outputorder"), QStringLiteral("normal")},
        {QStringLiteral("job-priority"), QString::number(caps.priorityDefault)},
        {QStringLiteral("job-hold-until"), caps.holdUntilDefault.isEmpty() ? QStringLiteral("no-hold") : caps.holdUntilDefault},
        {QStringLiteral("job-sheets"), QStringLiteral("none,none")}, {QStringLiteral("job-billing"), QString()}};
    for (const JobValues& values : {pageSetup_->jobValues(), jobPage_->values()})
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            const std::string name = it.key().toStdString();
            QString value = it.value();
            if (name == "job-hold-until" && value.startsWith(QLatin1String("local:")))
                value = cupsHoldTime(QTime::fromString(value.mid(6), QStringLiteral("HH:mm")));
            if (value.isEmpty())
                continue; // no billing information: nothing to say
            const auto n = neutral.find(it.key());
            if (n == neutral.end() || value != n->second || !session_.queueOption(name).empty())
                out.emplace_back(name, value.toStdString());
        }
    if (copiesBox()->value() > 1)
        out.emplace_back("collate", collateBox()->isChecked() ? "true" : "false");
    return out;
}

void PrintDialog::showError(const QString& text)
{
    message_->setText(text);
}

void PrintDialog::setSending(bool sending)
{
    pages_->setEnabled(!sending);
    pageList_->setEnabled(!sending);
    preview_->setEnabled(!sending);
    progress_->setVisible(sending);
    progress_->setValue(0);
    destinationChanged();
}

bool PrintDialog::print()
{
    if (isSending())
        return false;
    if (document_.isEmpty() && !preparing_) {
        showError(tr("There is no document to print."));
        return false;
    }
    if (!parsePageRanges(pageRangesEdit()->text(), 0)) {
        showError(tr("The pages to print are not valid: give pages and ranges separated by commas, e.g. 1-3, 8."));
        pageRangesEdit()->setFocus();
        return false;
    }
    // A panel may stop the print (a secure job without its values): its
    // page comes up and nothing is sent.
    for (int i = 0; i < panels_.size(); ++i) {
        PDEPanel* panel = panels_[i].panel;
        if (panel->shouldPrint())
            continue;
        if (QWidget* view = viewPanel_.key(i, nullptr))
            pages_->setCurrentWidget(view);
        // After what the panel's requests said, if they are still to be shown.
        pendingMessages_ << tr("Nothing was sent: see the %1 page.").arg(panel->panelName());
        if (!flushQueued_) {
            showError(pendingMessages_.join(QLatin1Char('\n')));
            pendingMessages_.clear();
        }
        return false;
    }
    keepValues();
    if (preparing_) {
        storeSettings();
        accept();
        return true;
    }

    if (session_.destinationType() == kPMDestinationFile) {
        const QString target = outputFileEdit()->text();
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
        storeSettings();
        accept();
        return true;
    }

    JobRequest request = jobRequest(document_);
    sendingTo_ = request.queue;
    if (!sender_.start(request))
        return false;
    setSending(true);
    showMessage(tr("Sending %1 to %2...").arg(QFileInfo(document_).fileName(), request.queue));
    return true;
}

JobRequest PrintDialog::jobRequest(const QString& file) const
{
    JobRequest request;
    request.queue = session_.queue();
    request.file = file;
    request.title = session_.settings().jobName();
    request.copies = copiesBox()->value();
    request.options = session_.jobOptions();
    for (auto& option : layoutOptions())
        request.options.push_back(std::move(option));
    return request;
}

void PrintDialog::setPreparing(const QString& title, const QString& previewText)
{
    preparing_ = true;
    documentTitle_ = title;
    if (auto* name = findChild<QLabel*>(QStringLiteral("documentName")))
        name->setText(title);
    preview_->statusLabel()->setText(previewText);
    ppd_file_t* ppd = session_.ppd().ppd();
    const QString printerName = !session_.queue().isEmpty() ? session_.queue()
                                : (ppd && ppd->nickname) ? QString::fromUtf8(ppd->nickname)
                                                         : tr("PPD file");
    setWindowTitle(tr("%1 - %2").arg(title, printerName));
    destinationChanged();
}

void PrintDialog::sendingFinished(int jobId, const QString& error, bool cancelled)
{
    setSending(false);
    if (jobId > 0) {
        jobId_ = jobId;
        printedQueue_ = sendingTo_;
        showMessage(tr("Sent to %1 as job %2.").arg(printedQueue_, jobReference()));
        storeSettings();
        accept();
        return;
    }
    if (cancelled) {
        showMessage(tr("The job was cancelled; nothing was printed."));
        if (closeAfterCancel_)
            QDialog::reject();
        closeAfterCancel_ = false;
        return;
    }
    showError(error);
}

void PrintDialog::reject()
{
    if (isSending()) {
        // Withdraw the job; the dialog closes once it is gone.
        closeAfterCancel_ = true;
        sender_.cancel();
        showMessage(tr("Cancelling the job..."));
        return;
    }
    // Nothing is stored: the settings stay as they were before the dialog.
    QDialog::reject();
}

void PrintDialog::openHelp()
{
    const int index = pages_->currentIndex();
    QString book;
    if (panelIndexAt(index) >= 0)
        book = panels_[panelIndexAt(index)].helpBook;
    for (int i = 0; book.isEmpty() && i < panels_.size(); ++i)
        book = panels_[i].helpBook;
    if (!book.isEmpty() && !QDesktopServices::openUrl(QUrl::fromLocalFile(book)))
        showError(tr("The help could not be opened."));
}

} // namespace printpanels::host

#include "PrinterJobPDE-Brisa_Ref.h"

#include "JobTypeSetup.h"
#include "PDEBundle.h"
#include "PDETool.h"
#include "Utilities.h"

#include <QDialog>
#include <QMessageBox>
#include <cstring>
#include <openssl/bio.h>
#include <openssl/evp.h>

const QString PrinterJobPDECorvane5170::kOBNibName = QStringLiteral("JobTypeMain");

namespace {

enum Tag { kJobTypeTitleTag = 1, kSetupTag = 2, kDefaultTag = 3 };

enum JobTypeItem { kNormalPrint = 0, kSecurePrint = 1 };

const QString kCustomPrefix = QStringLiteral("Custom.");

QString localized(const char* key)
{
    const QString text = QString::fromLatin1(key);
    return pluginBundle ? pluginBundle->localizedString(text) : text;
}

} // namespace

PrinterJobPDECorvane5170::PrinterJobPDECorvane5170(PDEPluginCallback* callback, std::shared_ptr<PDEBundle> bundle)
{
    BrisaRefppd = nullptr;
    pdePluginCallbackObject = callback;
    pluginBundle = std::move(bundle);
    if (callback) {
        useConstraintHandling = callback->respondsToSelector(PDEPluginCallback::Selector::willChangePPDOptionKeyValue);
        canResizeView = RunningOn105OrLater()
            && callback->respondsToSelector(PDEPluginCallback::Selector::panelViewDidResize);
        BrisaRefppd = callback->ppdFile();
    }
    ppd_file_t* ppd = BrisaRefppd;
    auto find = [ppd](const char* key) { return ppd ? ppdFindOption(ppd, key) : nullptr; };
    jobtypeOption = find(kJobTypeKey);
    jobtypeChoices = ArrayFromPPDOption(jobtypeOption);
    jobnameOption = find(kJobNameModeKey);
    jobnameChoices = ArrayFromPPDOption(jobnameOption);
    jobidOption = find(kUserIDKey);
    secureprintOption = find(kSecurePrintModeKey);
    newjobOption = find(kNewJobKey);
    if (callback) {
        // The first setup dialog opens in "Enter Name Mode".
        if (firstRun == 0)
            jobnameMode = 1;
    } else {
        jobnameMode = static_cast<int32_t>(querydef(jobnameOption));
    }
}

PrinterJobPDECorvane5170::PrinterJobPDECorvane5170()
    : PrinterJobPDECorvane5170(nullptr, nullptr)
{
}

PrinterJobPDECorvane5170::~PrinterJobPDECorvane5170()
{
    delete JobTypeView.data();
}

QWidget* PrinterJobPDECorvane5170::panelView()
{
    if (!JobTypeView && pluginBundle) {
        QWidget* view = pluginBundle->loadNibNamed(kOBNibName, this);
        if (view) {
            JobTypeView = view;
            connect(view, &QObject::destroyed, this, [this] { clearOutlets(); });
            basicSize = view->sizeHint().expandedTo(view->size());
            view->resize(basicSize);
        }
    }
    return JobTypeView;
}

void PrinterJobPDECorvane5170::clearOutlets()
{
    defaultButton = setupButton = nullptr;
    jobtypeButton = nullptr;
    hasInited = false;
}

QString PrinterJobPDECorvane5170::panelName()
{
    if (thePDEName.isEmpty())
        thePDEName = localized("Job Type_Title");
    return thePDEName;
}

QString PrinterJobPDECorvane5170::panelKind()
{
    return QStringLiteral("com.PrinterPDE");
}

void PrinterJobPDECorvane5170::setViewTitleByTag(int tag, ppd_option_t* option)
{
    if (QWidget* view = ViewWithTag(JobTypeView, tag))
        view->setProperty("text", CreateOptionTitle(option));
}

void PrinterJobPDECorvane5170::showAdvanced(QObject*)
{
    if (JobTypeView)
        JobTypeView->resize(basicSize);
}

uint64_t PrinterJobPDECorvane5170::indexOfMarkedOption(ppd_option_t* option, const char* key) const
{
    return IndexOfMarkedChoice(BrisaRefppd, option, key);
}

uint64_t PrinterJobPDECorvane5170::querydef(ppd_option_t* option) const
{
    return IndexOfDefaultChoice(option);
}

void PrinterJobPDECorvane5170::initializeUI()
{
    if (hasInited || !JobTypeView)
        return;
    if (QWidget* label = ViewWithTag(JobTypeView, kJobTypeTitleTag))
        label->setProperty("text", localized("Job Type"));
    if (QWidget* button = ViewWithTag(JobTypeView, kSetupTag))
        button->setProperty("text", localized("Setup..."));
    if (QWidget* button = ViewWithTag(JobTypeView, kDefaultTag))
        button->setProperty("text", localized("Default"));
    if (jobtypeButton) {
        jobtypeButton->clear();
        jobtypeButton->addItem(localized("Normal Print"));
        jobtypeButton->addItem(localized("Secure Print"));
        jobtypeButton->setCurrentIndex(kNormalPrint);
    }
    hasInited = true;
}

void PrinterJobPDECorvane5170::ensureControls()
{
    panelView();
    if (hasInited)
        return;
    initializeUI();
    if (!jobtypeButton)
        return;
    // The job type the panel starts from: the one chosen last (a later
    // panel), else what the printer does by itself (a queue may print
    // secure jobs by default). What the panel shows is what the job
    // carries, from now on: it goes to the PPD at once, with the values of
    // the last valid setup.
    int start = kNormalPrint;
    if (firstRun != 0)
        start = secureIndex;
    else if (const ppd_choice_t* marked = BrisaRefppd ? ppdFindMarkedChoice(BrisaRefppd, kJobTypeKey) : nullptr)
        start = QString::fromLatin1(marked->choice) == QLatin1String("Secure") ? kSecurePrint : kNormalPrint;
    jobtypeButton->setCurrentIndex(start);
    changejobtypeModeOption(nullptr);
    if (start == kSecurePrint && haveSecureValues()) {
        sendSecureValues();
        // A printer that does not take them prints normally.
        if (!secureValuesTaken())
            backToNormal();
    }
    if (setupButton)
        setupButton->setEnabled(jobtypeButton->currentIndex() != kNormalPrint);
}

void PrinterJobPDECorvane5170::willShow()
{
    ensureControls();
    updateUI();
    if (setupButton)
        setupButton->setEnabled(jobtypeButton && jobtypeButton->currentIndex() != kNormalPrint);
    firstRun = 1;
}

bool PrinterJobPDECorvane5170::haveSecureValues()
{
    // A valid OK leaves at least the name mode, the user ID, the passcode
    // and the mode's title.
    return response && response->size() >= 4 && !response->at(1).toString().isEmpty()
        && !response->at(2).toString().isEmpty();
}

bool PrinterJobPDECorvane5170::secureValuesTaken() const
{
    // Without a host that marks choices there is nothing to look at.
    if (!useConstraintHandling || !BrisaRefppd)
        return true;
    auto holds = [](const char* keyword, const QString& text) {
        ppd_coption_t* custom = ppdFindCustomOption(BrisaRefppd, keyword);
        ppd_cparam_t* param = custom ? ppdFirstCustomParam(custom) : nullptr;
        const ppd_choice_t* marked = ppdFindMarkedChoice(BrisaRefppd, keyword);
        return param && marked && std::strcmp(marked->choice, "Custom") == 0 && param->current.custom_string
            && QString::fromUtf8(param->current.custom_string) == text;
    };
    const ppd_choice_t* type = ppdFindMarkedChoice(BrisaRefppd, kJobTypeKey);
    // The user ID and the passcode are what releases the job; a job name,
    // when there is one, goes along where the printer has the option.
    return type && std::strcmp(type->choice, "Secure") == 0 && holds(kUserIDKey, gUserID)
        && holds(kSecurePrintModeKey, gPasscode) && (!newjobOption || gJobName.isEmpty() || holds(kNewJobKey, gJobName));
}

void PrinterJobPDECorvane5170::backToNormal()
{
    if (jobtypeButton)
        jobtypeButton->setCurrentIndex(kNormalPrint);
    secureIndex = kNormalPrint;
    if (setupButton)
        setupButton->setEnabled(false);
    changejobtypeModeOption(nullptr);
}

void PrinterJobPDECorvane5170::refusedAlert()
{
    // Never the values themselves: only which printer options refused.
    QMessageBox box(JobTypeView ? JobTypeView->window() : nullptr);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(localized("Secure Print"));
    box.setText(localized("This printer does not take the secure-print values."));
    box.setInformativeText(localized("The job is printed normally. Check the printer's driver (PPD)."));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void PrinterJobPDECorvane5170::sendToHost(const QString& key, const QString& choice)
{
    if (pdePluginCallbackObject
        && pdePluginCallbackObject->respondsToSelector(PDEPluginCallback::Selector::willChangePPDOptionKeyValue))
        pdePluginCallbackObject->willChangePPDOptionKeyValue(key, choice);
}

void PrinterJobPDECorvane5170::changejobtypeModeOption(QObject*)
{
    const int index = jobtypeButton ? jobtypeButton->currentIndex() : -1;
    if (index == kNormalPrint) {
        sendToHost(kOJobTypeKey, QStringLiteral("Normal"));
        clearSecureValues();
    } else if (index == kSecurePrint) {
        sendToHost(kOJobTypeKey, QStringLiteral("Secure"));
    }
    updateUI();
}

// The three texts go as CUPS writes a custom value, "Custom.TEXT": a user ID
// or job name "None" is then the text, not the PPD's choice "None".
void PrinterJobPDECorvane5170::changejobUserIDOption(const QString& text)
{
    gUserID = text;
    if (useConstraintHandling)
        sendToHost(kOUserIDKey, kCustomPrefix + gUserID);
}

void PrinterJobPDECorvane5170::changejobPasscodeOption(const QString& text)
{
    gPasscode = text;
    if (useConstraintHandling)
        sendToHost(kOSecurePrintModeKey, kCustomPrefix + gPasscode);
}

void PrinterJobPDECorvane5170::changejobnameOption(const QString& text)
{
    gJobName = text;
    if (!useConstraintHandling)
        return;
    // No name entered: the job has none of its own (the option's default),
    // rather than keeping one marked earlier.
    if (gJobName.isEmpty() && newjobOption)
        sendToHost(kONewJobKey, QString::fromLatin1(newjobOption->defchoice));
    else
        sendToHost(kONewJobKey, kCustomPrefix + gJobName);
}

void PrinterJobPDECorvane5170::clearSecureValues()
{
    if (!useConstraintHandling)
        return;
    for (ppd_option_t* option : {jobidOption, secureprintOption, newjobOption})
        if (option)
            sendToHost(QString::fromLatin1(option->keyword), QString::fromLatin1(option->defchoice));
}

void PrinterJobPDECorvane5170::sendSecureValues()
{
    if (!response || response->size() < 3)
        return;
    changejobUserIDOption(response->at(1).toString());
    changejobPasscodeOption(response->at(2).toString());
    if (response->at(0).toInt() == 0) {
        // "Use Existing Name": the job keeps the document's name.
        if (docName)
            docName->replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        changejobnameOption(Docname);
    } else if (response->size() > 3) {
        changejobnameOption(response->at(3).toString());
    }
}

void PrinterJobPDECorvane5170::jobtypeButtonPushed(QObject*)
{
    secureIndex = jobtypeButton ? jobtypeButton->currentIndex() : 0;
    if (secureIndex == kNormalPrint) {
        if (setupButton)
            setupButton->setEnabled(false);
        changejobtypeModeOption(jobtypeButton);
    } else {
        if (setupButton)
            setupButton->setEnabled(true);
        setupButtonPushed(nullptr);
    }
}

void PrinterJobPDECorvane5170::setupButtonPushed(QObject* sender)
{
    PMPrintSettings settings = pdePluginCallbackObject ? pdePluginCallbackObject->printSettings() : nullptr;
    QString name;
    Docname = PMPrintSettingsGetJobName(settings, &name) == noErr ? name : QString();
    aJobTypeSetup = std::make_unique<JobTypeSetup>();
    QWidget* window = pluginBundle ? pluginBundle->loadNibNamed(QStringLiteral("JobTypeSetup"), aJobTypeSetup.get(),
                                                                JobTypeView ? JobTypeView->window() : nullptr)
                                   : nullptr;
    if (!window)
        return;
    isNeedUpdate = aJobTypeSetup->Start(pluginBundle, Docname);
    window->close();
    delete window;

    if (!haveSecureValues()) {
        // Cancelled before any valid OK: back to normal printing, and later
        // panels start there too (the choice of Secure Print was withdrawn).
        backToNormal();
        return;
    }
    // Cancel after an earlier valid setup keeps that setup; what the pop-up
    // shows goes to the PPD unless it is there already.
    if (!isNeedUpdate && secureValuesTaken())
        return;
    changejobtypeModeOption(sender);
    if (jobtypeButton && jobtypeButton->currentIndex() == kSecurePrint) {
        sendSecureValues();
        if (!secureValuesTaken()) {
            backToNormal();
            refusedAlert();
        }
    }
}

bool PrinterJobPDECorvane5170::shouldPrint()
{
    ensureControls();
    changejobtypeModeOption(nullptr);
    if (!jobtypeButton || jobtypeButton->currentIndex() != kSecurePrint)
        return true;
    // Never a secure job without its values: without a valid setup (a queue
    // that prints secure by default) the setup comes now, and Cancel there
    // stops the print.
    if (!haveSecureValues()) {
        setupButtonPushed(nullptr);
        return jobtypeButton && jobtypeButton->currentIndex() == kSecurePrint && haveSecureValues()
            && secureValuesTaken();
    }
    sendSecureValues();
    if (!secureValuesTaken()) {
        backToNormal();
        refusedAlert();
        return false;
    }
    return true;
}

void PrinterJobPDECorvane5170::defaultButtonPushed(QObject*)
{
    if (jobtypeButton)
        jobtypeButton->setCurrentIndex(kNormalPrint);
    secureIndex = 0;
    changejobtypeModeOption(nullptr);
    if (setupButton)
        setupButton->setEnabled(false);
    updateUI();
}

bool PrinterJobPDECorvane5170::restoreValuesAndReturnError(QString*)
{
    // The controls are filled first, so that what the panel shows goes to
    // the PPD (and the summary) before the page is ever shown.
    ensureControls();
    getNonPPDSettingsFromPrintSettings();
    return true;
}

bool PrinterJobPDECorvane5170::saveValuesAndReturnError(QString*)
{
    writeNonPPDSettingsToPrintSettings();
    return true;
}

void PrinterJobPDECorvane5170::getNonPPDSettingsFromPrintSettings()
{
    PMPrintSettings settings = pdePluginCallbackObject ? pdePluginCallbackObject->printSettings() : nullptr;
    if (!settings)
        return;
    QString value;
    ourSettingValue = PMPrintSettingsGetValue(settings, kOurSettingKey, &value) == noErr
        ? value
        : kOurSettingDefaultCFStringValue;
}

void PrinterJobPDECorvane5170::writeNonPPDSettingsToPrintSettings()
{
    PMPrintSettings settings = pdePluginCallbackObject ? pdePluginCallbackObject->printSettings() : nullptr;
    if (settings)
        PMPrintSettingsSetValue(settings, kOurSettingKey, ourSettingValue, false);
}

QStringList PrinterJobPDECorvane5170::supportedPPDOptionKeys()
{
    if (!supportedOptions) {
        QStringList keys;
        keys.reserve(16);
        const std::pair<ppd_option_t*, const char*> options[] = {{jobtypeOption, kJobTypeKey},
                                                                 {jobidOption, kUserIDKey},
                                                                 {jobnameOption, kJobNameModeKey},
                                                                 {secureprintOption, kSecurePrintModeKey},
                                                                 {newjobOption, kNewJobKey}};
        for (const auto& [option, key] : options)
            if (option)
                keys << QString::fromLatin1(key);
        supportedOptions = keys;
    }
    return *supportedOptions;
}

QMap<QString, QString> PrinterJobPDECorvane5170::summaryInfo()
{
    ensureControls();
    QMap<QString, QString> summary;
    summary.insert(pluginBundle ? StripMnemonic(pluginBundle->localizedString(QStringLiteral("Job Type"))) : QString(),
                   jobtypeButton ? jobtypeButton->currentText() : QString());
    return summary;
}

QString PrinterJobPDECorvane5170::base64EncodedString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    BIO* b64 = BIO_new(BIO_f_base64());
    BIO* sink = BIO_new(BIO_s_mem());
    if (!b64 || !sink) {
        BIO_free(b64);
        BIO_free(sink);
        return {};
    }
    BIO* chain = BIO_push(b64, sink);
    QString out;
    if (BIO_write(chain, bytes.constData(), static_cast<int>(bytes.size())) == bytes.size() && BIO_flush(chain) == 1) {
        char* data = nullptr;
        const long length = BIO_get_mem_data(sink, &data);
        out = QString::fromLatin1(data, static_cast<qsizetype>(length));
    }
    BIO_free_all(chain);
    return out;
}

bool PrinterJobPDECorvane5170::printStackTrace(const PDEException& exception)
{
    return PDEPrintStackTrace(exception);
}

void PrinterJobPDECorvane5170::reportException(const PDEException& exception)
{
    PDEReportException(exception);
}

// The "Job Type" panel: normal or secure printing. Secure printing takes a
// user ID, a passcode and a job name from the Secure Print setup dialog; the
// panel hands the job type and the three values to the host as choices of the
// PPD's options, so that they go out with the job and the printer holds the
// job until the passcode is entered at its panel.
#pragma once

#include "PDELogging.h"
#include "PDEPlugin.h"
#include "PluginState.h"
#include "PpdApi.h"

#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QSize>
#include <QWidget>
#include <memory>
#include <optional>

class JobTypeSetup;

inline constexpr char kJobTypeKey[] = "JobType";
inline constexpr char kJobNameModeKey[] = "JobNameMode";
inline constexpr char kUserIDKey[] = "UserID";
inline constexpr char kSecurePrintModeKey[] = "SecurePrintPasscode";
inline constexpr char kNewJobKey[] = "NewJob";
inline const QString kOJobTypeKey = QString::fromLatin1(kJobTypeKey);
inline const QString kOUserIDKey = QString::fromLatin1(kUserIDKey);
inline const QString kOSecurePrintModeKey = QString::fromLatin1(kSecurePrintModeKey);
inline const QString kONewJobKey = QString::fromLatin1(kNewJobKey);

inline const QString kOurSettingKey = QStringLiteral("com.PrinterPDE.ourSettingKey");
inline const QString kOurSettingDefaultCFStringValue = QStringLiteral("None");

class PrinterJobPDECorvane5170 : public QObject, public PDEPanel {
    Q_OBJECT
    Q_PROPERTY(QPushButton* defaultButton MEMBER defaultButton)
    Q_PROPERTY(QPushButton* setupButton MEMBER setupButton)
    Q_PROPERTY(QComboBox* jobtypeButton MEMBER jobtypeButton)

public:
    // initWithCallback:andBundle:
    PrinterJobPDECorvane5170(PDEPluginCallback* callback, std::shared_ptr<PDEBundle> bundle);
    // init: no host, so no PPD and every option absent.
    PrinterJobPDECorvane5170();
    ~PrinterJobPDECorvane5170() override;

    static const QString kOBNibName; // "JobTypeMain"

    // PDEPanel
    QWidget* panelView() override;
    QString panelName() override;
    QString panelKind() override;
    QMap<QString, QString> summaryInfo() override;
    bool shouldShowHelp() override { return true; }
    bool shouldHide() override { return true; }
    void willShow() override;
    bool shouldPrint() override;
    bool saveValuesAndReturnError(QString* error) override;
    bool restoreValuesAndReturnError(QString* error) override;
    QStringList supportedPPDOptionKeys() override;
    void PPDOptionKeyValueDidChange(const QString&, const QString&) override {}
    void panelViewDidResize() override {}

    // Actions of the view's controls.
    Q_INVOKABLE void jobtypeButtonPushed(QObject* sender);
    Q_INVOKABLE void setupButtonPushed(QObject* sender);
    Q_INVOKABLE void defaultButtonPushed(QObject* sender);

    // Value operations.
    void changejobtypeModeOption(QObject* sender);
    void changejobUserIDOption(const QString& text);
    void changejobPasscodeOption(const QString& text);
    void changejobnameOption(const QString& text);
    void changejobnameModeOption(QObject*) {}

    void initializeUI();
    void updateUI() {}
    void getNonPPDSettingsFromPrintSettings();
    void writeNonPPDSettingsToPrintSettings();

    // Shared panel mechanics.
    uint64_t indexOfMarkedOption(ppd_option_t* option, const char* key) const;
    uint64_t querydef(ppd_option_t* option) const;
    void setViewTitleByTag(int tag, ppd_option_t* option);
    void showAdvanced(QObject* sender);
    std::shared_ptr<PDEBundle> getbundle() const { return pluginBundle; }
    void shouldPrintlog(QObject*) {}
    bool exceptionHandler(const PDEException*, bool, unsigned) { return true; }
    bool printStackTrace(const PDEException& exception);
    void reportException(const PDEException& exception);

    // The standard Base64 of the text's UTF-8 bytes, 64 characters to a line,
    // each line ended. Offered; nothing here encodes the passcode.
    static QString base64EncodedString(const QString& text);

    bool isNeedUpdate = false;
    bool useConstraintHandling = false;
    bool canResizeView = false;
    bool hasInited = false;
    ppd_option_t* jobtypeOption = nullptr;
    QString ourSettingValue;

    QPushButton *defaultButton = nullptr, *setupButton = nullptr;
    QComboBox* jobtypeButton = nullptr;

private:
    void sendToHost(const QString& key, const QString& choice);
    // The secure-print values as the last valid OK left them.
    void sendSecureValues();
    // A normal job carries none of them: the options go back to their
    // defaults in the PPD.
    void clearSecureValues();
    void clearOutlets();
    // Fills the controls once (from the panel's view) and marks what they
    // show: the job type and, for a secure job, its values.
    void ensureControls();
    // A valid setup's values exist (a user ID and a passcode).
    static bool haveSecureValues();
    // The PPD holds a secure job with the values sent last (always true
    // for a host that marks nothing).
    bool secureValuesTaken() const;
    // Normal printing shown and sent; later panels start there.
    void backToNormal();
    // Tells the user that the printer refused the values (never shows them).
    void refusedAlert();

    PDEPluginCallback* pdePluginCallbackObject = nullptr;
    std::unique_ptr<JobTypeSetup> aJobTypeSetup;
    QString thePDEName;
    QPointer<QWidget> JobTypeView;
    QString Docname;
    QSize basicSize, advancedSize;
    std::optional<QStringList> supportedOptions;
};

// The contract between the print dialog (the host) and a print-dialog
// extension plug-in such as printpanels. Header-only: the host includes it
// without linking any plug-in.
//
//  * A plug-in is a Qt plug-in (Q_PLUGIN_METADATA, loaded with QPluginLoader)
//    whose root object implements PDEPlugIn (interface id PDEPlugIn_iid).
//  * A printer's PPD names the plug-ins its panels come from with the main
//    keyword kPDEPanelsKeyword; a plug-in's name is the "name" of its
//    metadata (the JSON file of Q_PLUGIN_METADATA). The host asks a plug-in
//    for panels only for a printer whose PPD names it; a PPD that names none
//    gets the host's own pages only.
//  * The host creates the root object (QPluginLoader::instance()), calls
//    initWithBundle() once with the plug-in library's file path, then
//    PDEPanelsForType() for each panel type it wants: kPDEPrinterPanelType
//    for the printer-specific panels, then kPDEJobPanelType for the job
//    panels.
//  * The factory owns its panels; they live until the root object is
//    destroyed (QPluginLoader::unload() or the end of the process).
//  * A panel creates its view on the first panelView(). The host may reparent
//    the view into its dialog. The panel keeps only a guarded pointer to it:
//    whoever goes first deletes it (the dialog's widget tree or the panel's
//    destructor), so the host may destroy its dialog and the plug-in in any
//    order.
//  * The panel talks back through PDEPluginCallback, which the host
//    implements. The four PM* functions below are inline over the host's
//    PMPrintSessionObject / PMPrintSettingsObject, so they need no library.
//  * Everything runs on the GUI thread.
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtPlugin>
#include <cstdint>

class QWidget;
struct ppd_file_s; // libcups's ppd_file_t

// The PPD main keyword that names the plug-ins a printer's dialog panels come
// from: one or more plug-in names separated by spaces, on one line or several,
//   *PrintDialogPanels: "printpanels"
inline constexpr char kPDEPanelsKeyword[] = "PrintDialogPanels";

// Panel type of the printer-specific panels.
inline constexpr char kPDEPrinterPanelType[] = "BDB091F4-E57F-11D3-B5CC-0050E4603277";
// Panel type of the job panels (how a job is handled: normal or secure
// printing). A plug-in answers it only for printers whose PPD has the options
// such a panel shows; the host asks for it after the printer panels.
inline constexpr char kPDEJobPanelType[] = "org.printpanels.panel-type.job";

// ---------------------------------------------------------------------------
// Print session and print settings (implemented by the host).

using OSStatus = int32_t;
using PMDestinationType = uint16_t;

inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kPMInvalidParameter = -50;
inline constexpr OSStatus kPMKeyNotFound = -9589;

inline constexpr PMDestinationType kPMDestinationInvalid = 0;
inline constexpr PMDestinationType kPMDestinationPrinter = 1; // the queue
inline constexpr PMDestinationType kPMDestinationFile = 2;    // a file (no job)
inline constexpr PMDestinationType kPMDestinationPreview = 4;

class PMPrintSessionObject {
public:
    virtual ~PMPrintSessionObject() = default;
    // Where the job goes when the user prints.
    virtual PMDestinationType destinationType() const = 0;
};

// One key/value store of strings per queue, persisted by the host.
class PMPrintSettingsObject {
public:
    virtual ~PMPrintSettingsObject() = default;
    // True and *value set when the key is present.
    virtual bool value(const QString& key, QString* value) const = 0;
    virtual void setValue(const QString& key, const QString& value, bool locked) = 0;
    // The job's name (the document's name when nothing else was set).
    virtual QString jobName() const = 0;
};

using PMPrintSession = PMPrintSessionObject*;
using PMPrintSettings = PMPrintSettingsObject*;

inline OSStatus PMSessionGetDestinationType(PMPrintSession session, PMPrintSettings /*settings*/,
                                            PMDestinationType* destType)
{
    if (!session || !destType)
        return kPMInvalidParameter;
    *destType = session->destinationType();
    return noErr;
}

inline OSStatus PMPrintSettingsGetValue(PMPrintSettings settings, const QString& key, QString* value)
{
    if (!settings || !value)
        return kPMInvalidParameter;
    return settings->value(key, value) ? noErr : kPMKeyNotFound;
}

inline OSStatus PMPrintSettingsSetValue(PMPrintSettings settings, const QString& key,
                                        const QString& value, bool locked)
{
    if (!settings)
        return kPMInvalidParameter;
    settings->setValue(key, value, locked);
    return noErr;
}

inline OSStatus PMPrintSettingsGetJobName(PMPrintSettings settings, QString* name)
{
    if (!settings || !name)
        return kPMInvalidParameter;
    *name = settings->jobName();
    return noErr;
}

// ---------------------------------------------------------------------------
// Panel to host.

class PDEPluginCallback {
public:
    // The optional operations a host may offer.
    enum class Selector { willChangePPDOptionKeyValue, panelViewDidResize };

    virtual ~PDEPluginCallback() = default;

    // Whether the host offers an optional operation; a panel calls an
    // optional operation only when this said true.
    virtual bool respondsToSelector(Selector selector) const = 0;

    virtual PMPrintSession printSession() = 0;   // may be null
    virtual PMPrintSettings printSettings() = 0; // may be null: settings steps do nothing
    // The current printer's PPD (owned by the host, lives as long as the
    // panels), or null.
    virtual ppd_file_s* ppdFile() = 0;

    // Optional: mark `choice` of option `key` in the PPD, applying the PPD's
    // constraints. For an option with a custom text parameter, "Custom.TEXT"
    // (as CUPS writes a custom value) marks TEXT as the custom value whatever
    // it reads, even "None"; a text that is not a choice keyword is marked as
    // the custom value too. The panel re-reads the marked choices afterwards;
    // the answer is informational.
    virtual bool willChangePPDOptionKeyValue(const QString& key, const QString& choice)
    {
        return false;
    }
    // Optional: the panel's view changed its size.
    virtual void panelViewDidResize() {}
};

// ---------------------------------------------------------------------------
// Host to panel.

class PDEPanel {
public:
    virtual ~PDEPanel() = default;

    virtual QWidget* panelView() = 0;    // created on the first call, see above
    virtual QString panelName() = 0;     // localized page title
    virtual QString panelKind() = 0;     // "com.PrinterPDE"
    // Option title (e.g. "Color Mode:") to the chosen value's text.
    virtual QMap<QString, QString> summaryInfo() = 0;
    virtual bool shouldShowHelp() = 0;
    virtual bool shouldHide() = 0;       // may the panel be left
    virtual void willShow() = 0;         // before the view becomes visible
    // When the user prints; commits to the PPD. False stops the print: the
    // host prints nothing and shows the panel's page.
    virtual bool shouldPrint() = 0;
    // Write / read the panel's values in the print settings. Both answer true
    // and never set *error; the parameter may be null.
    virtual bool saveValuesAndReturnError(QString* error) = 0;
    virtual bool restoreValuesAndReturnError(QString* error) = 0;
    // The PPD keywords the panel shows; the host shows no other control for
    // them.
    virtual QStringList supportedPPDOptionKeys() = 0;
    virtual void PPDOptionKeyValueDidChange(const QString& key, const QString& choice) = 0;
    virtual void panelViewDidResize() = 0;
};

// ---------------------------------------------------------------------------
// The plug-in's root object, the panel factory.

class PDEPlugIn {
public:
    virtual ~PDEPlugIn() = default;

    // `bundlePath`: the plug-in library's file path (QPluginLoader::fileName());
    // its directory holds the plug-in's resources. Always true.
    virtual bool initWithBundle(const QString& bundlePath) = 0;
    // The panels of this type, owned by the factory; empty for a type the
    // plug-in has no panels for or when no panel could be made. A new call
    // keeps the panels handed out before alive.
    virtual QList<PDEPanel*> PDEPanelsForType(const QString& type, PDEPluginCallback* callback) = 0;
    // The plug-in's HTML help (a local file path), empty when there is none.
    // The host's Help button opens it with the desktop's browser.
    virtual QString helpBookPath() const = 0;
};

#define PDEPlugIn_iid "org.printpanels.PDEPlugIn/1"
Q_DECLARE_INTERFACE(PDEPlugIn, PDEPlugIn_iid)

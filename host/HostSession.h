// One use of the print dialog: the chosen queue (or bare PPD), its marked PPD,
// its print settings and where the job goes. It is the print session and the
// callback object that the panels talk to.
//
// The queue can change while the dialog is open. The PPD records of earlier
// queues stay alive as long as the session: a panel reads the host's PPD once,
// when it is made, and the plug-in keeps its panels until it is unloaded.
#pragma once

#include "JobCapabilities.h"
#include "PpdDocument.h"
#include "PrintSettingsStore.h"

#include <PDEPlugin.h>

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace printpanels::host {

class HostSession final : public PMPrintSessionObject, public PDEPluginCallback {
public:
    HostSession();
    ~HostSession() override;

    // Opens the PPD of a CUPS queue and marks the queue's saved options
    // (lpoptions and the server's defaults) over the PPD's defaults. On
    // failure the session stays on what it had.
    bool openQueue(const QString& queue, QString* error);
    // Opens a PPD file with its own defaults; the settings are kept under
    // "ppd:<absolute path>".
    bool openPpdFile(const QString& path, QString* error);

    const QString& queue() const { return queue_; }
    PpdDocument& ppd() { return *ppd_; }
    const PpdDocument& ppd() const { return *ppd_; }
    // The print settings of the current queue. Each queue's settings are read
    // from disk the first time it is opened and then kept in memory for the
    // session: nothing is written until save.
    PrintSettingsStore& settings() { return *settings_; }
    // False when the settings file could not be read for the current queue.
    bool settingsReadable() const { return settingsReadable_; }
    // The job's name, for the settings of every queue opened.
    void setJobName(const QString& name);

    // What the queue applies to an option a job leaves out: its own saved
    // default, else the PPD's.
    std::string queueDefault(const std::string& keyword) const;
    // A non-PPD option the queue keeps a default for ("number-up", ...), or
    // empty.
    std::string queueOption(const std::string& name) const;
    // The job options the current queue takes (none for a bare PPD).
    const JobCapabilities& capabilities() const { return capabilities_; }
    // The PPD options a job must name so that it prints what the dialog
    // shows: every option whose marked choice differs from the PPD's
    // default, and every option the queue keeps a default of its own for
    // (the server applies the queue's defaults to what a job leaves out, and
    // lpoptions only reach the job through us).
    std::vector<std::pair<std::string, std::string>> jobOptions() const;

    void setDestinationType(PMDestinationType type) { destination_ = type; }
    PMDestinationType destinationType() const override { return destination_; }

    // Called after every marking request with its outcome (the dialog shows
    // the message and refreshes its own controls).
    void setMarkListener(std::function<void(const QString& key, const MarkOutcome&)> fn) { listener_ = std::move(fn); }
    const MarkOutcome& lastOutcome() const { return last_; }

    // PDEPluginCallback
    bool respondsToSelector(Selector selector) const override;
    PMPrintSession printSession() override { return this; }
    PMPrintSettings printSettings() override { return settings_; }
    ppd_file_s* ppdFile() override { return ppd_->ppd(); }
    bool willChangePPDOptionKeyValue(const QString& key, const QString& choice) override;
    void panelViewDidResize() override {}

private:
    // Makes `ppd` the current PPD (the old one is kept) and `storeName` the
    // current settings.
    void adopt(std::unique_ptr<PpdDocument> ppd, const QString& storeName);

    QString queue_;
    std::unique_ptr<PpdDocument> ppd_;
    std::vector<std::unique_ptr<PpdDocument>> earlierPpds_;
    std::map<QString, std::unique_ptr<PrintSettingsStore>> stores_; // by store name
    PrintSettingsStore* settings_ = nullptr;
    bool settingsReadable_ = true;
    QString jobName_;
    std::map<std::string, std::string> queueOptions_; // the queue's saved options, as cupsGetNamedDest gives them
    std::set<std::string> queueNamed_;                 // PPD options the queue keeps a default for
    std::map<std::string, std::string> baseline_;      // and what it marks for them
    JobCapabilities capabilities_;
    PMDestinationType destination_ = kPMDestinationPrinter;
    std::function<void(const QString&, const MarkOutcome&)> listener_;
    MarkOutcome last_;
};

} // namespace printpanels::host

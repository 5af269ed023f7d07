// One use of the print dialog: the queue (or bare PPD), its marked PPD, its
// print settings and where the job goes. It is the print session and the
// callback object that the panels talk to.
#pragma once

#include "PpdDocument.h"
#include "PrintSettingsStore.h"

#include <PDEPlugin.h>

#include <QString>
#include <functional>
#include <memory>

namespace printpanels::host {

class HostSession final : public PMPrintSessionObject, public PDEPluginCallback {
public:
    HostSession() = default;

    // Opens the PPD of a CUPS queue and marks the queue's saved options
    // (lpoptions and the server's defaults) over the PPD's defaults.
    bool openQueue(const QString& queue, QString* error);
    // Opens a PPD file with its own defaults; the settings are kept under
    // "ppd:<absolute path>".
    bool openPpdFile(const QString& path, QString* error);

    const QString& queue() const { return queue_; }
    PpdDocument& ppd() { return ppd_; }
    PrintSettingsStore& settings() { return *settings_; }

    void setDestinationType(PMDestinationType type) { destination_ = type; }
    PMDestinationType destinationType() const override { return destination_; }

    // Called after every marking request with its outcome (the dialog shows
    // the message and refreshes its own controls).
    void setMarkListener(std::function<void(const QString& key, const MarkOutcome&)> fn) { listener_ = std::move(fn); }
    const MarkOutcome& lastOutcome() const { return last_; }

    // PDEPluginCallback
    bool respondsToSelector(Selector selector) const override;
    PMPrintSession printSession() override { return this; }
    PMPrintSettings printSettings() override { return settings_.get(); }
    ppd_file_s* ppdFile() override { return ppd_.ppd(); }
    bool willChangePPDOptionKeyValue(const QString& key, const QString& choice) override;
    void panelViewDidResize() override {}

private:
    QString queue_;
    PpdDocument ppd_;
    std::unique_ptr<PrintSettingsStore> settings_ = std::make_unique<PrintSettingsStore>(QString());
    PMDestinationType destination_ = kPMDestinationPrinter;
    std::function<void(const QString&, const MarkOutcome&)> listener_;
    MarkOutcome last_;
};

} // namespace printpanels::host

// The print-dialog plug-ins in the host's plug-in directory, loaded with
// QPluginLoader, and the printer panels they hand out.
#pragma once

#include <PDEPlugin.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QPluginLoader;

namespace printpanels::host {

class PluginSet {
public:
    PluginSet();
    ~PluginSet(); // unloads the plug-ins, deleting their factories and panels
    PluginSet(const PluginSet&) = delete;
    PluginSet& operator=(const PluginSet&) = delete;

    // PRINTPANELS_PLUGIN_PATH when set (directories separated by ':'),
    // otherwise the compiled-in plug-in directory.
    static QStringList searchPath();

    // Loads every plug-in found in `dirs`; files that are not plug-ins of
    // ours are skipped and named in warnings().
    void load(const QStringList& dirs);

    struct Panel {
        PDEPanel* panel = nullptr;
        QString helpBook; // the help of the plug-in that made it, may be empty
    };
    // The panels of every loaded plug-in: the printer panels, then the job
    // panels, each in load order.
    QList<Panel> printerPanels(PDEPluginCallback* callback);

    const QStringList& warnings() const { return warnings_; }
    // The directories load() looked in.
    const QStringList& searched() const { return searched_; }
    // Help files offered by the loaded plug-ins.
    QStringList helpBooks() const;
    int count() const { return static_cast<int>(plugins_.size()); }

private:
    struct Loaded {
        std::unique_ptr<QPluginLoader> loader;
        PDEPlugIn* factory = nullptr;
    };
    std::vector<Loaded> plugins_;
    QStringList warnings_;
    QStringList searched_;
};

} // namespace printpanels::host

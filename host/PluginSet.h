// The print-dialog plug-ins in the host's plug-in directories, and the panels
// they hand out.
//
// A printer's PPD names the plug-ins its panels come from (kPDEPanelsKeyword
// in PDEPlugin.h); a plug-in is known by the "name" of its metadata. The host
// finds the plug-ins by their metadata alone and loads one (QPluginLoader)
// only when a PPD names it: a printer whose PPD names none runs no plug-in
// code and gets the host's own pages.
#pragma once

#include <PDEPlugin.h>

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QPluginLoader;
struct ppd_file_s;

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

    // The plug-ins a PPD names for its panels, in the PPD's order, each once.
    // None for a null PPD or one without the keyword.
    static QStringList namedIn(const ppd_file_s* ppd);

    // Finds the plug-ins in `dirs` by their metadata, loading none. Files
    // that are not plug-ins of ours are skipped and named in warnings(); of
    // two plug-ins with one name the first found counts.
    void scan(const QStringList& dirs);

    struct Panel {
        PDEPanel* panel = nullptr;
        QString helpBook; // the help of the plug-in that made it, may be empty
        QString plugin;   // the name of that plug-in
    };
    // The panels of the plug-ins `names` for the printer `callback` serves:
    // the printer panels, then the job panels, each in the order of `names`.
    // A plug-in is loaded the first time it is named. Names that no usable
    // plug-in answers to are added to `missing` (when given).
    QList<Panel> panelsFor(const QStringList& names, PDEPluginCallback* callback, QStringList* missing = nullptr);

    // Loads every plug-in from a private copy of its library, made in `dir`
    // and removed once loaded: the plug-in-wide values of this set's panels
    // (Color Balance, Secure Print) are then its own, apart from those of
    // any other set in the process. Call before panelsFor().
    void usePrivateCopies(const QString& dir) { copyDir_ = dir; }

    const QStringList& warnings() const { return warnings_; }
    // The directories scan() looked in.
    const QStringList& searched() const { return searched_; }
    int count() const { return static_cast<int>(plugins_.size()); }

private:
    struct Found {
        std::unique_ptr<QPluginLoader> loader;
        QString name;
        PDEPlugIn* factory = nullptr; // once loaded
        bool failed = false;          // could not be loaded: counts as missing
    };
    // The plug-in's factory, loaded and initialised on first use; null when
    // it cannot be.
    PDEPlugIn* factory(Found& found);

    std::vector<Found> plugins_;
    QMap<QString, size_t> byName_;
    QStringList warnings_;
    QStringList searched_;
    QString copyDir_;
};

} // namespace printpanels::host

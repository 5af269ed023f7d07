#include "PluginSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QLibrary>
#include <QPluginLoader>

#ifndef PRINTPANELS_PLUGIN_DIR
#define PRINTPANELS_PLUGIN_DIR "/usr/local/lib/printpanels"
#endif

namespace printpanels::host {

PluginSet::PluginSet() = default;

PluginSet::~PluginSet()
{
    // Factories own their panels; unloading deletes the root objects.
    for (auto it = plugins_.rbegin(); it != plugins_.rend(); ++it)
        it->loader->unload();
}

QStringList PluginSet::searchPath()
{
    const QString env = qEnvironmentVariable("PRINTPANELS_PLUGIN_PATH");
    if (!env.isEmpty())
        return env.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // Where the plug-ins were installed, and the same place beside this
    // program when the whole installation was put elsewhere (another
    // prefix, a staging directory).
    QStringList dirs{QStringLiteral(PRINTPANELS_PLUGIN_DIR)};
    if (QCoreApplication::instance()) {
        const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                               + QStringLiteral("/../" PRINTPANELS_PLUGIN_SUBDIR));
        if (QFileInfo(beside).isDir() && QFileInfo(beside).canonicalFilePath()
                                             != QFileInfo(dirs.first()).canonicalFilePath())
            dirs << beside;
    }
    return dirs;
}

void PluginSet::load(const QStringList& dirs)
{
    QSet<QString> loaded;
    for (const auto& p : plugins_)
        loaded.insert(QFileInfo(p.loader->fileName()).canonicalFilePath());
    for (const QString& dirName : dirs) {
        searched_ << dirName;
        QDir dir(dirName);
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const QString path = QFileInfo(dir.absoluteFilePath(file)).canonicalFilePath();
            if (!QLibrary::isLibrary(path) || loaded.contains(path))
                continue; // a directory named twice, or a link to a plug-in already loaded
            loaded.insert(path);
            auto loader = std::make_unique<QPluginLoader>(path);
            QObject* root = loader->instance();
            auto* factory = qobject_cast<PDEPlugIn*>(root);
            if (!factory) {
                warnings_ << (root ? QStringLiteral("%1: not a print-dialog plug-in").arg(path)
                                   : QStringLiteral("%1: %2").arg(path, loader->errorString()));
                if (root)
                    loader->unload();
                continue;
            }
            factory->initWithBundle(path);
            plugins_.push_back({std::move(loader), factory});
        }
    }
}

QList<PluginSet::Panel> PluginSet::printerPanels(PDEPluginCallback* callback)
{
    QList<Panel> panels;
    for (const char* type : {kPDEPrinterPanelType, kPDEJobPanelType})
        for (auto& p : plugins_)
            for (PDEPanel* panel : p.factory->PDEPanelsForType(QString::fromLatin1(type), callback))
                if (panel)
                    panels << Panel{panel, p.factory->helpBookPath()};
    return panels;
}

QStringList PluginSet::helpBooks() const
{
    QStringList books;
    for (const auto& p : plugins_)
        if (const QString book = p.factory->helpBookPath(); !book.isEmpty())
            books << book;
    return books;
}

} // namespace printpanels::host

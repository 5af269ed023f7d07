#include "PluginSet.h"

#include "PpdApi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QRegularExpression>
#include <QSet>

#ifndef PRINTPANELS_PLUGIN_DIR
#define PRINTPANELS_PLUGIN_DIR "/usr/local/lib/printpanels"
#endif

namespace printpanels::host {

PluginSet::PluginSet() = default;

PluginSet::~PluginSet()
{
    // Factories own their panels; unloading deletes the root objects.
    for (auto it = plugins_.rbegin(); it != plugins_.rend(); ++it)
        if (it->factory)
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

QStringList PluginSet::namedIn(const ppd_file_s* ppd)
{
    QStringList names;
    if (!ppd)
        return names;
    // Several names in one value, or one line each.
    auto* file = const_cast<ppd_file_t*>(ppd);
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (ppd_attr_t* attr = ppdFindAttr(file, kPDEPanelsKeyword, nullptr); attr;
         attr = ppdFindNextAttr(file, kPDEPanelsKeyword, nullptr)) {
        if (!attr->value)
            continue;
        for (const QString& name : QString::fromUtf8(attr->value).split(space, Qt::SkipEmptyParts))
            if (!names.contains(name))
                names << name;
    }
    return names;
}

void PluginSet::scan(const QStringList& dirs)
{
    QSet<QString> seen;
    for (const Found& p : plugins_)
        seen.insert(QFileInfo(p.loader->fileName()).canonicalFilePath());
    for (const QString& dirName : dirs) {
        searched_ << dirName;
        QDir dir(dirName);
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const QString path = QFileInfo(dir.absoluteFilePath(file)).canonicalFilePath();
            if (!QLibrary::isLibrary(path) || seen.contains(path))
                continue; // a directory named twice, or a link to a plug-in already found
            seen.insert(path);
            // The metadata is read from the file; nothing of it runs yet.
            auto loader = std::make_unique<QPluginLoader>(path);
            const QJsonObject meta = loader->metaData();
            if (meta.value(QLatin1String("IID")).toString() != QLatin1String(PDEPlugIn_iid)) {
                warnings_ << QCoreApplication::translate("PluginSet", "%1: not a print-dialog plug-in").arg(path);
                continue;
            }
            QString name = meta.value(QLatin1String("MetaData")).toObject().value(QLatin1String("name")).toString();
            if (name.isEmpty()) {
                // Unnamed: known by its file name ("libfoo.so" is "foo").
                name = QFileInfo(path).completeBaseName();
                if (name.startsWith(QLatin1String("lib")))
                    name.remove(0, 3);
            }
            if (byName_.contains(name)) {
                warnings_ << QCoreApplication::translate("PluginSet", "%1: another plug-in named \"%2\" was found first")
                                 .arg(path, name);
                continue;
            }
            byName_.insert(name, plugins_.size());
            plugins_.push_back({std::move(loader), name, nullptr, false});
        }
    }
}

PDEPlugIn* PluginSet::factory(Found& found)
{
    if (found.factory || found.failed)
        return found.factory;
    const QString bundle = found.loader->fileName();
    if (!copyDir_.isEmpty()) {
        // A copy is a file of its own (another inode): the dynamic linker
        // loads it anew instead of handing out the instance already loaded.
        static int serial = 0;
        const QString copy = QDir(copyDir_).filePath(QStringLiteral("%1-%2").arg(++serial).arg(QFileInfo(bundle).fileName()));
        if (!QFile::copy(bundle, copy)) {
            found.failed = true;
            warnings_ << QCoreApplication::translate("PluginSet", "%1: cannot be copied to %2").arg(bundle, copyDir_);
            return nullptr;
        }
        found.loader = std::make_unique<QPluginLoader>(copy);
        found.loader->load();
        QFile::remove(copy);
    }
    QObject* root = found.loader->instance();
    found.factory = qobject_cast<PDEPlugIn*>(root);
    if (!found.factory) {
        found.failed = true;
        warnings_ << (root ? QCoreApplication::translate("PluginSet", "%1: not a print-dialog plug-in")
                                 .arg(found.loader->fileName())
                           : QStringLiteral("%1: %2").arg(found.loader->fileName(), found.loader->errorString()));
        if (root)
            found.loader->unload();
        return nullptr;
    }
    found.factory->initWithBundle(bundle);
    return found.factory;
}

QList<PluginSet::Panel> PluginSet::panelsFor(const QStringList& names, PDEPluginCallback* callback, QStringList* missing)
{
    std::vector<Found*> named;
    for (const QString& name : names) {
        auto it = byName_.constFind(name);
        PDEPlugIn* f = it == byName_.constEnd() ? nullptr : factory(plugins_[*it]);
        if (f)
            named.push_back(&plugins_[*it]);
        else if (missing && !missing->contains(name))
            *missing << name;
    }
    QList<Panel> panels;
    for (const char* type : {kPDEPrinterPanelType, kPDEJobPanelType})
        for (Found* p : named)
            for (PDEPanel* panel : p->factory->PDEPanelsForType(QString::fromLatin1(type), callback))
                if (panel)
                    panels << Panel{panel, p->factory->helpBookPath(), p->name};
    return panels;
}

} // namespace printpanels::host

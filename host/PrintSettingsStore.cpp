#include "PrintSettingsStore.h"

#include <QSettings>
#include <QUrl>

namespace printpanels::host {
namespace {

// A queue name may hold characters QSettings treats as separators ('/'), so
// the group is the name percent-encoded.
QString groupFor(const QString& storeName)
{
    return QStringLiteral("queue-") + QString::fromLatin1(QUrl::toPercentEncoding(storeName));
}

QSettings openSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("printpanels"),
                     QStringLiteral("printpanels-host"));
}

} // namespace

PrintSettingsStore::PrintSettingsStore(QString storeName) : name_(std::move(storeName)) {}

bool PrintSettingsStore::value(const QString& key, QString* value) const
{
    auto it = values_.constFind(key);
    if (it == values_.constEnd())
        return false;
    if (value)
        *value = *it;
    return true;
}

void PrintSettingsStore::setValue(const QString& key, const QString& value, bool /*locked*/)
{
    values_.insert(key, value);
}

bool PrintSettingsStore::load()
{
    QSettings settings = openSettings();
    if (settings.status() != QSettings::NoError)
        return false;
    values_.clear();
    settings.beginGroup(groupFor(name_));
    const QStringList keys = settings.childKeys();
    for (const QString& key : keys)
        values_.insert(key, settings.value(key).toString());
    settings.endGroup();
    return true;
}

bool PrintSettingsStore::save() const
{
    QSettings settings = openSettings();
    settings.beginGroup(groupFor(name_));
    settings.remove(QString());
    for (auto it = values_.constBegin(); it != values_.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace printpanels::host

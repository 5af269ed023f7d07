// The print settings of one queue: string keys and values that the panels
// keep, persisted in the user's configuration directory with QSettings
// ($XDG_CONFIG_HOME/printpanels/printpanels-host.conf, one group per queue).
#pragma once

#include <PDEPlugin.h>

#include <QMap>
#include <QString>

namespace printpanels::host {

class PrintSettingsStore final : public PMPrintSettingsObject {
public:
    // `storeName` names the queue (or "ppd:<path>" for a bare PPD file).
    explicit PrintSettingsStore(QString storeName);

    bool value(const QString& key, QString* value) const override;
    void setValue(const QString& key, const QString& value, bool locked) override;
    void remove(const QString& key) { values_.remove(key); }
    QString jobName() const override { return jobName_; }
    void setJobName(const QString& name) { jobName_ = name; }

    // Reads the stored values (replacing the ones held); false when the
    // configuration file cannot be read. A missing file is an empty store.
    bool load();
    // Writes the held values, replacing the queue's stored group; false when
    // the configuration file cannot be written.
    bool save() const;

    const QString& storeName() const { return name_; }
    const QMap<QString, QString>& values() const { return values_; }

private:
    QString name_;
    QString jobName_;
    QMap<QString, QString> values_;
};

} // namespace printpanels::host

// The plug-in's root object: the panel factory.
#pragma once

#include "PDEPlugin.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class PDEBundle;

// A copy of the bundle's path, kept as the factory saw it.
extern QString pluginBundlePath;

class PrinterPDEPlugInCorvane5170 : public QObject, public PDEPlugIn {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID PDEPlugIn_iid FILE "printpanels.json")
    Q_INTERFACES(PDEPlugIn)

public:
    PrinterPDEPlugInCorvane5170();
    ~PrinterPDEPlugInCorvane5170() override;

    bool initWithBundle(const QString& bundlePath) override;
    QList<PDEPanel*> PDEPanelsForType(const QString& type, PDEPluginCallback* callback) override;
    QString helpBookPath() const override;

private:
    std::shared_ptr<PDEBundle> pluginBundle;
    // Every panel handed out; those of earlier calls stay alive because the
    // host may still show them.
    std::vector<std::unique_ptr<PDEPanel>> ownedPanels;
    QList<PDEPanel*> PDEs; // the last call's answer
};

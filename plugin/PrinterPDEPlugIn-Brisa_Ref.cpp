#include "PrinterPDEPlugIn-Brisa_Ref.h"

#include "PDEBundle.h"
#include "PrinterPDE-Brisa_Ref.h"

QString pluginBundlePath;

PrinterPDEPlugInCorvane5170::PrinterPDEPlugInCorvane5170() = default;

PrinterPDEPlugInCorvane5170::~PrinterPDEPlugInCorvane5170()
{
    PDEs.clear();
    ownedPanels.clear(); // the panels go before the bundle they use
}

bool PrinterPDEPlugInCorvane5170::initWithBundle(const QString& bundlePath)
{
    pluginBundle = std::make_shared<PDEBundle>(bundlePath);
    pluginBundlePath = bundlePath;
    // The help book needs no registration: the host opens helpBookPath().
    return true;
}

QList<PDEPanel*> PrinterPDEPlugInCorvane5170::PDEPanelsForType(const QString& type, PDEPluginCallback* callback)
{
    PDEs.clear();
    if (type == QLatin1String(kPDEPrinterPanelType)) {
        auto panel = std::make_unique<PrinterPDECorvane5170>(callback, pluginBundle);
        PDEs.append(panel.get());
        ownedPanels.push_back(std::move(panel));
    }
    return PDEs;
}

QString PrinterPDEPlugInCorvane5170::helpBookPath() const
{
    return pluginBundle ? pluginBundle->helpBookPath() : QString();
}

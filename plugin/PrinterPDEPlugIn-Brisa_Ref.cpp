#include "PrinterPDEPlugIn-Brisa_Ref.h"

#include "PDEBundle.h"
#include "PrinterJobPDE-Brisa_Ref.h"
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
    std::unique_ptr<PDEPanel> panel;
    if (type == QLatin1String(kPDEPrinterPanelType)) {
        panel = std::make_unique<PrinterPDECorvane5170>(callback, pluginBundle);
    } else if (type == QLatin1String(kPDEJobPanelType)) {
        // Only a printer that takes a job type gets the Job Type panel.
        ppd_file_t* ppd = callback ? callback->ppdFile() : nullptr;
        if (ppd && ppdFindOption(ppd, kJobTypeKey))
            panel = std::make_unique<PrinterJobPDECorvane5170>(callback, pluginBundle);
    }
    if (panel) {
        PDEs.append(panel.get());
        ownedPanels.push_back(std::move(panel));
    }
    return PDEs;
}

QString PrinterPDEPlugInCorvane5170::helpBookPath() const
{
    return pluginBundle ? pluginBundle->helpBookPath() : QString();
}

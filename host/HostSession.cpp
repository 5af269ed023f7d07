#include "HostSession.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <unistd.h>

namespace printpanels::host {

bool HostSession::openQueue(const QString& queue, QString* error)
{
    const QByteArray name = queue.toUtf8();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest) {
        if (error)
            *error = QCoreApplication::translate("HostSession", "There is no print queue \"%1\" (%2).")
                         .arg(queue, QString::fromUtf8(cupsLastErrorString()));
        return false;
    }
    const char* ppdPath = cupsGetPPD(name.constData());
    if (!ppdPath) {
        if (error)
            *error = QCoreApplication::translate("HostSession", "The queue \"%1\" has no PPD (%2).")
                         .arg(queue, QString::fromUtf8(cupsLastErrorString()));
        cupsFreeDests(1, dest);
        return false;
    }
    const QString path = QString::fromLocal8Bit(ppdPath);
    const bool opened = ppd_.open(path, error);
    ::unlink(ppdPath); // a temporary copy that cupsGetPPD made for us
    if (opened)
        ppd_.applyOptions(dest->num_options, dest->options);
    cupsFreeDests(1, dest);
    if (!opened)
        return false;
    queue_ = queue;
    destination_ = kPMDestinationPrinter;
    settings_ = std::make_unique<PrintSettingsStore>(queue);
    return true;
}

bool HostSession::openPpdFile(const QString& path, QString* error)
{
    if (!ppd_.open(path, error))
        return false;
    queue_.clear();
    destination_ = kPMDestinationFile; // no queue to print to
    settings_ = std::make_unique<PrintSettingsStore>(QStringLiteral("ppd:") + QFileInfo(path).absoluteFilePath());
    return true;
}

bool HostSession::respondsToSelector(Selector selector) const
{
    switch (selector) {
    case Selector::willChangePPDOptionKeyValue:
    case Selector::panelViewDidResize:
        return true;
    }
    return false;
}

bool HostSession::willChangePPDOptionKeyValue(const QString& key, const QString& choice)
{
    last_ = ppd_.markChoice(key.toStdString(), choice.toStdString());
    if (listener_)
        listener_(key, last_);
    return last_.accepted();
}

} // namespace printpanels::host

#include "HostSession.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace printpanels::host {

HostSession::HostSession() : ppd_(std::make_unique<PpdDocument>())
{
    adopt(std::make_unique<PpdDocument>(), QString());
}

HostSession::~HostSession() = default;

void HostSession::adopt(std::unique_ptr<PpdDocument> ppd, const QString& storeName)
{
    earlierPpds_.push_back(std::move(ppd_));
    ppd_ = std::move(ppd);
    auto& store = stores_[storeName];
    if (!store) {
        store = std::make_unique<PrintSettingsStore>(storeName);
        settingsReadable_ = storeName.isEmpty() || store->load();
    } else {
        settingsReadable_ = true;
    }
    store->setJobName(jobName_);
    settings_ = store.get();
}

void HostSession::setJobName(const QString& name)
{
    jobName_ = name;
    settings_->setJobName(name);
}

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
    auto ppd = std::make_unique<PpdDocument>();
    const bool opened = ppd->open(QString::fromLocal8Bit(ppdPath), error);
    ::unlink(ppdPath); // a temporary copy that cupsGetPPD made for us
    if (!opened) {
        cupsFreeDests(1, dest);
        return false;
    }
    ppd->applyOptions(dest->num_options, dest->options);
    queueOptions_.clear();
    queueNamed_.clear();
    for (int i = 0; i < dest->num_options; ++i) {
        queueOptions_[dest->options[i].name] = dest->options[i].value;
        if (ppd->ppd() && ppdFindOption(ppd->ppd(), dest->options[i].name))
            queueNamed_.insert(ppdFindOption(ppd->ppd(), dest->options[i].name)->keyword);
    }
    // Options the queue's IPP defaults moved (sides, media, ...).
    for (const PpdOption& option : ppd->options())
        if (ppd->markedValue(option.keyword) != option.defaultChoice)
            queueNamed_.insert(option.keyword);
    cupsFreeDests(1, dest);
    // What the queue applies on its own is this printer's default: the
    // panels start from it and their "Default" goes back to it, as CUPS's own
    // copy of the PPD has it after `lpadmin -o OPTION=VALUE`.
    for (const std::string& keyword : queueNamed_) {
        ppd_option_t* option = ppd->ppd() ? ppdFindOption(ppd->ppd(), keyword.c_str()) : nullptr;
        const std::string value = ppd->markedValue(keyword);
        if (option && ppdFindChoice(option, value.c_str()) && value.rfind("Custom.", 0) != 0)
            std::snprintf(option->defchoice, sizeof option->defchoice, "%s", value.c_str());
    }

    // The options a job may carry besides the PPD's; a server that does not
    // say leaves them out of the dialog.
    capabilities_ = queryJobCapabilities(queue);
    adopt(std::move(ppd), queue);
    queue_ = queue;
    destination_ = kPMDestinationPrinter;
    // What the queue applies on its own is what the dialog starts from.
    for (const std::string& keyword : queueNamed_)
        baseline_[keyword] = ppd_->markedValue(keyword);
    return true;
}

bool HostSession::openPpdFile(const QString& path, QString* error)
{
    auto ppd = std::make_unique<PpdDocument>();
    if (!ppd->open(path, error))
        return false;
    adopt(std::move(ppd), QStringLiteral("ppd:") + QFileInfo(path).absoluteFilePath());
    queue_.clear();
    queueOptions_.clear();
    queueNamed_.clear();
    baseline_.clear();
    capabilities_ = {};
    destination_ = kPMDestinationFile; // no queue to print to
    return true;
}

std::string HostSession::queueDefault(const std::string& keyword) const
{
    if (auto it = baseline_.find(keyword); it != baseline_.end())
        return it->second;
    ppd_option_t* option = ppd_->ppd() ? ppdFindOption(ppd_->ppd(), keyword.c_str()) : nullptr;
    return option ? option->defchoice : std::string();
}

std::string HostSession::queueOption(const std::string& name) const
{
    auto it = queueOptions_.find(name);
    return it == queueOptions_.end() ? std::string() : it->second;
}

std::vector<std::pair<std::string, std::string>> HostSession::jobOptions() const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const PpdOption& option : ppd_->options()) {
        const std::string value = ppd_->markedValue(option.keyword);
        if (!value.empty() && (value != option.defaultChoice || queueNamed_.count(option.keyword)))
            out.emplace_back(option.keyword, value);
    }
    return out;
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
    last_ = ppd_->markChoice(key.toStdString(), choice.toStdString());
    if (listener_)
        listener_(key, last_);
    return last_.accepted();
}

} // namespace printpanels::host

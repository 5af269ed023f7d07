#include "PrintPortal.h"

#include "DocumentReader.h"
#include "GtkSettings.h"

#include <PageSetupPage.h>
#include <PreviewRenderer.h>
#include <PrintDialog.h>
#include <PrinterStatus.h>

#include <QCheckBox>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTimer>
#include <QWindow>
#include <QtConcurrent>

#include <cups/ppd.h>
#include <unistd.h>

using namespace printpanels::host;

namespace printpanels::portal {
namespace {

// The layout the application applies itself when it renders the document
// after PreparePrint (GTK renders copies, collation, page ranges, odd or
// even pages, reverse order, pages per sheet, scaling and rotation into it):
// the job leaves them out, so that CUPS does none of them a second time.
const char* const kAppliedByApplication[] = {"page-ranges", "page-set", "outputorder", "number-up", "number-up-layout",
                                             "orientation-requested", "print-scaling", "fit-to-page", "collate"};

void journal(const QString& text)
{
    // Standard error goes to the journal (the session bus starts us).
    fprintf(stderr, "printpanels-portal: %s\n", text.toUtf8().constData());
}

KeyValues textOf(const QVariantMap& map)
{
    KeyValues out;
    for (auto it = map.constBegin(); it != map.constEnd() && out.size() < kMaxSettingsKeys; ++it)
        if (it.value().typeId() == QMetaType::QString && it.key().size() < 256)
            out[it.key().toStdString()] = it.value().toString().left(kMaxSettingValue).toStdString();
    return out;
}

// The dialog's choices, in the keys of the application's toolkit.
Chosen chosenIn(PrintDialog& dialog, HostSession& session)
{
    Chosen c;
    c.printer = session.queue().toStdString();
    c.copies = dialog.copiesBox()->value();
    c.collate = dialog.collateBox()->isChecked();
    c.ranges = cupsPageRanges(dialog.pageRangesEdit()->text()).toStdString();
    const JobValues layout = dialog.pageSetup()->jobValues();
    c.orientation = dialog.pageSetup()->orientation();
    c.numberUp = dialog.pageSetup()->numberUp();
    c.pageSet = layout.value(QStringLiteral("page-set"), QStringLiteral("all")).toStdString();
    c.reverse = layout.value(QStringLiteral("outputorder")) == QLatin1String("reverse");
    c.paper = session.ppd().markedValue("PageSize");
    if (ppd_file_t* ppd = session.ppd().ppd()) {
        if (ppd_choice_t* choice = ppdFindMarkedChoice(ppd, "PageSize"))
            c.paperText = choice->text;
        if (ppd_size_t* size = ppdPageSize(ppd, nullptr)) {
            const double k = 25.4 / 72;
            c.widthMm = size->width * k;
            c.heightMm = size->length * k;
            c.marginMm[0] = (size->length - size->top) * k;
            c.marginMm[1] = size->bottom * k;
            c.marginMm[2] = size->left * k;
            c.marginMm[3] = (size->width - size->right) * k;
        }
    }
    return c;
}

// The title of the dialog and the job: the one the application gives (GTK
// gives "Print"), after its application ID when it has one (sandboxed
// applications do).
QString shownTitle(const QString& appId, const QString& title)
{
    if (appId.isEmpty())
        return title.isEmpty() ? QCoreApplication::translate("PrintPortal", "Untitled") : title;
    return title.isEmpty() ? appId : QStringLiteral("%1: %2").arg(appId, title);
}

} // namespace

// The Request object of one call: Close closes its dialog.
class RequestObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Request")
public:
    using QObject::QObject;
public slots:
    void Close() { emit closeRequested(); }
signals:
    void closeRequested();
};

// One application's request: its dialog with a session and plug-ins of its
// own, then (after OK) the prepared job under its token until Print.
class PortalJob : public QObject {
    Q_OBJECT
public:
    PortalJob(PrintPortal& portal, QDBusMessage call) : portal_(portal), call_(std::move(call)) {}
    ~PortalJob() override
    {
        if (request_)
            portal_.bus_.unregisterObject(handle_);
        dialog_.reset(); // before the plug-ins and the session
        if (!document_.isEmpty())
            QFile::remove(document_);
    }

    void answer(uint response, const QVariantMap& results = {})
    {
        if (answered_)
            return;
        answered_ = true;
        portal_.bus_.send(call_.createReply(QVariantList{QVariant::fromValue(response), results}));
    }
    // Closes the dialog and prints nothing.
    void close()
    {
        // Its windows go at once, a plug-in's modal one first.
        if (dialog_) {
            for (QDialog* window : dialog_->findChildren<QDialog*>())
                if (window->isVisible())
                    window->reject();
            dialog_->hide();
        }
        answer(kResponseOther);
        portal_.finished(this);
    }

    PrintPortal& portal_;
    QDBusMessage call_;
    bool answered_ = false;
    QString handle_;
    RequestObject* request_ = nullptr;
    QString caller;
    QString title;
    HostSession session;
    PluginSet plugins;
    std::unique_ptr<PrintDialog> dialog_;
    uint token = 0;
    QElapsedTimer age;
    QString document_;
    std::unique_ptr<JobSender> sender;
};

PrintPortal::PrintPortal(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus))
{
    readers_.setMaxThreadCount(kMaxDocumentReads);
    idleSince_.start();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    callers_ = new QDBusServiceWatcher(this);
    callers_->setConnection(bus_);
    callers_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(callers_, &QDBusServiceWatcher::serviceUnregistered, this, &PrintPortal::callerLeft);
}

PrintPortal::~PrintPortal()
{
    for (auto& [ptr, job] : jobs_)
        job->answer(kResponseOther);
    tokens_.clear();
    jobs_.clear();
    // And the jobs that ended and wait for the event loop to delete them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool PrintPortal::eventFilter(QObject* watched, QEvent* event)
{
    // A modal window (QDialog::exec) is made application-modal unless it is
    // modal to its window already; polishing comes before it is shown.
    if (event->type() == QEvent::Polish) {
        auto* window = qobject_cast<QDialog*>(watched);
        if (window && window->isWindow() && !qobject_cast<PrintDialog*>(window))
            for (QWidget* up = window->parentWidget(); up; up = up->parentWidget())
                if (qobject_cast<PrintDialog*>(up)) {
                    window->setWindowModality(Qt::WindowModal);
                    break;
                }
    }
    return QObject::eventFilter(watched, event);
}

bool PrintPortal::publish(QString* error)
{
    if (!scratch_.isValid()) {
        *error = tr("no private directory for documents: %1").arg(scratch_.errorString());
        return false;
    }
    if (!bus_.registerObject(QLatin1String(kObjectPath), this, QDBusConnection::ExportAllSlots)) {
        *error = tr("%1 cannot be served: %2").arg(QLatin1String(kObjectPath), bus_.lastError().message());
        return false;
    }
    if (!bus_.registerService(QLatin1String(kBusName))) {
        *error = tr("the bus name %1 is taken or refused: %2").arg(QLatin1String(kBusName), bus_.lastError().message());
        return false;
    }
    return true;
}

int PrintPortal::openDialogs() const
{
    int n = 0;
    for (const auto& [ptr, job] : jobs_)
        n += job->dialog_ && job->dialog_->isVisible();
    return n;
}

void PrintPortal::finished(PortalJob* job)
{
    if (job->token)
        tokens_.erase(job->token);
    // Not while one of its own signals is being delivered.
    auto it = jobs_.find(job);
    if (it == jobs_.end())
        return;
    it->second.release()->deleteLater();
    jobs_.erase(it);
    if (jobs_.empty())
        idleSince_.restart();
}

void PrintPortal::callerLeft(const QString& name)
{
    std::vector<PortalJob*> gone;
    for (const auto& [ptr, job] : jobs_)
        if (job->caller == name)
            gone.push_back(ptr);
    for (PortalJob* job : gone)
        job->close();
    callers_->removeWatchedService(name);
}

PortalJob* PrintPortal::startJob(const QDBusObjectPath& handle, const QString& title, const QVariantMap& settings,
                                 const QVariantMap& pageSetup, const QDBusMessage& message, const QString& document,
                                 const QString& parentWindow, QString* error)
{
    if (openDialogs() >= kMaxOpenDialogs) {
        *error = tr("%1 print dialogs are open already").arg(kMaxOpenDialogs);
        return nullptr;
    }
    const InitialSettings initial = readInitial(textOf(settings), textOf(pageSetup));
    auto job = std::make_unique<PortalJob>(*this, message);
    job->caller = message.service();
    job->title = title;
    // The printer the application names when CUPS has it, else the default
    // destination.
    QString listError;
    const QList<PrinterStatus> printers = listPrinters(&listError);
    QString queue;
    for (const PrinterStatus& p : printers)
        if (p.name.toStdString() == initial.printer)
            queue = p.name;
    if (queue.isEmpty() && !printers.isEmpty())
        queue = printers.first().name;
    if (queue.isEmpty()) {
        *error = listError.isEmpty() ? tr("no printer is set up in CUPS") : listError;
        return nullptr;
    }
    if (!job->session.openQueue(queue, error))
        return nullptr;
    job->session.setJobName(title.isEmpty() ? tr("Untitled") : title);
    job->plugins.usePrivateCopies(scratch_.path());
    job->plugins.scan(PluginSet::searchPath());
    for (const QString& problem : job->plugins.warnings())
        journal(problem);

    job->dialog_ = std::make_unique<PrintDialog>(job->session, job->plugins, document);
    PrintDialog& dialog = *job->dialog_;
    if (document.isEmpty())
        dialog.setPreparing(title, tr("%1 renders the document once you press Print; it cannot be shown here.")
                                       .arg(title.isEmpty() ? tr("The application") : title));
    // Where the application starts.
    if (initial.copies > 0)
        dialog.copiesBox()->setValue(initial.copies);
    if (initial.collate >= 0)
        dialog.collateBox()->setChecked(initial.collate == 1);
    if (!initial.ranges.empty())
        dialog.pageRangesEdit()->setText(QString::fromStdString(initial.ranges));
    JobValues layout;
    if (initial.orientation)
        layout.insert(QStringLiteral("orientation-requested"), QString::number(initial.orientation));
    if (initial.numberUp)
        layout.insert(QStringLiteral("number-up"), QString::number(initial.numberUp));
    if (!initial.pageSet.empty())
        layout.insert(QStringLiteral("page-set"), QString::fromStdString(initial.pageSet));
    if (initial.reverse >= 0)
        layout.insert(QStringLiteral("outputorder"), initial.reverse ? QStringLiteral("reverse") : QStringLiteral("normal"));
    dialog.pageSetup()->setJobValues(layout);
    if (!initial.paper.empty() && job->session.ppd().ppd()
        && ppdFindChoice(ppdFindOption(job->session.ppd().ppd(), "PageSize"), initial.paper.c_str()))
        dialog.chooseFeature(QStringLiteral("PageSize"), QString::fromStdString(initial.paper));

    // Its Request object: Close closes the dialog.
    job->handle_ = handle.path();
    auto* request = new RequestObject(job.get());
    if (bus_.registerObject(job->handle_, request, QDBusConnection::ExportAllSlots))
        job->request_ = request;
    PortalJob* raw = job.get();
    connect(request, &RequestObject::closeRequested, raw, [raw] { raw->close(); });
    if (!job->caller.isEmpty())
        callers_->addWatchedService(job->caller);

    // Above the application's window where it is an X11 one.
    if (parentWindow.startsWith(QLatin1String("x11:")) && QGuiApplication::platformName() == QLatin1String("xcb")) {
        bool ok = false;
        const WId parent = parentWindow.mid(4).toULongLong(&ok, 16);
        if (ok && parent) {
            dialog.winId();
            if (QWindow* foreign = QWindow::fromWinId(parent)) {
                foreign->QObject::setParent(raw); // goes with the request
                dialog.windowHandle()->setTransientParent(foreign);
            }
        }
    }
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    jobs_.emplace(raw, std::move(job));
    emit dialogShown(&dialog);
    return raw;
}

uint PrintPortal::PreparePrint(const QDBusObjectPath& handle, const QString& app_id, const QString& parent_window,
                               const QString& title, const QVariantMap& settings, const QVariantMap& page_setup,
                               const QVariantMap& options, const QDBusMessage& message, QVariantMap& results)
{
    message.setDelayedReply(true);
    QString error;
    PortalJob* job = startJob(handle, shownTitle(app_id, title), settings, page_setup, message, QString(),
                              parent_window, &error);
    if (!job) {
        journal(tr("PreparePrint of %1 refused: %2").arg(app_id, error));
        bus_.send(message.createReply(QVariantList{QVariant::fromValue(kResponseOther), QVariantMap()}));
        return kResponseOther;
    }
    connect(job->dialog_.get(), &QDialog::finished, job, [this, job](int result) {
        if (result != QDialog::Accepted) {
            job->answer(kResponseCancelled);
            finished(job);
            return;
        }
        const Chosen chosen = chosenIn(*job->dialog_, job->session);
        QVariantMap settingsOut, setupOut;
        for (const auto& [key, value] : settingsFor(chosen))
            settingsOut.insert(QString::fromStdString(key), QString::fromStdString(value));
        for (const auto& [key, value] : pageSetupText(chosen)) {
            bool number = false;
            const double v = QString::fromStdString(value).toDouble(&number);
            if (number && key != "PPDName" && key != "DisplayName")
                setupOut.insert(QString::fromStdString(key), v);
            else
                setupOut.insert(QString::fromStdString(key), QString::fromStdString(value));
        }
        keepToken(job);
        job->answer(kResponseOk, {{QStringLiteral("settings"), settingsOut},
                                  {QStringLiteral("page-setup"), setupOut},
                                  {QStringLiteral("token"), QVariant::fromValue(job->token)}});
    });
    return kResponseOk;
}

void PrintPortal::keepToken(PortalJob* job)
{
    // The oldest tokens go when there are too many.
    while (int(tokens_.size()) >= kMaxTokens) {
        auto oldest = tokens_.begin();
        for (auto it = tokens_.begin(); it != tokens_.end(); ++it)
            if (it->second->age.elapsed() > oldest->second->age.elapsed())
                oldest = it;
        PortalJob* old = oldest->second;
        tokens_.erase(oldest);
        old->token = 0;
        finished(old);
    }
    uint token = 0;
    while (!token || tokens_.count(token))
        token = QRandomGenerator::system()->generate();
    job->token = token;
    job->age.start();
    tokens_[token] = job;
    // The Request of PreparePrint is over; Print brings its own.
    if (job->request_) {
        bus_.unregisterObject(job->handle_);
        job->request_ = nullptr;
    }
    QTimer::singleShot(kTokenLifetimeMs, job, [this, job] {
        if (job->token && !job->sender)
            finished(job);
    });
}

uint PrintPortal::Print(const QDBusObjectPath& handle, const QString& app_id, const QString& parent_window,
                        const QString& title, const QDBusUnixFileDescriptor& fd, const QVariantMap& options,
                        const QDBusMessage& message, QVariantMap& results)
{
    message.setDelayedReply(true);
    auto refuse = [this, &message, &app_id](const QString& why) {
        journal(tr("Print of %1 refused: %2").arg(app_id, why));
        bus_.send(message.createReply(QVariantList{QVariant::fromValue(kResponseOther), QVariantMap()}));
        emit printAnswered(kResponseOther, 0);
        return kResponseOther;
    };
    if (!fd.isValid())
        return refuse(tr("no document was given"));
    if (readers_.activeThreadCount() >= kMaxDocumentReads)
        return refuse(tr("%1 documents are being read already").arg(kMaxDocumentReads));
    PortalJob* prepared = nullptr;
    if (const auto it = tokens_.find(options.value(QStringLiteral("token")).toUInt()); it != tokens_.end()) {
        prepared = it->second;
        tokens_.erase(it);
        prepared->token = 0;
        if (prepared->age.elapsed() > kTokenLifetimeMs) {
            finished(prepared);
            prepared = nullptr;
        }
    }
    // The document, read off the user-interface thread.
    static int serial = 0;
    const QString path = scratch_.filePath(QStringLiteral("document-%1").arg(++serial));
    const int copy = ::dup(fd.fileDescriptor());
    if (copy < 0)
        return refuse(tr("the document cannot be read"));
    auto* reading = new QFutureWatcher<ReadResult>(this);
    QPointer<PortalJob> job = prepared;
    const QDBusMessage call = message;
    connect(reading, &QFutureWatcher<ReadResult>::finished, this,
            [this, reading, job, prepared, call, path, handle, app_id, title, parent_window] {
        reading->deleteLater();
        const ReadResult read = reading->result();
        auto fail = [&](const QString& why) {
            QFile::remove(path);
            journal(tr("Print of %1 refused: %2").arg(app_id, why));
            bus_.send(call.createReply(QVariantList{QVariant::fromValue(kResponseOther), QVariantMap()}));
            emit printAnswered(kResponseOther, 0);
            if (job)
                finished(job);
        };
        if (!read.error.isEmpty())
            return fail(read.error);
        if (prepared && !job)
            return fail(tr("the print dialog's choices are gone"));
        if (!job) {
            // No valid token: the dialog first, with the document; Print in it
            // sends the job as the host does, CUPS applying the layout.
            QString error;
            PortalJob* shown = startJob(handle, shownTitle(app_id, title), {}, {}, call, path, parent_window, &error);
            if (!shown)
                return fail(error);
            shown->document_ = path;
            connect(shown->dialog_.get(), &QDialog::finished, shown, [this, shown](int result) {
                shown->answer(result == QDialog::Accepted ? kResponseOk : kResponseCancelled);
                emit printAnswered(result == QDialog::Accepted ? kResponseOk : kResponseCancelled,
                                   shown->dialog_->jobId());
                finished(shown);
            });
            return;
        }
        job->call_ = call;
        job->answered_ = false;
        job->document_ = path;
        if (job->session.destinationType() == kPMDestinationFile) {
            const QString target = job->dialog_->outputFileEdit()->text();
            QFile::remove(target);
            if (!QFile::copy(path, target))
                return fail(tr("the document could not be saved to %1").arg(target));
            job->answer(kResponseOk);
            emit printAnswered(kResponseOk, 0);
            finished(job);
            return;
        }
        JobRequest request = job->dialog_->jobRequest(path);
        request.title = job->title;
        request.copies = 1;
        std::erase_if(request.options, [](const auto& option) {
            for (const char* name : kAppliedByApplication)
                if (option.first == name)
                    return true;
            return false;
        });
        job->sender = std::make_unique<JobSender>();
        PortalJob* raw = job;
        connect(job->sender.get(), &JobSender::finished, raw, [this, raw](int jobId, const QString& error, bool) {
            if (jobId > 0) {
                raw->answer(kResponseOk);
            } else {
                journal(tr("the job for %1 was not taken: %2").arg(raw->session.queue(), error));
                raw->answer(kResponseOther);
            }
            emit printAnswered(jobId > 0 ? kResponseOk : kResponseOther, jobId);
            finished(raw);
        });
        if (!job->sender->start(request))
            return fail(tr("a job is being sent already"));
    });
    reading->setFuture(QtConcurrent::run(&readers_, [copy, path] {
        ReadResult r = readDocument(copy, path);
        ::close(copy);
        return r;
    }));
    return kResponseOk;
}

} // namespace printpanels::portal

#include "PrintPortal.moc"

#include "JobSubmitter.h"

#include "PpdApi.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace printpanels::host {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("JobSubmitter", text); }
QString cupsError() { return QString::fromUtf8(cupsLastErrorString()); }

} // namespace

int submitJob(const JobRequest& request, QString* error, const SendProgress& progress)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return 0;
    };
    if (request.queue.isEmpty())
        return fail(tr("No print queue was chosen."));
    if (request.file.isEmpty())
        return fail(tr("There is no document to print."));
    if (request.copies < 1 || request.copies > 9999)
        return fail(tr("Copies must be between 1 and 9999."));
    QFile document(request.file);
    if (!document.open(QIODevice::ReadOnly))
        return fail(tr("%1 cannot be read: %2").arg(request.file, document.errorString()));

    http_t* http = request.server.connect();
    if (!http)
        return fail(tr("The print server cannot be reached: %1").arg(cupsError()));

    int num = 0;
    cups_option_t* options = nullptr;
    for (const auto& [key, value] : request.options)
        num = cupsAddOption(key.c_str(), value.c_str(), num, &options);
    num = cupsAddOption("copies", std::to_string(request.copies).c_str(), num, &options);
    const QByteArray queue = request.queue.toUtf8();
    const QByteArray title = request.title.toUtf8();
    const QByteArray docName = QFileInfo(request.file).fileName().toUtf8();
    const int job = cupsCreateJob(http, queue.constData(), title.constData(), num, options);
    cupsFreeOptions(num, options);
    if (job <= 0) {
        const QString text = tr("The job was not accepted by \"%1\": %2").arg(request.queue, cupsError());
        httpClose(http);
        return fail(text);
    }

    // The job exists from here on: whatever stops the document withdraws it.
    auto withdraw = [&](const QString& text) {
        httpClose(http);
        if (http_t* again = request.server.connect()) {
            cupsCancelJob2(again, queue.constData(), job, 0);
            httpClose(again);
        }
        return fail(text);
    };
    if (cupsStartDocument(http, queue.constData(), job, docName.constData(), CUPS_FORMAT_AUTO, 1)
        != HTTP_STATUS_CONTINUE)
        return withdraw(tr("The document could not be sent to \"%1\": %2").arg(request.queue, cupsError()));
    const qint64 total = document.size();
    qint64 sent = 0;
    if (progress && !progress(0, total))
        return withdraw(tr("The job was cancelled."));
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = document.read(buffer.data(), buffer.size());
        if (got < 0)
            return withdraw(tr("%1 cannot be read: %2").arg(request.file, document.errorString()));
        if (got == 0)
            break;
        if (cupsWriteRequestData(http, buffer.constData(), static_cast<size_t>(got)) != HTTP_STATUS_CONTINUE)
            return withdraw(tr("The document could not be sent to \"%1\": %2").arg(request.queue, cupsError()));
        sent += got;
        if (progress && !progress(sent, total))
            return withdraw(tr("The job was cancelled."));
    }
    if (cupsFinishDocument(http, queue.constData()) > IPP_STATUS_OK_CONFLICTING)
        return withdraw(tr("The job was not accepted by \"%1\": %2").arg(request.queue, cupsError()));
    httpClose(http);
    return job;
}

JobSender::JobSender(QObject* parent) : QObject(parent) {}

JobSender::~JobSender()
{
    if (thread_) {
        cancelled_->store(true);
        thread_->wait();
        delete thread_;
    }
}

bool JobSender::start(const JobRequest& request)
{
    if (thread_)
        return false;
    cancelled_ = std::make_shared<std::atomic_bool>(false);
    thread_ = QThread::create([this, request, cancelled = cancelled_] {
        int lastPercent = -1;
        QString error;
        const int job = submitJob(request, &error, [&](qint64 sent, qint64 total) {
            const int percent = total > 0 ? int(sent * 100 / total) : 100;
            if (percent != lastPercent) {
                lastPercent = percent;
                // Queued: runs on the object's thread, which waits for this
                // thread before the object goes.
                QMetaObject::invokeMethod(this, [this, sent, total] { emit progress(sent, total); },
                                          Qt::QueuedConnection);
            }
            return !cancelled->load();
        });
        const bool wasCancelled = job <= 0 && cancelled->load();
        QMetaObject::invokeMethod(this, [this, job, error, wasCancelled] { done(job, error, wasCancelled); },
                                  Qt::QueuedConnection);
    });
    thread_->start();
    return true;
}

void JobSender::cancel()
{
    if (cancelled_)
        cancelled_->store(true);
}

void JobSender::done(int jobId, const QString& error, bool cancelled)
{
    if (thread_) {
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }
    emit finished(jobId, error, cancelled);
}

} // namespace printpanels::host

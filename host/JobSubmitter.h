// Sends a document to a CUPS queue with the options the dialog collected,
// off the user-interface thread.
#pragma once

#include "CupsServer.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QThread;

namespace printpanels::host {

struct JobRequest {
    CupsServer server; // the one the requesting thread uses
    QString queue;
    QString file;
    QString title;
    int copies = 1;
    // Job options: the PPD options the job must name and the layout options
    // (page-ranges, number-up, ...). libcups sends an option it does not know
    // as one value, as it is: a custom text with commas or quotes needs no
    // escaping.
    std::vector<std::pair<std::string, std::string>> options;
};

// Called while the document goes out; answering false cancels the job.
using SendProgress = std::function<bool(qint64 sent, qint64 total)>;

// Sends the job on a connection of its own (cupsCreateJob, then the document
// in pieces); returns the job ID, or 0 with `error` set. A job cancelled
// through `progress` is withdrawn from the queue; `error` then says so. Safe
// to call on any thread.
int submitJob(const JobRequest& request, QString* error, const SendProgress& progress = {});

// Runs submitJob on a thread of its own and reports on the object's thread.
class JobSender : public QObject {
    Q_OBJECT
public:
    explicit JobSender(QObject* parent = nullptr);
    ~JobSender() override; // cancels a job still being sent and waits for the thread

    // False when a job is being sent already.
    bool start(const JobRequest& request);
    // Withdraws the job being sent; finished() follows.
    void cancel();
    bool busy() const { return thread_ != nullptr; }

signals:
    void progress(qint64 sent, qint64 total);
    // jobId > 0: sent. Otherwise `error` says why not; `cancelled` when the
    // user withdrew it.
    void finished(int jobId, const QString& error, bool cancelled);

private:
    void done(int jobId, const QString& error, bool cancelled);

    QThread* thread_ = nullptr;
    std::shared_ptr<std::atomic_bool> cancelled_;
};

} // namespace printpanels::host

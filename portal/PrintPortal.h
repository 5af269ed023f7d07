// The print portal's backend: org.freedesktop.impl.portal.Print on the
// session bus. PreparePrint shows our print dialog for an application and
// answers with its settings and a token; Print sends the document the
// application then rendered to CUPS with the dialog's choices, or shows the
// dialog first when it comes without a valid token. Each dialog has its own
// session and its own copy of the plug-ins.
#pragma once

#include <HostSession.h>
#include <JobSubmitter.h>
#include <PluginSet.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QObject>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QVariantMap>
#include <map>
#include <memory>

class QDBusServiceWatcher;

namespace printpanels::host {
class PrintDialog;
}

namespace printpanels::portal {

inline constexpr char kBusName[] = "org.freedesktop.impl.portal.desktop.printpanels";
inline constexpr char kObjectPath[] = "/org/freedesktop/portal/desktop";

// How long a token from PreparePrint stays good, how many are kept (the
// oldest goes first), and how many dialogs may be open at once (more are
// refused).
inline constexpr int kTokenLifetimeMs = 5 * 60 * 1000;
inline constexpr int kMaxTokens = 16;
inline constexpr int kMaxOpenDialogs = 8;
// Documents read at once (each on a thread of its own); a Print beyond that
// is refused.
inline constexpr int kMaxDocumentReads = 4;
// The backend ends once it has held no dialog, token or document this long
// (D-Bus activation starts it again): every plug-in copy it loaded goes with it.
inline constexpr int kIdleExitMs = 2 * 60 * 1000;

// Portal responses.
inline constexpr uint kResponseOk = 0;
inline constexpr uint kResponseCancelled = 1;
inline constexpr uint kResponseOther = 2;

class PortalJob;

class PrintPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Print")
public:
    explicit PrintPortal(QDBusConnection bus, QObject* parent = nullptr);
    ~PrintPortal() override;

    // Serves the interface and takes the bus name; false with `error` set
    // when either is not possible.
    bool publish(QString* error);

    int openDialogs() const;
    int tokens() const { return int(tokens_.size()); }
    // How long the backend has held no job at all (0 while it holds one).
    qint64 idleMs() const { return jobs_.empty() ? idleSince_.elapsed() : 0; }

public slots:
    uint PreparePrint(const QDBusObjectPath& handle, const QString& app_id, const QString& parent_window,
                      const QString& title, const QVariantMap& settings, const QVariantMap& page_setup,
                      const QVariantMap& options, const QDBusMessage& message, QVariantMap& results);
    uint Print(const QDBusObjectPath& handle, const QString& app_id, const QString& parent_window,
               const QString& title, const QDBusUnixFileDescriptor& fd, const QVariantMap& options,
               const QDBusMessage& message, QVariantMap& results);

protected:
    // Makes the windows a plug-in opens from a dialog modal to that dialog
    // only: another application's dialog stays usable meanwhile.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A dialog is on the screen (for tests and the benchmark).
    void dialogShown(printpanels::host::PrintDialog* dialog);
    // A Print call was answered.
    void printAnswered(uint response, int jobId);

private:
    friend class PortalJob;
    PortalJob* startJob(const QDBusObjectPath& handle, const QString& title, const QVariantMap& settings,
                        const QVariantMap& pageSetup, const QDBusMessage& message, const QString& document,
                        const QString& parentWindow, QString* error);
    void keepToken(PortalJob* job);
    void callerLeft(const QString& name);
    void finished(PortalJob* job);

    QDBusConnection bus_;
    QDBusServiceWatcher* callers_ = nullptr;
    std::map<PortalJob*, std::unique_ptr<PortalJob>> jobs_; // every job alive
    std::map<uint, PortalJob*> tokens_;
    QTemporaryDir scratch_; // documents and plug-in copies, mode 0700
    QThreadPool readers_;
    QElapsedTimer idleSince_;
};

} // namespace printpanels::portal

// How fast the print portal answers: from PreparePrint to the dialog on the
// screen with printpanels-portal started by D-Bus activation and already
// running, and from Print to the job in CUPS for a 100-page PDF, against
// CUPS taking the same file straight from a client.
//
// Runs in a private network namespace (root) with Xvfb, a private session
// bus that activates the built printpanels-portal, and a private cupsd, like
// the end-to-end test. Argument: rounds (default 5).
#include "Peers.h"

#include <JobSubmitter.h>
#include <PrintDialog.h>
#include <PrintPortal.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <unistd.h>
#include <vector>

using namespace lwtest;
using namespace printpanels;

namespace {

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool waitUntil(const std::function<bool()>& done, int ms = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

QDBusMessage prepare(const QString& handle)
{
    auto m = QDBusMessage::createMethodCall(QLatin1String(portal::kBusName), QLatin1String(portal::kObjectPath),
                                            QStringLiteral("org.freedesktop.impl.portal.Print"), QStringLiteral("PreparePrint"));
    m << QVariant::fromValue(QDBusObjectPath(handle)) << QStringLiteral("org.example.Bench") << QString()
      << QStringLiteral("Bench") << QVariantMap{{QStringLiteral("printer"), QStringLiteral("corvane")}} << QVariantMap()
      << QVariantMap();
    return m;
}

// The times the activated backend says its dialogs went up (ms since the epoch).
std::vector<long long> shownTimes(const std::string& log)
{
    std::vector<long long> out;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);)
        if (auto at = line.find("dialog shown at "); at != std::string::npos)
            out.push_back(std::stoll(line.substr(at + 16)));
    return out;
}

// Ends the activated backend (by the process ID the bus knows it by) and
// waits until its name is free.
void stopBackend(QDBusConnection& bus)
{
    const uint pid = bus.interface()->servicePid(QLatin1String(portal::kBusName));
    if (pid > 0)
        kill(pid_t(pid), SIGTERM);
    waitUntil([&] { return !bus.interface()->isServiceRegistered(QLatin1String(portal::kBusName)); }, 10000);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!enterPrivateNetwork()) {
        std::fprintf(stderr, "portal_timing: %s\n", privateNetworkError().c_str());
        return 1;
    }
    TempDir dir;
    ChildProcess xvfb, bus;
    int n = 90 + getpid() % 800;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)))
        ++n;
    const std::string display = ":" + std::to_string(n);
    if (!xvfb.start({"Xvfb", display, "-nolisten", "tcp"}, {}, "", dir.file("xvfb.err"))
        || !waitForPath("/tmp/.X11-unix/X" + std::to_string(n)))
        return std::fprintf(stderr, "Xvfb did not start\n"), 1;
    PrivateCupsd cupsd;
    if (!cupsd.ok() || !cupsd.addQueue("corvane", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD))
        return std::fprintf(stderr, "cupsd: %s\n", cupsd.errorLog().c_str()), 1;
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("PRINTPANELS_PLUGIN_PATH", PRINTPANELS_TEST_PLUGIN_DIR, 1);
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    setenv("PRINTPANELS_PORTAL_TRACE", "1", 1);
    // The bus activates the built backend; its standard error is our log.
    std::filesystem::create_directories(dir.file("services"));
    dir.write("run-portal", "#!/bin/sh\nexec " PRINTPANELS_PORTAL_BIN " 2>>" + dir.file("portal.log") + "\n", 0755);
    dir.write("services/org.freedesktop.impl.portal.desktop.printpanels.service",
              "[D-BUS Service]\nName=org.freedesktop.impl.portal.desktop.printpanels\nExec=" + dir.file("run-portal") + "\n");
    const std::string address = "unix:path=" + dir.file("bus");
    dir.write("bus.conf", "<busconfig><type>session</type><listen>" + address + "</listen><auth>EXTERNAL</auth>"
                          "<servicedir>" + dir.file("services") + "</servicedir>"
                          "<policy context=\"default\"><allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
    if (!bus.start({"dbus-daemon", "--config-file=" + dir.file("bus.conf"), "--nofork", "--nopidfile"}, {}, "",
                   dir.file("bus.err"))
        || !waitForPath(dir.file("bus")))
        return std::fprintf(stderr, "dbus-daemon did not start\n"), 1;
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    static int qargc = 1;
    static char name[] = "portal_timing";
    static char* qargv[] = {name, nullptr};
    QApplication app(qargc, qargv);
    QDBusConnection client = QDBusConnection::sessionBus();

    // PreparePrint to the dialog up: the first call activates the backend.
    std::vector<double> activated, running;
    for (int round = 0; round < rounds; ++round) {
        for (int call = 0; call < 2; ++call) {
            const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/b%1_%2").arg(round).arg(call);
            const size_t before = shownTimes(dir.file("portal.log")).size();
            const long long start = QDateTime::currentMSecsSinceEpoch();
            QDBusPendingCall pending = client.asyncCall(prepare(handle), 60000);
            if (!waitUntil([&] { return shownTimes(dir.file("portal.log")).size() > before; }))
            {
                std::ifstream log(dir.file("portal.log")), err(dir.file("bus.err"));
                std::fprintf(stderr, "no dialog came up: %s %s\n", std::string(std::istreambuf_iterator<char>(log), {}).c_str(),
                             std::string(std::istreambuf_iterator<char>(err), {}).c_str());
                return 1;
            }
            (call == 0 ? activated : running).push_back(double(shownTimes(dir.file("portal.log")).back() - start));
            client.asyncCall(QDBusMessage::createMethodCall(QLatin1String(portal::kBusName), handle,
                                                            QStringLiteral("org.freedesktop.impl.portal.Request"),
                                                            QStringLiteral("Close")));
            waitUntil([&] { return pending.isFinished(); });
        }
        // The backend goes, so that the next round activates it anew.
        stopBackend(client);
    }
    std::printf("PreparePrint to the dialog shown, activated:       median %.0f ms (%d rounds)\n", median(activated), rounds);
    std::printf("PreparePrint to the dialog shown, already running: median %.0f ms\n", median(running));

    // Print of a 100-page PDF to the job in CUPS, through a backend in this
    // process, against submitting the same file straight.
    const QString pdf = QString::fromStdString(dir.file("100.pdf"));
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        for (int page = 0; page < 100; ++page) {
            if (page)
                writer.newPage();
            painter.drawText(QPointF(200, 200), QStringLiteral("Page %1").arg(page + 1));
        }
    }
    QDBusConnection own = QDBusConnection::connectToBus(QString::fromStdString(address), QStringLiteral("own"));
    portal::PrintPortal backend(own);
    QString error;
    if (!backend.publish(&error))
        return std::fprintf(stderr, "%s\n", error.toUtf8().constData()), 1;
    std::vector<double> viaPortal, straight;
    host::PrintDialog* shown = nullptr;
    int answered = 0, lastJob = 0;
    QObject::connect(&backend, &portal::PrintPortal::dialogShown, [&](host::PrintDialog* d) { shown = d; });
    QObject::connect(&backend, &portal::PrintPortal::printAnswered, [&](uint, int job) { ++answered; lastJob = job; });
    for (int round = 0; round < rounds; ++round) {
        shown = nullptr;
        const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/p%1").arg(round);
        QDBusPendingCall pending = client.asyncCall(prepare(handle), 60000);
        if (!waitUntil([&] { return shown != nullptr; }))
            return std::fprintf(stderr, "no in-process dialog\n"), 1;
        shown->printButton()->click();
        waitUntil([&] { return pending.isFinished(); });
        QDBusPendingReply<uint, QVariantMap> reply = pending;
        const uint token = reply.argumentAt<1>().value(QStringLiteral("token")).toUInt();
        QFile file(pdf);
        file.open(QIODevice::ReadOnly);
        auto m = QDBusMessage::createMethodCall(QLatin1String(portal::kBusName), QLatin1String(portal::kObjectPath),
                                                QStringLiteral("org.freedesktop.impl.portal.Print"), QStringLiteral("Print"));
        m << QVariant::fromValue(QDBusObjectPath(handle)) << QStringLiteral("org.example.Bench") << QString()
          << QStringLiteral("Bench") << QVariant::fromValue(QDBusUnixFileDescriptor(file.handle()))
          << QVariantMap{{QStringLiteral("token"), token}};
        const int before = answered;
        QElapsedTimer clock;
        clock.start();
        QDBusPendingCall print = client.asyncCall(m, 60000);
        waitUntil([&] { return print.isFinished() && answered > before; });
        viaPortal.push_back(clock.nsecsElapsed() / 1e6);
        if (lastJob <= 0)
            return std::fprintf(stderr, "the job was not taken\n"), 1;

        host::JobRequest direct;
        direct.queue = QStringLiteral("corvane");
        direct.file = pdf;
        direct.title = QStringLiteral("Bench");
        clock.restart();
        if (host::submitJob(direct, &error) <= 0)
            return std::fprintf(stderr, "%s\n", error.toUtf8().constData()), 1;
        straight.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("Print of a 100-page PDF (%lld bytes) to the job in CUPS: median %.0f ms; CUPS alone: %.0f ms; "
                "beyond CUPS: %.0f ms\n",
                static_cast<long long>(QFile(pdf).size()), median(viaPortal), median(straight),
                median(viaPortal) - median(straight));
    return 0;
}

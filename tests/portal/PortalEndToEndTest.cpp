// The print portal end to end: a private session bus, Debian's real
// xdg-desktop-portal finding our backend through the test's portal
// directory, Xvfb, the private cupsd, and real GTK 3 and GTK 4 applications
// printing; the backend runs in this process and its dialogs are driven with
// key and mouse events.
#include "../host/HostTestSupport.h"
#include "../host/QueueDialog.h"
#include "ModalDialog.h"

#include <PrintPortal.h>

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <PreviewPane.h>
#include <QWindow>
#include <QSpinBox>

#include <cups/cups.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

using namespace printpanels;
using portal::PrintPortal;

namespace {

// The session: Xvfb, a private bus, the backend on it, xdg-desktop-portal
// and cupsd with the printer's queue. Made once for all tests.
struct Desktop {
    lwtest::TempDir dir;
    lwtest::ChildProcess xvfb, bus, xdp;
    std::unique_ptr<lwtest::PrivateCupsd> cupsd;
    std::unique_ptr<QApplication> app;
    std::unique_ptr<PrintPortal> portal;
    std::string display, busAddress, failure;
    host::PrintDialog* shown = nullptr;
    int answers = 0;
    uint lastResponse = 99;
    int lastJob = 0;

    Desktop()
    {
        int n = 90 + getpid() % 800;
        while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)))
            ++n;
        display = ":" + std::to_string(n);
        if (!xvfb.start({"Xvfb", display, "-nolisten", "tcp", "-screen", "0", "1600x1200x24"}, {}, "", dir.file("xvfb.err"))
            || !lwtest::waitForPath("/tmp/.X11-unix/X" + std::to_string(n))) {
            failure = "Xvfb did not start";
            return;
        }
        busAddress = "unix:path=" + dir.file("bus");
        dir.write("bus.conf", "<busconfig><type>session</type><listen>" + busAddress + "</listen>"
                              "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                              "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        if (!bus.start({"dbus-daemon", "--config-file=" + dir.file("bus.conf"), "--nofork", "--nopidfile"}, {}, "",
                       dir.file("bus.err"))
            || !lwtest::waitForPath(dir.file("bus"))) {
            failure = "dbus-daemon did not start";
            return;
        }
        setenv("DISPLAY", display.c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("PRINTPANELS_PLUGIN_PATH", PRINTPANELS_TEST_PLUGIN_DIR, 1);
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        cupsd = std::make_unique<lwtest::PrivateCupsd>();
        if (!cupsd->ok() || !cupsd->addQueue("corvane", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD)) {
            failure = "cupsd: " + cupsd->errorLog();
            return;
        }
        static int argc = 1;
        static char name[] = "portal_test";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        portal = std::make_unique<PrintPortal>(QDBusConnection::sessionBus());
        QString error;
        if (!portal->publish(&error)) {
            failure = error.toStdString();
            return;
        }
        QObject::connect(portal.get(), &PrintPortal::dialogShown, [this](host::PrintDialog* d) { shown = d; });
        QObject::connect(portal.get(), &PrintPortal::printAnswered, [this](uint response, int job) {
            ++answers;
            lastResponse = response;
            lastJob = job;
        });
        // Chosen the way an administrator turns it on under 1.16: a portal
        // file that sorts before the desktop's own and names the desktop.
        // The desktop's backend (gtk.portal) is named but never runs: a call
        // reaching it would fail.
        std::filesystem::create_directories(dir.file("portals"));
        dir.write("portals/00-printpanels.portal",
                  "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.printpanels\n"
                  "Interfaces=org.freedesktop.impl.portal.Print;\nUseIn=TestDesktop\n");
        dir.write("portals/gtk.portal", "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.gtk\n"
                                        "Interfaces=org.freedesktop.impl.portal.Print;org.freedesktop.impl.portal.FileChooser;\n"
                                        "UseIn=TestDesktop\n");
        if (!xdp.start({"/usr/libexec/xdg-desktop-portal", "--verbose"},
                       {{"XDG_DESKTOP_PORTAL_DIR", dir.file("portals")}, {"XDG_CURRENT_DESKTOP", "TestDesktop"}},
                       dir.file("xdp.out"), dir.file("xdp.err"))
            || !hosttest::waitUntil([] {
                   return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                       QStringLiteral("org.freedesktop.portal.Desktop"));
               })) {
            failure = "xdg-desktop-portal did not start: " + log("xdp.err");
            return;
        }
    }
    ~Desktop()
    {
        xdp.stop();
        portal.reset();
        app.reset();
        cupsd.reset();
        bus.stop();
        xvfb.stop();
    }
    std::string log(const char* name) const
    {
        std::ifstream in(dir.file(name));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Starts a GTK application printing; its result line goes to `out`.
    void startClient(lwtest::ChildProcess& client, const char* gtk, const char* pages, const char* copies,
                     const std::string& out, bool window = false)
    {
        shown = nullptr;
        std::vector<std::string> argv{"/usr/bin/python3", PORTAL_TEST_CLIENT, gtk, "corvane", pages, copies, "Two pages"};
        if (window)
            argv.push_back("window");
        client.start(argv,
                     {{"GTK_USE_PORTAL", "1"}, {"GDK_DEBUG", "portals"}, {"GTK_A11Y", "none"}}, out, out + ".err");
    }
};

Desktop* g_desktop = nullptr;

Desktop& desktop()
{
    if (!g_desktop)
        g_desktop = new Desktop;
    return *g_desktop;
}

// The peers go when the last test has run.
struct DesktopTeardown : ::testing::Environment {
    void TearDown() override
    {
        delete g_desktop;
        g_desktop = nullptr;
    }
};
const auto* g_teardown = ::testing::AddGlobalTestEnvironment(new DesktopTeardown);

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Pages of a PDF as cairo writes them: one "/Type /Page" object each.
int pdfPages(const std::string& pdf)
{
    static const std::regex page("/Type\\s*/Page[^s]");
    return int(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

#define NEED_DESKTOP()                                                   \
    if (!lwtest::inPrivateNetwork())                                     \
        GTEST_SKIP() << "needs the private network namespace";           \
    Desktop& d = desktop();                                              \
    ASSERT_TRUE(d.failure.empty()) << d.failure

TEST(PortalEndToEnd, GtkThreePrintsThroughOurPanelsAndCancelPrintsNothing)
{
    NEED_DESKTOP();
    lwtest::ChildProcess client;
    const std::string out = d.dir.file("gtk3.out");
    const int printed = d.answers;
    d.startClient(client, "3", "2", "2", out);
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown->isVisible(); })) << slurp(out + ".err") << d.log("xdp.err");
    host::PrintDialog* dialog = d.shown;
    EXPECT_TRUE(dialog->windowTitle().contains(QStringLiteral("corvane"))) << dialog->windowTitle().toStdString();
    EXPECT_EQ(dialog->copiesBox()->value(), 2); // where the application starts
    auto* colour = qobject_cast<QComboBox*>(
        hosttest::controlLabelled(dialog->panelPage(QStringLiteral("Image Options")), QStringLiteral("Color Mode:")));
    ASSERT_NE(colour, nullptr);
    ASSERT_TRUE(hosttest::chooseByKeyboard(colour, QStringLiteral("Grayscale")));
    QTest::mouseClick(dialog->printButton(), Qt::LeftButton);
    ASSERT_TRUE(hosttest::waitUntil([&] { return !client.running(); })) << d.log("xdp.err");
    EXPECT_EQ(slurp(out), "apply\n") << slurp(out + ".err");
    // GTK may be gone before the backend has answered its Print.
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.answers > printed; }));
    ASSERT_EQ(d.lastResponse, portal::kResponseOk);
    ASSERT_GT(d.lastJob, 0);

    const auto job = hosttest::jobAttributes(d.lastJob);
    auto attr = [&](const char* name) { auto it = job.find(name); return it == job.end() ? std::string("(absent)") : it->second; };
    EXPECT_EQ(attr("ColorModel"), "Gray");
    EXPECT_EQ(attr("job-name"), "Print");
    // GTK rendered both copies into the document: CUPS makes no more.
    EXPECT_EQ(attr("copies"), "1");
    char spooled[32];
    std::snprintf(spooled, sizeof spooled, "/spool/d%05d-001", d.lastJob);
    EXPECT_EQ(pdfPages(slurp(d.cupsd->root() + spooled)), 4);

    // Cancel: the application hears CANCEL and CUPS gets nothing.
    const int answersBefore = d.answers;
    const std::string cancelled = d.dir.file("gtk3-cancel.out");
    d.startClient(client, "3", "2", "1", cancelled, true);
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown->isVisible(); }));
    // Above the application's window.
    ASSERT_TRUE(d.shown->windowHandle());
    EXPECT_NE(d.shown->windowHandle()->transientParent(), nullptr);
    QTest::keyClick(d.shown, Qt::Key_Escape);
    ASSERT_TRUE(hosttest::waitUntil([&] { return !client.running(); }));
    EXPECT_EQ(slurp(cancelled), "cancel\n") << slurp(cancelled + ".err");
    EXPECT_EQ(d.answers, answersBefore);
    EXPECT_EQ(d.portal->tokens(), 0);
}

TEST(PortalEndToEnd, GtkFourPrintsToo)
{
    NEED_DESKTOP();
    lwtest::ChildProcess client;
    const std::string out = d.dir.file("gtk4.out");
    const int printed = d.answers;
    d.startClient(client, "4", "1", "1", out);
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown->isVisible(); })) << slurp(out + ".err");
    QTest::keyClick(d.shown, Qt::Key_Return);
    ASSERT_TRUE(hosttest::waitUntil([&] { return !client.running(); }));
    EXPECT_EQ(slurp(out), "apply\n") << slurp(out + ".err");
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.answers > printed; }));
    EXPECT_EQ(d.lastResponse, portal::kResponseOk);
    EXPECT_FALSE(hosttest::jobAttributes(d.lastJob).empty());
}

// Presses "Color Balance..." in the dialog and runs `inside` in its window.
void withColorBalance(host::PrintDialog* dialog, const std::function<void(QDialog*)>& inside)
{
    QPushButton* open = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text().remove(QLatin1Char('&')) == QStringLiteral("Color Balance..."))
            open = button;
    ASSERT_NE(open, nullptr);
    dialog->pages()->setCurrentWidget(dialog->panelPage(QStringLiteral("Image Options")));
    ASSERT_TRUE(lwtest::inModalDialog([open] { QTest::mouseClick(open, Qt::LeftButton); }, inside, dialog));
}

TEST(PortalEndToEnd, TheInstalledPortalFileIsChosenForNoDesktop)
{
    NEED_DESKTOP();
    lwtest::TempDir portals;
    std::filesystem::copy_file(PORTAL_FILE, portals.file("printpanels.portal"));
    portals.write("gtk.portal", "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.gtk\n"
                                "Interfaces=org.freedesktop.impl.portal.Print;\nUseIn=gnome\n");
    // The desktop's backend, whether its UseIn names the desktop or not; ours
    // never. (This instance stops at once: the bus name is taken.)
    for (const char* desktop : {"GNOME", "XFCE"}) {
        const auto run = lwtest::runProcess({"/usr/libexec/xdg-desktop-portal", "--verbose"},
                                            {{"XDG_DESKTOP_PORTAL_DIR", portals.path()}, {"XDG_CURRENT_DESKTOP", desktop}},
                                            20000);
        EXPECT_TRUE(std::regex_search(run.err, std::regex("(Using|Falling back to) gtk.portal for org.freedesktop.impl.portal.Print")))
            << desktop << ": " << run.err;
        EXPECT_EQ(run.err.find("printpanels.portal for"), std::string::npos) << run.err;
    }
}

// Straight to the backend, as xdg-desktop-portal calls it.
QDBusMessage call(const char* method, const QString& handle)
{
    auto m = QDBusMessage::createMethodCall(QLatin1String(portal::kBusName), QLatin1String(portal::kObjectPath),
                                            QStringLiteral("org.freedesktop.impl.portal.Print"), QLatin1String(method));
    m << QVariant::fromValue(QDBusObjectPath(handle)) << QStringLiteral("org.example.App") << QString()
      << QStringLiteral("Letter");
    return m;
}

uint responseOf(const QDBusPendingCall& pending)
{
    QDBusPendingCall p = pending;
    EXPECT_TRUE(hosttest::waitUntil([&] { return p.isFinished(); }));
    QDBusPendingReply<uint, QVariantMap> reply = p;
    return reply.isValid() ? reply.argumentAt<0>() : 99;
}

TEST(PortalEndToEnd, CloseALeavingCallerABadDocumentAndARefusingQueuePrintNothing)
{
    NEED_DESKTOP();
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(d.busAddress), QStringLiteral("app"));
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t1");
    d.shown = nullptr;
    QDBusPendingCall first = bus.asyncCall(call("PreparePrint", handle) << QVariantMap() << QVariantMap() << QVariantMap());
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown->isVisible(); }));
    EXPECT_TRUE(d.shown->windowTitle().startsWith(QStringLiteral("org.example.App: Letter")));
    host::PrintDialog* a = d.shown;

    // A second application's dialog: its own plug-in state. Choosing in the
    // first dialog sticks there and leaves the second alone.
    d.shown = nullptr;
    QDBusConnection::connectToBus(QString::fromStdString(d.busAddress), QStringLiteral("other")).asyncCall(call("PreparePrint", QStringLiteral("/org/freedesktop/portal/desktop/request/1_2/t2"))
                    << QVariantMap() << QVariantMap() << QVariantMap());
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown != a; }));
    host::PrintDialog* b = d.shown;
    withColorBalance(a, [](QDialog* window) {
        auto* enable = window->findChild<QCheckBox*>(QStringLiteral("EnableButton"));
        auto* shadows = window->findChild<QLineEdit*>(QStringLiteral("TextThree"));
        ASSERT_TRUE(enable && shadows);
        EXPECT_EQ(window->windowModality(), Qt::WindowModal); // the other dialog stays usable
        QTest::keyClick(enable, Qt::Key_Space);
        QTest::keyClick(shadows, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(shadows, QStringLiteral("-2"));
        QTest::keyClick(shadows, Qt::Key_Return); // OK
    });
    withColorBalance(b, [](QDialog* window) {
        auto* enable = window->findChild<QCheckBox*>(QStringLiteral("EnableButton"));
        auto* shadows = window->findChild<QLineEdit*>(QStringLiteral("TextThree"));
        ASSERT_TRUE(enable && shadows);
        EXPECT_FALSE(enable->isChecked());
        EXPECT_EQ(shadows->text(), QStringLiteral("0"));
    });
    // The second application leaves the bus: its dialog goes.
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.portal->openDialogs() == 1; }));

    // Request.Close closes the first one.
    bus.asyncCall(QDBusMessage::createMethodCall(QLatin1String(portal::kBusName), handle,
                                                 QStringLiteral("org.freedesktop.impl.portal.Request"),
                                                 QStringLiteral("Close")));
    EXPECT_EQ(responseOf(first), portal::kResponseOther);
    EXPECT_EQ(d.portal->openDialogs(), 0);
    EXPECT_EQ(d.portal->tokens(), 0);

    // A document that is neither PDF nor PostScript: refused, no dialog.
    const std::string text = d.dir.write("note.txt", std::string(4096, 'x'));
    QFile file(QString::fromStdString(text));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    d.shown = nullptr;
    QDBusPendingCall print = bus.asyncCall(call("Print", QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t3"))
                                           << QVariant::fromValue(QDBusUnixFileDescriptor(file.handle()))
                                           << QVariantMap{{QStringLiteral("token"), 12345u}});
    EXPECT_EQ(responseOf(print), portal::kResponseOther);
    EXPECT_EQ(d.shown, nullptr);

    // A queue that refuses jobs: the prepared Print answers 2.
    d.shown = nullptr;
    QDBusPendingCall again = bus.asyncCall(call("PreparePrint", QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t4"))
                                           << QVariantMap{{QStringLiteral("printer"), QStringLiteral("corvane")}}
                                           << QVariantMap() << QVariantMap());
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown->isVisible(); }));
    QTest::mouseClick(d.shown->printButton(), Qt::LeftButton);
    ASSERT_EQ(responseOf(again), portal::kResponseOk);
    QDBusPendingReply<uint, QVariantMap> prepared = again;
    const QVariant token = prepared.argumentAt<1>().value(QStringLiteral("token"));
    const std::string pdf = d.dir.write("two.pdf", "%PDF-1.4\n%%EOF\n");
    ASSERT_EQ(lwtest::runProcess({"cupsreject", "corvane"}, d.cupsd->env()).exitStatus, 0);
    QFile document(QString::fromStdString(pdf));
    ASSERT_TRUE(document.open(QIODevice::ReadOnly));
    auto printCall = [&](const char* name, const QVariant& withToken) {
        return bus.asyncCall(call("Print", QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/") + QLatin1String(name))
                             << QVariant::fromValue(QDBusUnixFileDescriptor(document.handle()))
                             << QVariantMap{{QStringLiteral("token"), withToken}});
    };
    EXPECT_EQ(responseOf(printCall("t5", token)), portal::kResponseOther);
    ASSERT_EQ(lwtest::runProcess({"cupsaccept", "corvane"}, d.cupsd->env()).exitStatus, 0);

    // The token was used: the next Print shows the dialog first, with the
    // document, and then prints.
    d.shown = nullptr;
    document.seek(0);
    QDBusPendingCall unprepared = printCall("t6", token);
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown->isVisible(); }));
    QTest::mouseClick(d.shown->printButton(), Qt::LeftButton);
    EXPECT_EQ(responseOf(unprepared), portal::kResponseOk);
    EXPECT_GT(d.lastJob, 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("app"));
}

TEST(PortalEndToEnd, SecurePrintValuesGoWithTheJobOnly)
{
    NEED_DESKTOP();
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(d.busAddress), QStringLiteral("secure"));
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/1_3/s1");
    d.shown = nullptr;
    // GTK's keys: pages 2 and 3 (0-based ranges), three copies, US Letter.
    QDBusPendingCall prepared = bus.asyncCall(call("PreparePrint", handle)
                                              << QVariantMap{{QStringLiteral("printer"), QStringLiteral("corvane")},
                                                             {QStringLiteral("n-copies"), QStringLiteral("3")},
                                                             {QStringLiteral("print-pages"), QStringLiteral("ranges")},
                                                             {QStringLiteral("page-ranges"), QStringLiteral("1-2")}}
                                              << QVariantMap{{QStringLiteral("PPDName"), QStringLiteral("Letter")}}
                                              << QVariantMap());
    ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown && d.shown->isVisible(); }));
    host::PrintDialog* dialog = d.shown;
    EXPECT_EQ(dialog->copiesBox()->value(), 3);
    EXPECT_EQ(dialog->pageRangesEdit()->text(), QStringLiteral("2-3"));
    EXPECT_EQ(d.shown->preview()->statusLabel()->text().contains(QStringLiteral("renders")), true);
    QWidget* page = dialog->panelPage(QStringLiteral("Job Type"));
    ASSERT_NE(page, nullptr);
    dialog->pages()->setCurrentWidget(page);
    auto* jobType = page->findChild<QComboBox*>(QStringLiteral("jobtypeButton"));
    ASSERT_NE(jobType, nullptr);
    const QString passcode = QStringLiteral("97531");
    ASSERT_TRUE(lwtest::inModalDialog(
        [&] { hosttest::chooseByKeyboard(jobType, QStringLiteral("Secure Print")); },
        [&](QDialog* window) {
            for (const auto& [field, text] : {std::pair{"TextUserIDBox", QStringLiteral("ann")},
                                              {"TextPasscodeBox", passcode}, {"TextJobNameBox", QStringLiteral("Pay")}}) {
                auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(field));
                ASSERT_NE(edit, nullptr) << field;
                edit->setFocus();
                QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(edit, text);
            }
            QTest::keyClick(window->focusWidget(), Qt::Key_Return);
        },
        dialog));
    QTest::mouseClick(dialog->printButton(), Qt::LeftButton);
    ASSERT_EQ(responseOf(prepared), portal::kResponseOk);
    QDBusPendingReply<uint, QVariantMap> reply = prepared;
    const QVariantMap results = reply.argumentAt<1>();
    // Nothing the application gets back holds the passcode.
    const QDBusArgument settings = results.value(QStringLiteral("settings")).value<QDBusArgument>();
    QVariantMap returned;
    settings >> returned;
    EXPECT_EQ(returned.value(QStringLiteral("printer")).toString(), QStringLiteral("corvane"));
    EXPECT_EQ(returned.value(QStringLiteral("n-copies")).toString(), QStringLiteral("3"));
    EXPECT_EQ(returned.value(QStringLiteral("page-ranges")).toString(), QStringLiteral("1-2"));
    QVariantMap setup;
    results.value(QStringLiteral("page-setup")).value<QDBusArgument>() >> setup;
    EXPECT_EQ(setup.value(QStringLiteral("PPDName")).toString(), QStringLiteral("Letter"));
    EXPECT_NEAR(setup.value(QStringLiteral("Width")).toDouble(), 215.9, 0.5);
    for (auto it = returned.constBegin(); it != returned.constEnd(); ++it)
        EXPECT_FALSE(it.value().toString().contains(passcode)) << it.key().toStdString();

    const std::string pdf = d.dir.write("one.pdf", "%PDF-1.4\n% one page\n%%EOF\n");
    QFile file(QString::fromStdString(pdf));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const int before = d.answers;
    QDBusPendingCall print = bus.asyncCall(call("Print", QStringLiteral("/org/freedesktop/portal/desktop/request/1_3/s2"))
                                           << QVariant::fromValue(QDBusUnixFileDescriptor(file.handle()))
                                           << QVariantMap{{QStringLiteral("token"), results.value(QStringLiteral("token"))}});
    ASSERT_EQ(responseOf(print), portal::kResponseOk);
    ASSERT_GT(d.answers, before);
    const auto job = hosttest::jobAttributes(d.lastJob);
    EXPECT_EQ(hosttest::attr(job, "JobType"), "Secure");
    EXPECT_EQ(hosttest::attr(job, "SecurePrintPasscode"), "Custom." + passcode.toStdString());
    EXPECT_EQ(hosttest::attr(job, "job-name"), "org.example.App: Letter");
    // Nor any file the backend keeps.
    EXPECT_EQ(hosttest::filesUnder(d.dir.file("config")).find(passcode.toStdString()), std::string::npos);
    QDBusConnection::disconnectFromBus(QStringLiteral("secure"));
}

TEST(PortalEndToEnd, OpenDialogsAndTokensAreBounded)
{
    NEED_DESKTOP();
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(d.busAddress), QStringLiteral("flood"));
    auto prepare = [&](int i) {
        return bus.asyncCall(call("PreparePrint", QStringLiteral("/org/freedesktop/portal/desktop/request/1_4/f%1").arg(i))
                             << QVariantMap{{QStringLiteral("printer"), QStringLiteral("corvane")}} << QVariantMap()
                             << QVariantMap());
    };
    std::vector<std::pair<QDBusPendingCall, host::PrintDialog*>> open;
    for (int i = 0; i < portal::kMaxOpenDialogs; ++i) {
        d.shown = nullptr;
        QDBusPendingCall pending = prepare(i);
        ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown != nullptr; }));
        open.emplace_back(pending, d.shown);
    }
    EXPECT_EQ(responseOf(prepare(100)), portal::kResponseOther); // one too many
    // Every dialog OK'd, and more: the oldest tokens go.
    for (int i = portal::kMaxOpenDialogs; i <= portal::kMaxTokens; ++i) {
        auto [pending, dialog] = open.front();
        open.erase(open.begin());
        QTest::mouseClick(dialog->printButton(), Qt::LeftButton);
        EXPECT_EQ(responseOf(pending), portal::kResponseOk);
        d.shown = nullptr;
        QDBusPendingCall next = prepare(i);
        ASSERT_TRUE(hosttest::waitUntil([&] { return d.shown != nullptr; }));
        open.emplace_back(next, d.shown);
    }
    for (auto& [pending, dialog] : open) {
        QTest::mouseClick(dialog->printButton(), Qt::LeftButton);
        EXPECT_EQ(responseOf(pending), portal::kResponseOk);
    }
    EXPECT_EQ(d.portal->tokens(), portal::kMaxTokens);
    EXPECT_EQ(d.portal->openDialogs(), 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("flood"));
}

} // namespace

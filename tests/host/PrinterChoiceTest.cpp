// The dialog as people know a print dialog, against the private cupsd: every
// queue to choose from with its state and supplies, a printer change that
// brings that printer's panels and settings, the page layout and the queue's
// own defaults in the job, Cancel that stores nothing, the Printer Features
// kept per queue (never a passcode), and a job CUPS refuses.
#include "JobSubmitter.h"
#include "PageSetupPage.h"
#include "PrinterStatusView.h"
#include "QueueDialog.h"
#include "TestPpd.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSpinBox>
#include <QTreeWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace printpanels::host;
using hosttest::attr;
using hosttest::QueueDialog;
using hosttest::choosePrinter;

extern "C" const char* __lsan_default_suppressions(); // LeakSuppressions.cpp

namespace {

std::string storedSettings()
{
    return hosttest::filesUnder(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString());
}

// Standard output and error of this process go to a file while it lives.
class CapturedOutput {
public:
    explicit CapturedOutput(std::string file) : file_(std::move(file))
    {
        fflush(nullptr);
        const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (int stream : {1, 2}) {
            saved_[stream - 1] = dup(stream);
            dup2(fd, stream);
        }
        ::close(fd);
    }
    ~CapturedOutput() { release(); }
    std::string release()
    {
        if (saved_[0] >= 0) {
            fflush(nullptr);
            for (int stream : {1, 2}) {
                dup2(saved_[stream - 1], stream);
                ::close(saved_[stream - 1]);
                saved_[stream - 1] = -1;
            }
        }
        std::ifstream in(file_);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    std::string file_;
    int saved_[2] = {-1, -1};
};

TEST(HostPrinterChoice, TheJobCarriesTheLayoutAndWhatTheDialogShowsOverTheQueuesDefaults)
{
    hosttest::app();
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    // The queue prints two-sided unless told otherwise.
    ASSERT_TRUE(cupsd.addQueue("layout-duplex", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD,
                               {"Duplex-default=DuplexNoTumble", "number-up-default=4", "ColorModel-default=Gray"}))
        << cupsd.errorLog();
    lwtest::TempDir dir;
    const QString document = QString::fromStdString(dir.write("pages.txt", "one\f two\f three\f four\n"));

    QueueDialog run(document, QStringLiteral("layout-duplex"));
    ASSERT_TRUE(run.dialog);
    auto* twoSided = qobject_cast<QComboBox*>(run.dialog->featureControl(QStringLiteral("Duplex")));
    ASSERT_NE(twoSided, nullptr);
    EXPECT_EQ(twoSided->currentData().toString(), QStringLiteral("DuplexNoTumble"));
    EXPECT_EQ(run.dialog->pageSetup()->numberUp(), 4);
    // The panels start from the queue's defaults too, and their "Default"
    // goes back to them.
    QComboBox* colour = run.popUp("Color Mode:");
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->currentText(), QStringLiteral("Grayscale"));
    // "Off" is the PPD's default, not the queue's: the job must say so.
    ASSERT_TRUE(hosttest::chooseByKeyboard(twoSided, QStringLiteral("Off")));
    ASSERT_TRUE(hosttest::chooseByKeyboard(run.dialog->pageSetup()->numberUpBox(), QStringLiteral("1")));
    ASSERT_TRUE(hosttest::chooseByKeyboard(run.dialog->pageSetup()->orientationBox(), QStringLiteral("Landscape")));
    QTest::keyClicks(run.dialog->pageRangesEdit(), QStringLiteral("4, 1-2"));
    QSpinBox* copies = run.dialog->copiesBox();
    copies->setFocus();
    QTest::keyClick(copies, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(copies, QStringLiteral("3"));
    ASSERT_TRUE(run.dialog->collateBox()->isEnabled());
    run.dialog->collateBox()->setFocus();
    QTest::keyClick(run.dialog->collateBox(), Qt::Key_Space); // collated by default: now not
    // Print returns at once; the bar follows the document out.
    int shownProgress = -1;
    QObject::connect(run.dialog->progressBar(), &QProgressBar::valueChanged,
                     [&](int value) { shownProgress = std::max(shownProgress, value); });
    QTest::mouseClick(run.dialog->printButton(), Qt::LeftButton);
    EXPECT_TRUE(run.dialog->isSending());
    EXPECT_TRUE(run.dialog->progressBar()->isVisible());
    ASSERT_TRUE(hosttest::waitUntil([&] { return !run.dialog->isSending(); }));
    const int jobId = run.dialog->jobId();
    ASSERT_GT(jobId, 0) << run.dialog->messageLabel()->text().toStdString() << cupsd.errorLog();
    EXPECT_EQ(shownProgress, 100);
    EXPECT_FALSE(run.dialog->isVisible());
    EXPECT_EQ(run.dialog->jobReference(), QStringLiteral("layout-duplex-%1").arg(jobId));

    const auto job = hosttest::jobAttributes(jobId);
    EXPECT_EQ(attr(job, "Duplex"), "None");
    EXPECT_EQ(attr(job, "number-up"), "1");
    EXPECT_EQ(attr(job, "orientation-requested"), "landscape");
    EXPECT_EQ(attr(job, "page-ranges"), "1-2,4-4");
    EXPECT_EQ(attr(job, "copies"), "3");
    EXPECT_EQ(attr(job, "collate"), "false");
    EXPECT_EQ(attr(job, "ColorModel"), "Gray"); // the queue's default, shown and sent
    EXPECT_EQ(attr(job, "ImageType"), "Off");

    // Withdrawn while it goes out: nothing is left in the queue.
    JobRequest request;
    request.queue = QStringLiteral("layout-duplex");
    request.file = document;
    JobSender sender;
    bool cancelled = false;
    int sent = -1;
    QObject::connect(&sender, &JobSender::finished, [&](int id, const QString&, bool wasCancelled) {
        sent = id;
        cancelled = wasCancelled;
    });
    ASSERT_TRUE(sender.start(request));
    sender.cancel();
    ASSERT_TRUE(hosttest::waitUntil([&] { return !sender.busy(); }));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(sent, 0);
    cups_job_t* active = nullptr;
    EXPECT_EQ(cupsGetJobs2(CUPS_HTTP_DEFAULT, &active, "layout-duplex", 0, CUPS_WHICHJOBS_ACTIVE), 0);
    cupsFreeJobs(0, active);
}

TEST(HostPrinterChoice, ChangingThePrinterBringsItsPanelsAndSettingsAndCancelStoresNothing)
{
    hosttest::app();
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    lwtest::TempDir dir;
    ASSERT_TRUE(cupsd.addQueue("switch-ours", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD)) << cupsd.errorLog();
    ASSERT_TRUE(cupsd.addQueue("switch-other", "socket://127.0.0.1:9101", dir.write("other.ppd", kHostTestPpd),
                               {"Tray-default=Manual"}))
        << cupsd.errorLog();
    const QString document = QString::fromStdString(dir.write("page.txt", "A page.\n"));
    const char* passcode = "4096";

    // On the other printer: its Printer Features are chosen, printed with,
    // and kept; its passcode is not kept, nor shown anywhere.
    int jobId = 0;
    CapturedOutput output(dir.file("output"));
    {
        QueueDialog run(document, QStringLiteral("switch-other"));
        ASSERT_TRUE(run.dialog);
        EXPECT_EQ(run.dialog->panelPage(QStringLiteral("Job Type")), nullptr);
        auto* tray = qobject_cast<QComboBox*>(run.dialog->featureControl(QStringLiteral("Tray")));
        auto* user = qobject_cast<QLineEdit*>(run.dialog->featureControl(QStringLiteral("UserID")));
        auto* code = qobject_cast<QLineEdit*>(run.dialog->featureControl(QStringLiteral("Passcode")));
        ASSERT_TRUE(tray && user && code);
        EXPECT_EQ(tray->currentText(), QStringLiteral("Manual Feed")); // the queue's default
        ASSERT_TRUE(hosttest::chooseByKeyboard(tray, QStringLiteral("Automatic")));
        // Tab finishes a text (Return would print at once).
        user->setFocus();
        QTest::keyClicks(user, QStringLiteral("bob"));
        QTest::keyClick(user, Qt::Key_Tab);
        code->setFocus();
        QTest::keyClicks(code, QString::fromLatin1(passcode));
        QTest::keyClick(code, Qt::Key_Tab);
        jobId = run.print();
        ASSERT_GT(jobId, 0) << run.dialog->messageLabel()->text().toStdString();
    }
    const std::string printed = output.release();
    const auto job = hosttest::jobAttributes(jobId);
    EXPECT_EQ(attr(job, "Tray"), "Auto"); // the PPD's default, not the queue's
    EXPECT_EQ(attr(job, "UserID"), "Custom.bob");
    EXPECT_EQ(attr(job, "Passcode"), std::string("Custom.") + passcode);
    const std::string stored = storedSettings();
    EXPECT_NE(stored.find("feature.Tray=Auto"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Custom.bob"), std::string::npos) << stored;
    EXPECT_EQ(stored.find(passcode), std::string::npos) << stored;
    EXPECT_EQ(printed.find(passcode), std::string::npos) << printed;

    {
        QueueDialog run(document, QStringLiteral("switch-ours"));
        ASSERT_TRUE(run.dialog);
        QTreeWidget* list = run.dialog->printerList();
        ASSERT_EQ(list->topLevelItemCount(), 3); // two queues and the file
        EXPECT_NE(run.dialog->panelPage(QStringLiteral("Job Type")), nullptr);
        // Screen readers: the list is called what its caption says, and the
        // current row says its printer and, as its description, its state.
        QAccessibleInterface* listAccess = QAccessible::queryAccessibleInterface(list);
        ASSERT_NE(listAccess, nullptr);
        EXPECT_EQ(listAccess->text(QAccessible::Name), QStringLiteral("Printer"));
        QAccessibleInterface* row = nullptr;
        for (int i = 0; i < listAccess->childCount(); ++i)
            if (QAccessibleInterface* cell = listAccess->child(i);
                cell && cell->text(QAccessible::Name).startsWith(QStringLiteral("switch-ours")))
                row = cell;
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(row->text(QAccessible::Description).startsWith(QStringLiteral("Idle")))
            << row->text(QAccessible::Description).toStdString();
        ASSERT_TRUE(hosttest::chooseByKeyboard(run.popUp("Color Mode:"), QStringLiteral("Grayscale")));

        choosePrinter(*run.dialog, QStringLiteral("switch-other"));
        EXPECT_EQ(run.session.queue(), QStringLiteral("switch-other"));
        EXPECT_EQ(run.dialog->windowTitle(), QStringLiteral("Print - switch-other"));
        // Another maker's PPD names none of our panels: the dialog's own
        // pages only, its colour mode among the features, as it was kept.
        EXPECT_EQ(run.dialog->panelPage(QStringLiteral("Image Options")), nullptr);
        EXPECT_EQ(run.dialog->panelPage(QStringLiteral("Job Type")), nullptr);
        EXPECT_EQ(run.dialog->pageList()->count(), 5);
        auto* otherColour = qobject_cast<QComboBox*>(run.dialog->featureControl(QStringLiteral("ColorModel")));
        ASSERT_NE(otherColour, nullptr);
        EXPECT_EQ(otherColour->currentText(), QStringLiteral("Color"));
        EXPECT_TRUE(run.dialog->messageLabel()->text().isEmpty()) << run.dialog->messageLabel()->text().toStdString();
        auto* tray = qobject_cast<QComboBox*>(run.dialog->featureControl(QStringLiteral("Tray")));
        ASSERT_NE(tray, nullptr);
        EXPECT_EQ(tray->currentText(), QStringLiteral("Automatic"));
        EXPECT_EQ(qobject_cast<QLineEdit*>(run.dialog->featureControl(QStringLiteral("UserID")))->text(),
                  QStringLiteral("bob"));
        EXPECT_EQ(qobject_cast<QLineEdit*>(run.dialog->featureControl(QStringLiteral("Passcode")))->text(), QString());
        EXPECT_EQ(run.dialog->featureControl(QStringLiteral("JobType")), nullptr);

        // Back: our panels again, and what was chosen there is still
        // there, for this dialog.
        choosePrinter(*run.dialog, QStringLiteral("switch-ours"));
        EXPECT_EQ(run.session.queue(), QStringLiteral("switch-ours"));
        ASSERT_NE(run.dialog->panelPage(QStringLiteral("Image Options")), nullptr);
        ASSERT_NE(run.dialog->panelPage(QStringLiteral("Job Type")), nullptr);
        EXPECT_EQ(run.dialog->featureControl(QStringLiteral("ColorModel")), nullptr);
        EXPECT_EQ(run.popUp("Color Mode:")->currentText(), QStringLiteral("Grayscale"));
        EXPECT_EQ(run.session.ppd().markedValue("ColorModel"), "Gray");
        QTest::keyClick(run.dialog.get(), Qt::Key_Escape);
        EXPECT_FALSE(run.dialog->isVisible());
    }
    EXPECT_EQ(storedSettings(), stored);

    // The panels listed are those of the plug-ins each queue's PPD names.
    // (Under the sanitizers the program has the leaks of libcups that this
    // test's own process is told of.)
    const std::string leaks = dir.write("lsan.supp", __lsan_default_suppressions());
    const lwtest::Env env = {{"CUPS_SERVER", cupsd.socketPath()}, {"QT_QPA_PLATFORM", "offscreen"},
                             {"PRINTPANELS_PLUGIN_PATH", PRINTPANELS_TEST_PLUGIN_DIR},
                             {"LSAN_OPTIONS", "fast_unwind_on_malloc=0:suppressions=" + leaks}};
    const auto other = lwtest::runProcess({PRINTPANELS_HOST_BIN, "--queue", "switch-other", "--list-panels"}, env);
    EXPECT_EQ(other.exitStatus, 0) << other.err;
    EXPECT_EQ(other.out, "");
    const auto ours = lwtest::runProcess({PRINTPANELS_HOST_BIN, "--queue", "switch-ours", "--list-panels"}, env);
    EXPECT_EQ(ours.exitStatus, 0) << ours.err;
    EXPECT_EQ(ours.out, "Image Options\tcom.PrinterPDE\nJob Type\tcom.PrinterPDE\n");
}

// A backend that reports four toners while it takes a job, as a printer's
// driver would.
constexpr const char* kSuppliesBackend =
    "#!/bin/sh\n"
    "[ $# -eq 0 ] && exit 0\n"
    "echo \"ATTR: marker-colors=#000000,#00FFFF,#FF00FF,#FFFF00 marker-levels=80,40,-1,5"
    " marker-low-levels=10,10,10,10 marker-high-levels=100,100,100,100"
    " marker-names='Black Toner','Cyan Toner','Magenta Toner','Yellow Toner'"
    " marker-types=toner,toner,toner,toner\" >&2\n"
    "cat >/dev/null\n"
    "exit 0\n";

TEST(HostPrinterChoice, AStoppedQueueShowsItsStateAndSuppliesAndARefusedJobItsError)
{
    hosttest::app();
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    lwtest::TempDir dir;
    const std::string backend = cupsd.serverBin() + "/backend/supplies";
    std::ofstream(backend) << kSuppliesBackend;
    ::chmod(backend.c_str(), 0755);
    ASSERT_TRUE(cupsd.addQueue("state-supplies", "supplies://printer", PRINTPANELS_TEST_PPD)) << cupsd.errorLog();
    const QString document = QString::fromStdString(dir.write("page.txt", "A page.\n"));

    // A job through the backend tells CUPS the levels.
    JobRequest request;
    request.queue = QStringLiteral("state-supplies");
    request.file = document;
    QString error;
    const int first = submitJob(request, &error);
    ASSERT_GT(first, 0) << error.toStdString();
    ASSERT_TRUE(hosttest::waitUntil([&] { return attr(hosttest::jobAttributes(first), "job-state") == "completed"; }))
        << cupsd.errorLog();
    for (const char* command : {"cupsdisable", "cupsreject"}) {
        const auto r = lwtest::runProcess({command, "-r", "Out for service", "state-supplies"}, cupsd.env());
        ASSERT_EQ(r.exitStatus, 0) << command << r.err;
    }

    QueueDialog run(document, QStringLiteral("state-supplies"));
    ASSERT_TRUE(run.dialog);
    PrinterStatusView* status = run.dialog->printerStatus();
    ASSERT_TRUE(hosttest::waitUntil([&] { return status->supplyBars().size() == 3; }));
    const QString state = status->stateLabel()->text();
    EXPECT_TRUE(state.startsWith(QStringLiteral("Stopped (paused)")) && state.contains(QStringLiteral("not accepting jobs"))
                && state.contains(QStringLiteral("Out for service")))
        << state.toStdString();
    QAccessibleInterface* stateAccess = QAccessible::queryAccessibleInterface(status->stateLabel());
    EXPECT_EQ(stateAccess->text(QAccessible::Name), state);
    EXPECT_TRUE(run.dialog->printerList()->currentItem()->text(1).startsWith(QStringLiteral("Stopped")));

    // Known levels are bars in the toner's colour that say their percent;
    // an unknown level is said to be unknown.
    QProgressBar* cyan = nullptr;
    for (QProgressBar* bar : status->supplyBars())
        if (bar->accessibleName() == QStringLiteral("Cyan Toner"))
            cyan = bar;
    ASSERT_NE(cyan, nullptr);
    EXPECT_EQ(cyan->value(), 40);
    EXPECT_EQ(cyan->text(), QStringLiteral("40%"));
    EXPECT_EQ(cyan->palette().color(QPalette::Highlight), QColor(0, 255, 255));
    QAccessibleInterface* cyanAccess = QAccessible::queryAccessibleInterface(cyan);
    ASSERT_TRUE(cyanAccess && cyanAccess->valueInterface());
    EXPECT_EQ(cyanAccess->text(QAccessible::Name), QStringLiteral("Cyan Toner"));
    EXPECT_EQ(cyanAccess->valueInterface()->currentValue().toInt(), 40);
    auto* magenta = qobject_cast<QLabel*>(hosttest::controlLabelled(status, QStringLiteral("Magenta Toner:")));
    ASSERT_NE(magenta, nullptr);
    EXPECT_EQ(magenta->text(), QStringLiteral("unknown"));
    auto* yellow = qobject_cast<QProgressBar*>(hosttest::controlLabelled(status, QStringLiteral("Yellow Toner:")));
    ASSERT_NE(yellow, nullptr);
    EXPECT_EQ(yellow->text(), QStringLiteral("5% (low)"));

    // CUPS refuses the job: its reason, in words, in the dialog, which stays.
    EXPECT_EQ(run.print(), 0);
    EXPECT_TRUE(run.dialog->isVisible());
    const QString refused = run.dialog->messageLabel()->text();
    EXPECT_TRUE(refused.contains(QStringLiteral("state-supplies")) && refused.contains(QStringLiteral("not accepting")))
        << refused.toStdString();
    EXPECT_TRUE(run.dialog->printButton()->isEnabled());
}

} // namespace

// printpanels-host against a private cupsd whose queue uses the printer's PPD:
// the dialog opens from the queue, options are changed through the panel's
// controls, Print submits the job, and CUPS reports the chosen options.
#include "ModalDialog.h"
#include "QueueDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <unistd.h>

using namespace printpanels::host;
using hosttest::QueueDialog;
using hosttest::jobAttributes;
using hosttest::filesUnder;
using hosttest::withColorBalance;

namespace {

TEST(HostEndToEnd, PrintSendsTheChosenOptionsAndTheNextDialogShowsThemAgain)
{
    if (!lwtest::inPrivateNetwork())
        GTEST_SKIP() << "needs the private network namespace";
    hosttest::app();
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    lwtest::TempDir dir;
    const std::string queuePpd = PRINTPANELS_TEST_PPD;
    ASSERT_TRUE(cupsd.addQueue("corvane", "socket://127.0.0.1:9100", queuePpd, {"Duplex-default=DuplexNoTumble"}))
        << cupsd.errorLog();
    const QString document = QString::fromStdString(dir.write("page.txt", "Hello from the print dialog.\n"));

    int jobId = 0;
    {
        QueueDialog run(document);
        ASSERT_TRUE(run.dialog);
        EXPECT_EQ(run.session.destinationType(), kPMDestinationPrinter);
        // The queue's saved options are where the dialog starts.
        auto* duplex = qobject_cast<QComboBox*>(run.dialog->featureControl(QStringLiteral("Duplex")));
        ASSERT_NE(duplex, nullptr);
        EXPECT_EQ(duplex->currentData().toString(), QStringLiteral("DuplexNoTumble"));

        QComboBox* imageType = run.popUp("Image Type:");
        QComboBox* colour = run.popUp("Color Mode:");
        ASSERT_TRUE(imageType && colour);
        // Photo on a fresh dialog goes in one step, toner save along with it.
        ASSERT_TRUE(hosttest::chooseByKeyboard(imageType, QStringLiteral("Photo")));
        EXPECT_EQ(run.session.ppd().markedValue("TonerMode"), "3");
        // Gray output then takes the image type "Off".
        ASSERT_TRUE(hosttest::chooseByKeyboard(colour, QStringLiteral("Grayscale")));
        run.dialog->copiesBox()->setValue(2);

        jobId = run.print();
        ASSERT_GT(jobId, 0) << run.dialog->messageLabel()->text().toStdString() << cupsd.errorLog();
    }

    const auto job = jobAttributes(jobId);
    ASSERT_FALSE(job.empty()) << cupsLastErrorString();
    auto attr = [&](const char* name) { auto it = job.find(name); return it == job.end() ? std::string("(absent)") : it->second; };
    EXPECT_EQ(attr("ColorModel"), "Gray");
    EXPECT_EQ(attr("ImageType"), "Off");
    EXPECT_EQ(attr("GrayGuarantee"), "false"); // CUPS sends True/False as an IPP boolean
    EXPECT_EQ(attr("TonerMode"), "3");
    EXPECT_EQ(attr("Duplex"), "DuplexNoTumble");
    EXPECT_EQ(attr("copies"), "2");
    EXPECT_EQ(attr("job-name"), "page.txt");
    EXPECT_EQ(attr("DrvResolution"), "(absent)"); // unchanged options stay the printer's defaults

    // The next dialog on the queue comes back with the same values.
    QueueDialog again(document);
    ASSERT_TRUE(again.dialog);
    EXPECT_EQ(again.popUp("Color Mode:")->currentText(), QStringLiteral("Grayscale"));
    EXPECT_EQ(again.session.ppd().markedValue("ColorModel"), "Gray");
}

TEST(HostEndToEnd, ColorBalanceAndBrightnessReachTheJobOnlyWhenPrintingToTheQueue)
{
    hosttest::app();
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr); // libcups reads CUPS_SERVER anew: this scheduler, not an earlier test's
    // A queue of its own: the settings kept for another test's queue stay out.
    ASSERT_TRUE(cupsd.addQueue("corvane-colour", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD)) << cupsd.errorLog();
    lwtest::TempDir dir;
    const QString document = QString::fromStdString(dir.write("page.txt", "Colours.\n"));
    const QString queue = QStringLiteral("corvane-colour");

    int jobId = 0;
    {
        QueueDialog run(document, queue);
        ASSERT_TRUE(run.dialog);
        withColorBalance(run, [](QDialog* window) {
            auto* enable = window->findChild<QCheckBox*>(QStringLiteral("EnableButton"));
            auto* target = window->findChild<QComboBox*>(QStringLiteral("targetColorButton"));
            auto* shadows = window->findChild<QLineEdit*>(QStringLiteral("TextThree"));
            ASSERT_TRUE(enable && target && shadows);
            QTest::keyClick(enable, Qt::Key_Space);
            ASSERT_TRUE(hosttest::chooseByKeyboard(target, QStringLiteral("Cyan")));
            QTest::keyClick(shadows, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(shadows, QStringLiteral("-2"));
            QTest::keyClick(shadows, Qt::Key_Return); // OK
        });
        auto* brightness = run.dialog->panelPage(QStringLiteral("Image Options"))->findChild<QSlider*>(QStringLiteral("brightnessSlider"));
        ASSERT_NE(brightness, nullptr);
        brightness->setFocus();
        QTest::keyClick(brightness, Qt::Key_Right);
        QTest::keyClick(brightness, Qt::Key_Right);
        jobId = run.print();
        ASSERT_GT(jobId, 0) << run.dialog->messageLabel()->text().toStdString() << cupsd.errorLog();
    }
    const auto job = jobAttributes(jobId);
    auto attr = [&](const char* name) { auto it = job.find(name); return it == job.end() ? std::string("(absent)") : it->second; };
    EXPECT_EQ(attr("QVColorDensityCyanHigh"), "-2");
    EXPECT_EQ(attr("QVColorDensityBlackLow"), "(absent)"); // left at the PPD's default
    EXPECT_EQ(attr("Brightness"), "2");

    // The next dialog shows the densities again; saved to a file, they are
    // not marked.
    QueueDialog again(document, queue);
    ASSERT_TRUE(again.dialog);
    withColorBalance(again, [](QDialog* window) {
        auto* target = window->findChild<QComboBox*>(QStringLiteral("targetColorButton"));
        auto* shadows = window->findChild<QLineEdit*>(QStringLiteral("TextThree"));
        ASSERT_TRUE(target && shadows);
        EXPECT_TRUE(window->findChild<QCheckBox*>(QStringLiteral("EnableButton"))->isChecked());
        ASSERT_TRUE(hosttest::chooseByKeyboard(target, QStringLiteral("Cyan")));
        EXPECT_EQ(shadows->text(), QStringLiteral("-2"));
    });
    // "Save to File" comes after the printers.
    again.dialog->printerList()->setFocus();
    QTest::keyClick(again.dialog->printerList(), Qt::Key_End);
    again.dialog->outputFileEdit()->setText(QString::fromStdString(dir.file("out.txt")));
    ASSERT_TRUE(again.dialog->print()) << again.dialog->messageLabel()->text().toStdString();
    EXPECT_EQ(again.session.ppd().markedValue("QVColorDensityCyanHigh"), "0");
}

TEST(HostEndToEnd, SecurePrintSendsTheValuesOnceAndThePasscodeNowhereElse)
{
    hosttest::app();
    // The administrator's part (README): the secure-print values are private
    // job values, shown to the job's owner and the system group only.
    lwtest::PrivateCupsd cupsd("JobPrivateValues job-name job-originating-host-name job-originating-user-name phone "
                               "UserID SecurePrintPasscode NewJob");
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    const QString queue = QStringLiteral("corvane-secure");
    ASSERT_TRUE(cupsd.addQueue("corvane-secure", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD)) << cupsd.errorLog();
    lwtest::TempDir dir;
    const QString document = QString::fromStdString(dir.write("payroll.txt", "Salaries.\n"));
    const std::string logFile = dir.file("printpanels.log");
    qputenv("PRINTPANELS_LOG_FILE", QByteArray::fromStdString(logFile));
    // Standard error of this process goes to a file for the length of the test.
    const std::string errFile = dir.file("stderr");
    const int savedErr = dup(2);
    const int errFd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(errFd, 2);
    const char* passcode = "40917";

    auto jobType = [](QueueDialog& run) {
        return run.dialog->panelPage(QStringLiteral("Job Type"))->findChild<QComboBox*>(QStringLiteral("jobtypeButton"));
    };
    int secureJob = 0, normalJob = 0;
    {
        QueueDialog run(document, queue);
        ASSERT_TRUE(run.dialog);
        ASSERT_NE(run.dialog->panelPage(QStringLiteral("Job Type")), nullptr);
        run.dialog->pages()->setCurrentWidget(run.dialog->panelPage(QStringLiteral("Job Type")));
        QComboBox* type = jobType(run);
        ASSERT_NE(type, nullptr);
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ran = window && window != run.dialog.get();
            if (!ran)
                return;
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("TextUserIDBox")), QStringLiteral("ann,b"));
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("TextPasscodeBox")), QString::fromLatin1(passcode));
            auto* name = window->findChild<QLineEdit*>(QStringLiteral("TextJobNameBox"));
            QTest::keyClicks(name, QStringLiteral("Pay run"));
            QTest::keyClick(name, Qt::Key_Return);
        });
        ASSERT_TRUE(hosttest::chooseByKeyboard(type, QStringLiteral("Secure Print")));
        ASSERT_TRUE(ran);
        secureJob = run.print();
        ASSERT_GT(secureJob, 0) << run.dialog->messageLabel()->text().toStdString();
    }
    {
        // The plug-in remembers the job type chosen last, with its values:
        // shown, and so sent, until the user chooses normal printing.
        QueueDialog run(document, queue);
        ASSERT_TRUE(run.dialog);
        run.dialog->pages()->setCurrentWidget(run.dialog->panelPage(QStringLiteral("Job Type")));
        EXPECT_EQ(jobType(run)->currentText(), QStringLiteral("Secure Print"));
        EXPECT_EQ(run.session.ppd().markedValue("JobType"), "Secure");
        ASSERT_TRUE(hosttest::chooseByKeyboard(jobType(run), QStringLiteral("Normal Print")));
        normalJob = run.print();
        ASSERT_GT(normalJob, 0);
    }
    dup2(savedErr, 2);
    ::close(savedErr);
    ::close(errFd);
    qunsetenv("PRINTPANELS_LOG_FILE");

    const auto secure = jobAttributes(secureJob);
    auto attr = [](const std::map<std::string, std::string>& job, const char* name) {
        auto it = job.find(name);
        return it == job.end() ? std::string("(absent)") : it->second;
    };
    EXPECT_EQ(attr(secure, "JobType"), "Secure");
    EXPECT_EQ(attr(secure, "UserID"), "Custom.ann,b"); // one value, comma and all
    EXPECT_EQ(attr(secure, "SecurePrintPasscode"), std::string("Custom.") + passcode);
    EXPECT_EQ(attr(secure, "NewJob"), "Custom.Pay run");
    // Another user sees the job, not its secure-print values.
    const auto seenByOthers = jobAttributes(secureJob, "mallory");
    EXPECT_EQ(attr(seenByOthers, "JobType"), "Secure");
    for (const char* name : {"UserID", "SecurePrintPasscode", "NewJob"})
        EXPECT_EQ(attr(seenByOthers, name).find(passcode), std::string::npos) << name;
    EXPECT_NE(attr(seenByOthers, "SecurePrintPasscode"), std::string("Custom.") + passcode);
    const auto normal = jobAttributes(normalJob);
    for (const char* name : {"JobType", "UserID", "SecurePrintPasscode", "NewJob"})
        EXPECT_EQ(attr(normal, name), "(absent)") << name;

    // Nowhere else: not in our log, not on standard error, not in the kept
    // settings.
    std::ifstream log(logFile);
    const std::string logged((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(logged.find("enter PDE Start()"), std::string::npos);
    EXPECT_EQ(logged.find(passcode), std::string::npos);
    std::ifstream err(errFile);
    const std::string errors((std::istreambuf_iterator<char>(err)), {});
    EXPECT_EQ(errors.find(passcode), std::string::npos);
    const std::string settings = filesUnder(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString());
    EXPECT_FALSE(settings.empty());
    EXPECT_EQ(settings.find(passcode), std::string::npos);
}

TEST(HostEndToEnd, AnUnknownQueueIsReported)
{
    if (!lwtest::inPrivateNetwork())
        GTEST_SKIP() << "needs the private network namespace";
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    HostSession session;
    QString error;
    EXPECT_FALSE(session.openQueue(QStringLiteral("nosuchqueue"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("nosuchqueue"))) << error.toStdString();
}

} // namespace

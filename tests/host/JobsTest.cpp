// What a job carries, against the private cupsd, driven through the widgets
// with real key events: a secure job never goes without its values (and no
// message shows a passcode), each printer's job carries the Color Balance
// its dialog showed, and the Page Setup and Job pages reach the job as CUPS
// takes them. A process of its own: the plug-in's state starts fresh here.
#include "JobPage.h"
#include "PageSetupPage.h"
#include "QueueDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>

#include <cstdlib>
#include <sstream>
#include <ctime>

using namespace printpanels::host;
using hosttest::attr;
using hosttest::QueueDialog;

namespace {

QComboBox* jobType(QueueDialog& run)
{
    QWidget* page = run.dialog->panelPage(QStringLiteral("Job Type"));
    return page ? page->findChild<QComboBox*>(QStringLiteral("jobtypeButton")) : nullptr;
}

void showPage(QueueDialog& run, const QString& name)
{
    for (int i = 0; i < run.dialog->pageList()->count(); ++i)
        if (run.dialog->pageList()->item(i)->text() == name) {
            run.dialog->pageList()->setFocus();
            run.dialog->pageList()->setCurrentRow(i);
        }
    ASSERT_EQ(run.dialog->pages()->tabText(run.dialog->pages()->currentIndex()), name);
}

// Fills the Secure Print setup dialog by keyboard and presses Return (OK).
void setUpSecure(QDialog* window, const QString& user, const QString& passcode, const QString& name)
{
    for (const auto& [field, text] : {std::pair{"TextUserIDBox", user}, {"TextPasscodeBox", passcode},
                                      {"TextJobNameBox", name}}) {
        auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(field));
        ASSERT_NE(edit, nullptr) << field;
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }
    QTest::keyClick(window->focusWidget(), Qt::Key_Return);
}

// Answers the next alert that comes up (while `run` runs) with Return; its
// texts, empty when none came.
QString answeringAlert(const std::function<void()>& run)
{
    QString seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->text() + QLatin1Char('|') + box->informativeText();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    poll.start(20);
    run();
    return seen;
}

int activeJobs(const char* queue)
{
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_ALL);
    cupsFreeJobs(n, jobs);
    return n;
}

// Our PPD, its passcode option without a custom parameter: the printer
// cannot take a passcode.
std::string ppdWithoutCustomPasscode(const lwtest::TempDir& dir)
{
    std::ifstream in(PRINTPANELS_TEST_PPD);
    std::ostringstream out;
    for (std::string line; std::getline(in, line);)
        if (line.find("CustomSecurePrintPasscode") == std::string::npos)
            out << line << '\n';
    return dir.write("no-custom-passcode.ppd", out.str());
}

TEST(HostJobs, NeverASecureJobWithoutItsValuesAndNoMessageShowsThePasscode)
{
    hosttest::app();
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    lwtest::TempDir dir;
    ASSERT_TRUE(cupsd.addQueue("secure-default", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD, {"JobType-default=Secure"}))
        << cupsd.errorLog();
    ASSERT_TRUE(cupsd.addQueue("secure-ours", "socket://127.0.0.1:9101", PRINTPANELS_TEST_PPD)) << cupsd.errorLog();
    ASSERT_TRUE(cupsd.addQueue("secure-nocode", "socket://127.0.0.1:9102", ppdWithoutCustomPasscode(dir)))
        << cupsd.errorLog();
    const QString document = QString::fromStdString(dir.write("payroll.txt", "Salaries.\n"));

    int normalJob = 0;
    {
        // A queue that prints secure jobs by default: the panel says so, and
        // Print asks for the values first. Cancel there sends nothing.
        QueueDialog run(document, QStringLiteral("secure-default"));
        ASSERT_TRUE(run.dialog);
        showPage(run, QStringLiteral("Job Type"));
        ASSERT_NE(jobType(run), nullptr);
        EXPECT_EQ(jobType(run)->currentText(), QStringLiteral("Secure Print"));
        bool asked = false;
        ASSERT_TRUE(lwtest::inModalDialog([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); },
                                          [&](QDialog* window) {
                                              asked = window->windowTitle() == QStringLiteral("Secure Print");
                                              QTest::keyClick(window, Qt::Key_Escape);
                                          },
                                          run.dialog.get()));
        EXPECT_TRUE(asked);
        EXPECT_FALSE(run.dialog->isSending());
        EXPECT_TRUE(run.dialog->isVisible());
        EXPECT_EQ(activeJobs("secure-default"), 0);
        EXPECT_EQ(jobType(run)->currentText(), QStringLiteral("Normal Print"));
        EXPECT_TRUE(hosttest::waitUntil(
            [&] { return run.dialog->messageLabel()->text().contains(QStringLiteral("Nothing was sent")); }, 2000))
            << run.dialog->messageLabel()->text().toStdString();
        // What the panel now shows is what goes: a normal job.
        normalJob = run.print();
        ASSERT_GT(normalJob, 0) << run.dialog->messageLabel()->text().toStdString();
    }
    const auto normal = hosttest::jobAttributes(normalJob);
    EXPECT_EQ(attr(normal, "JobType"), "Normal");
    for (const char* name : {"UserID", "SecurePrintPasscode", "NewJob"})
        EXPECT_EQ(attr(normal, name), "(absent)") << name;

    int secureJob = 0;
    {
        // A panel made later does not show Secure Print after that Cancel.
        // Chosen, with a user ID and a job name that read like the PPD's
        // "None": they go as the values they are.
        QueueDialog run(document, QStringLiteral("secure-ours"));
        ASSERT_TRUE(run.dialog);
        showPage(run, QStringLiteral("Job Type"));
        EXPECT_EQ(jobType(run)->currentText(), QStringLiteral("Normal Print"));
        ASSERT_TRUE(lwtest::inModalDialog(
            [&] { hosttest::chooseByKeyboard(jobType(run), QStringLiteral("Secure Print")); },
            [](QDialog* window) { setUpSecure(window, QStringLiteral("None"), QStringLiteral("2468"), QStringLiteral("none")); },
            run.dialog.get()));
        EXPECT_EQ(jobType(run)->currentText(), QStringLiteral("Secure Print"));
        secureJob = run.print();
        ASSERT_GT(secureJob, 0) << run.dialog->messageLabel()->text().toStdString();
    }
    const auto secure = hosttest::jobAttributes(secureJob);
    EXPECT_EQ(attr(secure, "JobType"), "Secure");
    EXPECT_EQ(attr(secure, "UserID"), "Custom.None");
    EXPECT_EQ(attr(secure, "SecurePrintPasscode"), "Custom.2468");
    EXPECT_EQ(attr(secure, "NewJob"), "Custom.none");

    {
        // A printer whose PPD takes no passcode: the job cannot be secure.
        // The panel says so and goes back to normal printing; no message
        // repeats the passcode.
        const QString passcode = QStringLiteral("40917");
        QueueDialog run(document, QStringLiteral("secure-nocode"));
        ASSERT_TRUE(run.dialog);
        showPage(run, QStringLiteral("Job Type"));
        EXPECT_EQ(jobType(run)->currentText(), QStringLiteral("Normal Print")); // the last values do not fit here
        const QString alert = answeringAlert([&] {
            ASSERT_TRUE(lwtest::inModalDialog(
                [&] {
                    jobType(run)->setFocus();
                    QTest::keyClick(jobType(run), Qt::Key_Down);
                },
                [&](QDialog* window) { setUpSecure(window, QStringLiteral("ann"), passcode, QStringLiteral("Pay")); },
                run.dialog.get()));
        });
        EXPECT_TRUE(alert.contains(QStringLiteral("does not take"))) << alert.toStdString();
        EXPECT_FALSE(alert.contains(passcode));
        EXPECT_EQ(jobType(run)->currentText(), QStringLiteral("Normal Print"));
        ASSERT_TRUE(hosttest::waitUntil([&] { return !run.dialog->messageLabel()->text().isEmpty(); }, 2000));
        const QString message = run.dialog->messageLabel()->text();
        EXPECT_TRUE(message.contains(QStringLiteral("Passcode"))) << message.toStdString();
        EXPECT_FALSE(message.contains(passcode)) << message.toStdString();
        const int job = run.print();
        ASSERT_GT(job, 0) << run.dialog->messageLabel()->text().toStdString();
        const auto printed = hosttest::jobAttributes(job);
        EXPECT_NE(attr(printed, "JobType"), "Secure");
        EXPECT_EQ(attr(printed, "SecurePrintPasscode").find(passcode.toStdString()), std::string::npos);
    }
}

TEST(HostJobs, EachPrintersJobCarriesTheColorBalanceItsDialogShowed)
{
    hosttest::app();
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    for (const char* queue : {"balance-a", "balance-b"})
        ASSERT_TRUE(cupsd.addQueue(queue, "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD)) << cupsd.errorLog();
    lwtest::TempDir dir;
    const QString document = QString::fromStdString(dir.write("page.txt", "Colours.\n"));
    const QString a = QStringLiteral("balance-a"), b = QStringLiteral("balance-b");

    // What the dialog shows: the box, and Cyan's shadows once it is on.
    struct Shown {
        bool enabled = false;
        QString cyanShadows;
    };
    auto shown = [](QueueDialog& run) {
        Shown seen;
        hosttest::withColorBalance(run, [&](QDialog* window) {
            auto* enable = window->findChild<QCheckBox*>(QStringLiteral("EnableButton"));
            ASSERT_NE(enable, nullptr);
            seen.enabled = enable->isChecked();
            if (!seen.enabled)
                QTest::keyClick(enable, Qt::Key_Space);
            ASSERT_TRUE(hosttest::chooseByKeyboard(window->findChild<QComboBox*>(QStringLiteral("targetColorButton")),
                                                   QStringLiteral("Cyan")));
            seen.cyanShadows = window->findChild<QLineEdit*>(QStringLiteral("TextThree"))->text();
            QTest::keyClick(window, Qt::Key_Escape); // Cancel: nothing changes
        });
        return seen;
    };

    int jobA = 0;
    {
        QueueDialog run(document, a);
        ASSERT_TRUE(run.dialog);
        hosttest::withColorBalance(run, [](QDialog* window) {
            QTest::keyClick(window->findChild<QCheckBox*>(QStringLiteral("EnableButton")), Qt::Key_Space);
            ASSERT_TRUE(hosttest::chooseByKeyboard(window->findChild<QComboBox*>(QStringLiteral("targetColorButton")),
                                                   QStringLiteral("Cyan")));
            auto* shadows = window->findChild<QLineEdit*>(QStringLiteral("TextThree"));
            QTest::keyClick(shadows, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(shadows, QStringLiteral("-2"));
            QTest::keyClick(shadows, Qt::Key_Return); // OK
        });
        // The other printer shows its own: off, its defaults.
        hosttest::choosePrinter(*run.dialog, b);
        const Shown onB = shown(run);
        EXPECT_FALSE(onB.enabled);
        EXPECT_EQ(onB.cyanShadows, QStringLiteral("0"));
        // Back: this printer's result again, and it is what prints.
        hosttest::choosePrinter(*run.dialog, a);
        const Shown onA = shown(run);
        EXPECT_TRUE(onA.enabled);
        EXPECT_EQ(onA.cyanShadows, QStringLiteral("-2"));
        jobA = run.print();
        ASSERT_GT(jobA, 0) << run.dialog->messageLabel()->text().toStdString();
    }
    EXPECT_EQ(attr(hosttest::jobAttributes(jobA), "QVColorDensityCyanHigh"), "-2");

    // The next dialog starts on A with its kept result; B's job carries none.
    QueueDialog again(document, a);
    ASSERT_TRUE(again.dialog);
    hosttest::choosePrinter(*again.dialog, b);
    EXPECT_FALSE(shown(again).enabled);
    const int jobB = again.print();
    ASSERT_GT(jobB, 0) << again.dialog->messageLabel()->text().toStdString();
    const auto onB = hosttest::jobAttributes(jobB);
    for (const char* density : {"QVColorDensityCyanHigh", "QVColorDensityBlackLow"})
        EXPECT_EQ(attr(onB, density), "(absent)") << density;
}

// The mnemonic letters of the captions in view: none twice.
void expectMnemonicsOnce(QueueDialog& run)
{
    QMap<QChar, QString> taken;
    for (QWidget* w : run.dialog->findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= text.size() || !w->isVisible())
            continue;
        const QChar letter = text[at + 1].toLower();
        EXPECT_FALSE(taken.contains(letter)) << text.toStdString() << " and " << taken.value(letter).toStdString();
        taken.insert(letter, text);
    }
}

// Types a time of day into a time field, hours then minutes.
void typeTime(QTimeEdit* edit, const QString& hhmm)
{
    edit->setFocus();
    edit->setSelectedSection(QDateTimeEdit::HourSection);
    QTest::keyClicks(edit, hhmm.left(2));
    edit->setSelectedSection(QDateTimeEdit::MinuteSection);
    QTest::keyClicks(edit, hhmm.mid(3, 2));
}

TEST(HostJobs, PageSetupAndJobOptionsReachTheJobAsCupsTakesThemAndAreKeptPerQueue)
{
    hosttest::app();
    // Local time: UTC+05:30 all year.
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "XST-05:30");
    tzset();
    // The scheduler has two cover pages only: no other is offered.
    lwtest::PrivateCupsd cupsd("", {"standard", "classified"});
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    cupsSetServer(nullptr);
    ASSERT_TRUE(cupsd.addQueue("jobs", "socket://127.0.0.1:9100", PRINTPANELS_TEST_PPD)) << cupsd.errorLog();
    lwtest::TempDir dir;
    const QString document = QString::fromStdString(dir.write("pages.txt", "one\f two\f three\f four\n"));
    const QString billing = QStringLiteral("Project 7, phase \"B\"");

    int jobId = 0;
    {
        QueueDialog run(document, QStringLiteral("jobs"));
        ASSERT_TRUE(run.dialog);
        PageSetupPage* setup = run.dialog->pageSetup();
        JobPage* job = run.dialog->jobPage();
        showPage(run, QStringLiteral("Page Setup"));
        expectMnemonicsOnce(run);
        ASSERT_TRUE(hosttest::chooseByKeyboard(setup->numberUpBox(), QStringLiteral("4")));
        ASSERT_TRUE(hosttest::chooseByKeyboard(setup->layoutBox(), QStringLiteral("Top to bottom, left to right")));
        ASSERT_TRUE(hosttest::chooseByKeyboard(setup->scalingBox(), QStringLiteral("Fit to the paper")));
        ASSERT_TRUE(hosttest::chooseByKeyboard(setup->pageSetBox(), QStringLiteral("Even pages")));
        setup->reverseBox()->setFocus();
        QTest::keyClick(setup->reverseBox(), Qt::Key_Space);

        showPage(run, QStringLiteral("Job"));
        expectMnemonicsOnce(run);
        // Each control by its label's letter.
        QTest::keyClick(run.dialog.get(), Qt::Key_R, Qt::AltModifier);
        ASSERT_EQ(QApplication::focusWidget(), job->priorityBox());
        QTest::keyClick(job->priorityBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(job->priorityBox(), QStringLiteral("80"));
        QTest::keyClick(run.dialog.get(), Qt::Key_D, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), job->whenBox());
        ASSERT_TRUE(hosttest::chooseByKeyboard(job->whenBox(), QStringLiteral("At a time of day")));
        ASSERT_TRUE(job->timeEdit()->isEnabled());
        typeTime(job->timeEdit(), QStringLiteral("14:00"));
        QStringList offered;
        for (int i = 0; i < job->beforeBox()->count(); ++i)
            offered << job->beforeBox()->itemData(i).toString();
        offered.sort();
        EXPECT_EQ(offered, (QStringList{"classified", "none", "standard"}));
        ASSERT_TRUE(hosttest::chooseByKeyboard(job->beforeBox(), QStringLiteral("Classified")));
        ASSERT_TRUE(hosttest::chooseByKeyboard(job->afterBox(), QStringLiteral("Standard")));
        QTest::keyClick(run.dialog.get(), Qt::Key_N, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), job->billingEdit());
        QTest::keyClicks(job->billingEdit(), billing);
        jobId = run.print();
        ASSERT_GT(jobId, 0) << run.dialog->messageLabel()->text().toStdString() << cupsd.errorLog();
    }
    const auto printed = hosttest::jobAttributes(jobId);
    EXPECT_EQ(attr(printed, "number-up"), "4");
    EXPECT_EQ(attr(printed, "number-up-layout"), "tblr");
    EXPECT_EQ(attr(printed, "print-scaling"), "fit");
    EXPECT_EQ(attr(printed, "page-set"), "even");
    EXPECT_EQ(attr(printed, "outputorder"), "reverse");
    EXPECT_EQ(attr(printed, "job-priority"), "80");
    EXPECT_EQ(attr(printed, "job-hold-until"), "08:30:00"); // 14:00 here is 08:30 UTC
    EXPECT_EQ(attr(printed, "job-sheets"), "classified|standard");
    EXPECT_EQ(attr(printed, "job-billing"), billing.toStdString());

    // Kept for the queue: the next dialog shows them again.
    QueueDialog again(document, QStringLiteral("jobs"));
    ASSERT_TRUE(again.dialog);
    EXPECT_TRUE(again.dialog->pageSetup()->reverseBox()->isChecked());
    EXPECT_EQ(again.dialog->pageSetup()->pageSetBox()->currentData().toString(), QStringLiteral("even"));
    EXPECT_EQ(again.dialog->pageSetup()->numberUp(), 4);
    EXPECT_EQ(again.dialog->jobPage()->priorityBox()->value(), 80);
    EXPECT_EQ(again.dialog->jobPage()->timeEdit()->time(), QTime(14, 0));
    EXPECT_EQ(again.dialog->jobPage()->afterBox()->currentData().toString(), QStringLiteral("standard"));
    EXPECT_EQ(again.dialog->jobPage()->billingEdit()->text(), billing);
    // A copy to a file is no job: nothing on the Job page applies.
    again.dialog->printerList()->setFocus();
    QTest::keyClick(again.dialog->printerList(), Qt::Key_End);
    EXPECT_FALSE(again.dialog->jobPage()->isEnabled());

    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
}

} // namespace

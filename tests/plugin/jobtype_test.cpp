// The Job Type panel and its Secure Print setup dialog through a recording
// host over the printer's PPD, driven with keys and the mouse while the
// dialog's (and its alerts') modal loops run: what reaches the PPD and in
// which order, the checks at OK, Cancel and Default, and that the passcode
// goes nowhere but to the PPD.
#include "ModalDialog.h"
#include "PDEBundle.h"
#include "PrinterJobPDE-Brisa_Ref.h"
#include "RecordingHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Requests = std::vector<std::string>;

std::shared_ptr<PDEBundle> bundle()
{
    static auto shared = std::make_shared<PDEBundle>(QStringLiteral(PRINTPANELS_PLUGIN_DIR));
    return shared;
}

template <typename T>
T* control(QDialog* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Runs `inside` on the modal window that `open` brings up; a window still
// up afterwards is cancelled with Escape.
void withModal(const std::function<void()>& open, const std::function<void(QDialog*)>& inside)
{
    ASSERT_TRUE(lwtest::inModalDialog(open, inside)) << "no window opened";
}

// Presses OK and answers the alert it raises; returns the alert's texts
// (empty when none came).
QString okExpectingAlert(QDialog* window)
{
    QString seen;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->text() + QLatin1Char('|') + box->informativeText();
            box->accept();
        }
    });
    QTest::mouseClick(control<QPushButton>(window, "okButton"), Qt::LeftButton);
    return seen;
}

void type(QLineEdit* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

class JobTypePanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        response.reset();
        docName.reset();
        firstRun = secureIndex = jobnameMode = 0;
        gUserID.clear();
        gPasscode.clear();
        gJobName.clear();
        log = std::make_unique<QTemporaryDir>();
        qputenv("PRINTPANELS_LOG_FILE", (log->path() + QStringLiteral("/log")).toUtf8());
        open();
    }
    void TearDown() override { qunsetenv("PRINTPANELS_LOG_FILE"); }

    void open()
    {
        ppd = std::make_unique<PpdFile>(PRINTPANELS_PPD);
        host = std::make_unique<RecordingHost>(ppd->get());
        panel = std::make_unique<PrinterJobPDECorvane5170>(host.get(), bundle());
        panel->panelView()->show();
        panel->willShow();
        host->take();
    }

    // Chooses a job type with the keyboard; Secure Print opens the dialog.
    void chooseJobType(int index, const std::function<void(QDialog*)>& inside = {})
    {
        auto choose = [this, index] {
            panel->jobtypeButton->setFocus();
            QTest::keyClick(panel->jobtypeButton, index == 1 ? Qt::Key_Down : Qt::Key_Up);
        };
        if (inside)
            withModal(choose, inside);
        else
            choose();
    }

    // A valid secure setup: user, passcode, entered name.
    void setUpSecure(const QString& user, const QString& passcode, const QString& name)
    {
        chooseJobType(1, [&](QDialog* window) {
            type(control<QLineEdit>(window, "TextUserIDBox"), user);
            type(control<QLineEdit>(window, "TextPasscodeBox"), passcode);
            type(control<QLineEdit>(window, "TextJobNameBox"), name);
            QTest::keyClick(control<QLineEdit>(window, "TextJobNameBox"), Qt::Key_Return);
        });
    }

    QString logText() const
    {
        QFile file(log->path() + QStringLiteral("/log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::unique_ptr<QTemporaryDir> log;
    std::unique_ptr<PpdFile> ppd;
    std::unique_ptr<RecordingHost> host;
    std::unique_ptr<PrinterJobPDECorvane5170> panel;
};

TEST_F(JobTypePanel, SecurePrintTakesItsValuesFromTheSetupAndSendsThemInOrder)
{
    EXPECT_EQ(panel->panelName(), QStringLiteral("Job Type"));
    EXPECT_FALSE(panel->setupButton->isEnabled());
    chooseJobType(1, [](QDialog* window) {
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Secure Print"));
        auto* user = control<QLineEdit>(window, "TextUserIDBox");
        auto* passcode = control<QLineEdit>(window, "TextPasscodeBox");
        auto* name = control<QLineEdit>(window, "TextJobNameBox");
        auto* mode = control<QComboBox>(window, "pJobNameButton");
        EXPECT_EQ(passcode->echoMode(), QLineEdit::Password);
        EXPECT_EQ(mode->currentIndex(), 1); // the first setup enters a name
        EXPECT_TRUE(name->isEnabled());
        EXPECT_EQ(control<QLabel>(window, "sTextPass")->buddy(), passcode);
        // The formatters refuse while typing: a ninth byte, a letter.
        type(user, QStringLiteral("ann,b123X"));
        EXPECT_EQ(user->text(), QStringLiteral("ann,b123"));
        type(passcode, QStringLiteral("12a34"));
        EXPECT_EQ(passcode->text(), QStringLiteral("1234"));
        type(name, QStringLiteral("Quarterly"));
        QTest::keyClick(name, Qt::Key_Return); // OK
    });
    EXPECT_EQ(host->take(), (Requests{"JobType=Secure", "UserID=Custom.ann,b123",
                                      "SecurePrintPasscode=Custom.1234", "NewJob=Custom.Quarterly"}));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->size(), 5);
    EXPECT_TRUE(panel->setupButton->isEnabled());
    EXPECT_EQ(panel->summaryInfo(), (QMap<QString, QString>{{QStringLiteral("Job Type"), QStringLiteral("Secure Print")}}));

    // Setup again: the last OK's values are there; Cancel sends nothing.
    withModal([this] { QTest::mouseClick(panel->setupButton, Qt::LeftButton); }, [](QDialog* window) {
        EXPECT_EQ(control<QLineEdit>(window, "TextUserIDBox")->text(), QStringLiteral("ann,b123"));
        EXPECT_EQ(control<QLineEdit>(window, "TextPasscodeBox")->text(), QStringLiteral("1234"));
        EXPECT_EQ(control<QLineEdit>(window, "TextJobNameBox")->text(), QStringLiteral("Quarterly"));
    });
    EXPECT_TRUE(host->take().empty());

    // "Use Existing Name": the job keeps the document's name.
    withModal([this] { QTest::mouseClick(panel->setupButton, Qt::LeftButton); }, [](QDialog* window) {
        auto* mode = control<QComboBox>(window, "pJobNameButton");
        mode->setFocus();
        QTest::keyClick(mode, Qt::Key_Up);
        EXPECT_FALSE(control<QLineEdit>(window, "TextJobNameBox")->isEnabled());
        QTest::mouseClick(control<QPushButton>(window, "okButton"), Qt::LeftButton);
    });
    EXPECT_EQ(host->take(), (Requests{"JobType=Secure", "UserID=Custom.ann,b123",
                                      "SecurePrintPasscode=Custom.1234", "NewJob=Custom.report.pdf"}));
    EXPECT_EQ(response->size(), 4);
    EXPECT_EQ(response->last().toString(), QStringLiteral("Use Existing Name"));
    EXPECT_EQ(docName.value_or(QString()), QStringLiteral("Quarterly"));

    // Printing commits them once more; the passcode went nowhere else.
    panel->shouldPrint();
    EXPECT_EQ(host->take(), (Requests{"JobType=Secure", "UserID=Custom.ann,b123",
                                      "SecurePrintPasscode=Custom.1234", "NewJob=Custom.report.pdf"}));
    panel->saveValuesAndReturnError(nullptr);
    for (const auto& [key, value] : host->settings)
        EXPECT_FALSE(value.contains(QStringLiteral("1234"))) << key.toStdString();
    EXPECT_FALSE(logText().isEmpty());
    EXPECT_FALSE(logText().contains(QStringLiteral("1234")));
}

TEST_F(JobTypePanel, OkChecksTheUserIdFirstAndTheDialogStaysOpen)
{
    chooseJobType(1, [](QDialog* window) {
        auto* user = control<QLineEdit>(window, "TextUserIDBox");
        auto* passcode = control<QLineEdit>(window, "TextPasscodeBox");
        const QString userAlert = QStringLiteral(
            "Invalid value in User ID.|Specify within a range of 1 to 8 alphanumeric characters.");
        EXPECT_EQ(okExpectingAlert(window), userAlert); // both empty: the user ID speaks first
        type(user, QStringLiteral("   "));
        EXPECT_EQ(okExpectingAlert(window), userAlert);
        // A Latin-1 letter passes the formatter but not OK.
        type(user, QString());
        QInputMethodEvent commit;
        commit.setCommitString(QString(QChar(0xE9)));
        QApplication::sendEvent(user, &commit);
        EXPECT_EQ(user->text(), QString(QChar(0xE9)));
        EXPECT_EQ(okExpectingAlert(window), userAlert);
        type(user, QStringLiteral("a b"));
        EXPECT_EQ(okExpectingAlert(window), QStringLiteral("Invalid value in Secure Print Passcode.|"
                                                           "Specify within a range of 1 to 12 alphanumeric characters."));
        // Digits of another script pass the formatter; the printer's panel
        // has only 0 to 9.
        passcode->setFocus();
        QInputMethodEvent digits;
        digits.setCommitString(QString::fromUtf8("\u0663\u0664"));
        QApplication::sendEvent(passcode, &digits);
        EXPECT_FALSE(okExpectingAlert(window).isEmpty());
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(user->text(), QStringLiteral("a b"));

        // Default: "Enter Name Mode" and empty fields; Cancel discards it.
        QTest::mouseClick(control<QPushButton>(window, "defaultButton"), Qt::LeftButton);
        EXPECT_EQ(control<QComboBox>(window, "pJobNameButton")->currentIndex(), 1);
        EXPECT_TRUE(user->text().isEmpty());
        EXPECT_TRUE(passcode->text().isEmpty());
    });
    // Cancelled before any valid OK: back to normal printing.
    EXPECT_EQ(host->take(), (Requests{"JobType=Normal", "UserID=None", "SecurePrintPasscode=None", "NewJob=None"}));
    EXPECT_EQ(panel->jobtypeButton->currentIndex(), 0);
    EXPECT_FALSE(panel->setupButton->isEnabled());
    EXPECT_FALSE(response.has_value());
    // The next panel does not show Secure Print either: there are no values
    // to send with it.
    open();
    EXPECT_EQ(panel->jobtypeButton->currentIndex(), 0);
    EXPECT_EQ(ppd->marked("JobType"), "Normal");
}

TEST_F(JobTypePanel, APrinterThatPrintsSecureByDefaultAsksForTheValuesWhenPrinting)
{
    firstRun = 0; // the first panel of the plug-in
    ppd = std::make_unique<PpdFile>(editedPpd({}, {{"*DefaultJobType: Normal", "*DefaultJobType: Secure"}}));
    host = std::make_unique<RecordingHost>(ppd->get());
    panel = std::make_unique<PrinterJobPDECorvane5170>(host.get(), bundle());
    panel->panelView()->show();
    panel->willShow();
    EXPECT_EQ(panel->jobtypeButton->currentIndex(), 1);
    EXPECT_EQ(panel->summaryInfo().value(QStringLiteral("Job Type")), QStringLiteral("Secure Print"));
    host->take();
    // No values yet: printing asks for them, and goes on with them.
    bool printing = false;
    withModal([&] { printing = panel->shouldPrint(); }, [](QDialog* window) {
        type(control<QLineEdit>(window, "TextUserIDBox"), QStringLiteral("none"));
        type(control<QLineEdit>(window, "TextPasscodeBox"), QStringLiteral("55"));
        QTest::keyClick(control<QLineEdit>(window, "TextPasscodeBox"), Qt::Key_Return);
    });
    EXPECT_TRUE(printing);
    const Requests sent = host->take();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "NewJob=None"); // no name entered: none of its own
    EXPECT_EQ(ppd->marked("JobType"), "Secure");
    EXPECT_EQ(ppd->marked("UserID"), "Custom"); // the text "none", not the choice "None"
}

TEST_F(JobTypePanel, ANormalJobCarriesNoSecureValues)
{
    setUpSecure(QStringLiteral("ann"), QStringLiteral("987654"), QStringLiteral("Pay"));
    host->take();
    chooseJobType(0);
    EXPECT_EQ(host->take(), (Requests{"JobType=Normal", "UserID=None", "SecurePrintPasscode=None", "NewJob=None"}));
    panel->shouldPrint();
    const Requests printed = host->take();
    EXPECT_EQ(printed.front(), "JobType=Normal");
    for (const std::string& request : printed)
        EXPECT_EQ(request.find("987654"), std::string::npos) << request;

    // Default keeps what the dialog was given: Setup shows it again.
    panel->defaultButton->click();
    EXPECT_EQ(panel->jobtypeButton->currentIndex(), 0);
    chooseJobType(1, [](QDialog* window) {
        EXPECT_EQ(control<QLineEdit>(window, "TextPasscodeBox")->text(), QStringLiteral("987654"));
    });
    EXPECT_EQ(PrinterJobPDECorvane5170::base64EncodedString(QStringLiteral("abc")), QStringLiteral("YWJj\n"));
    EXPECT_EQ(PrinterJobPDECorvane5170::base64EncodedString(QString(60, QLatin1Char('x'))).count(QLatin1Char('\n')), 2);
}

} // namespace

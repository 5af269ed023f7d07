// The host's PPD marking and its print-settings store, with real libcups
// parsing of a PPD written for these tests.
#include "JobSubmitter.h"
#include "PpdDocument.h"
#include "PrintSettingsStore.h"
#include "TestPpd.h"

#include <Peers.h>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace printpanels::host;
using Status = MarkOutcome::Status;

namespace {

// QSettings reads XDG_CONFIG_HOME once: point it at a private directory
// before any test runs.
struct ConfigHome {
    lwtest::TempDir dir;
    ConfigHome() { setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
};
const ConfigHome configHome;

class HostPpdDocument : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(doc.open(QString::fromStdString(dir.write("test.ppd", kHostTestPpd)), &error))
            << error.toStdString();
    }
    lwtest::TempDir dir;
    PpdDocument doc;
};

TEST_F(HostPpdDocument, ResolvableConflictMovesTheOtherOptionAndSaysSo)
{
    EXPECT_TRUE(doc.changedFromDefaults().empty());
    const MarkOutcome out = doc.markChoice("ColorModel", "Gray");
    EXPECT_EQ(out.status, Status::Marked);
    EXPECT_EQ(doc.markedValue("ColorModel"), "Gray");
    EXPECT_EQ(doc.markedValue("GrayGuarantee"), "False");
    ASSERT_EQ(out.changedKeys, std::vector<std::string>{"GrayGuarantee"});
    EXPECT_EQ(out.changed, QStringList{QStringLiteral("Gray Guarantee: Off")});
    EXPECT_TRUE(out.message.contains(QStringLiteral("Gray Guarantee: Off"))) << out.message.toStdString();

    // The same choice again changes nothing and says nothing.
    const MarkOutcome again = doc.markChoice("ColorModel", "Gray");
    EXPECT_EQ(again.status, Status::Unchanged);
    EXPECT_TRUE(again.message.isEmpty());
    const auto changed = doc.changedFromDefaults();
    EXPECT_EQ(changed, (std::vector<std::pair<std::string, std::string>>{{"ColorModel", "Gray"}, {"GrayGuarantee", "False"}}));
}

TEST_F(HostPpdDocument, UnresolvableConflictIsRefusedAndNothingIsMarked)
{
    ASSERT_EQ(doc.markChoice("Tray", "Manual").status, Status::Marked);
    const MarkOutcome out = doc.markChoice("Finish", "Gloss");
    EXPECT_EQ(out.status, Status::Refused);
    EXPECT_FALSE(out.accepted());
    EXPECT_EQ(doc.markedValue("Finish"), "Plain");
    EXPECT_EQ(doc.markedValue("Tray"), "Manual");
    EXPECT_EQ(out.conflicting, QStringList{QStringLiteral("Tray: Manual Feed")});
    EXPECT_TRUE(out.message.contains(QStringLiteral("Finish: Gloss"))) << out.message.toStdString();
    EXPECT_TRUE(out.message.contains(QStringLiteral("Tray: Manual Feed"))) << out.message.toStdString();
    EXPECT_EQ(doc.changedFromDefaults(), (std::vector<std::pair<std::string, std::string>>{{"Tray", "Manual"}}));
}

TEST_F(HostPpdDocument, TextForACustomOptionIsMarkedAsTheCustomValueWithinItsLimits)
{
    EXPECT_TRUE(doc.takesCustomText("UserID"));
    EXPECT_FALSE(doc.takesCustomText("ColorModel"));

    EXPECT_EQ(doc.markChoice("UserID", "alice").status, Status::Marked);
    EXPECT_EQ(doc.markedValue("UserID"), "Custom.alice");
    EXPECT_EQ(doc.customText("UserID"), QStringLiteral("alice"));

    // Too long, empty or with control characters: refused, the old text stays.
    EXPECT_EQ(doc.markChoice("UserID", "abcdefghi").status, Status::BadCustomValue);
    EXPECT_EQ(doc.markChoice("UserID", "").status, Status::BadCustomValue);
    EXPECT_EQ(doc.markChoice("UserID", "a\tb").status, Status::BadCustomValue);
    EXPECT_EQ(doc.markedValue("UserID"), "Custom.alice");

    // A passcode takes digits only, exactly as many as the PPD says.
    EXPECT_EQ(doc.markChoice("Passcode", "12a4").status, Status::BadCustomValue);
    EXPECT_EQ(doc.markChoice("Passcode", "123").status, Status::BadCustomValue);
    EXPECT_EQ(doc.markChoice("Passcode", "0042").status, Status::Marked);
    EXPECT_EQ(doc.markedValue("Passcode"), "Custom.0042");
    // A message names a custom value by the PPD's text for it, never the
    // text itself: it may be a passcode the PPD calls a string.
    EXPECT_FALSE(doc.describe("Passcode").contains(QStringLiteral("0042")));
    EXPECT_EQ(doc.describe("UserID"), QStringLiteral("User ID: Custom"));
    EXPECT_EQ(doc.optionText("UserID").value, QStringLiteral("alice")); // the summary shows it

    // A choice keyword is the choice, not a text; as "Custom.TEXT" a text
    // is the text whatever it reads.
    EXPECT_EQ(doc.markChoice("UserID", "None").status, Status::Marked);
    EXPECT_EQ(doc.markedValue("UserID"), "None");
    EXPECT_EQ(doc.markChoice("UserID", "Custom.None").status, Status::Marked);
    EXPECT_EQ(doc.markedValue("UserID"), "Custom.None");
    EXPECT_EQ(doc.markChoice("UserID", "Custom.abcdefghi").status, Status::BadCustomValue);
}

TEST_F(HostPpdDocument, UnknownOptionsAndChoicesLeaveThePpdAlone)
{
    EXPECT_EQ(doc.markChoice("NoSuchOption", "X").status, Status::UnknownOption);
    EXPECT_EQ(doc.markChoice("ColorModel", "CMYK").status, Status::UnknownChoice);
    EXPECT_EQ(doc.markChoice("ColorModel", "Custom").status, Status::UnknownChoice);
    // A text an option cannot take is not repeated (it may be a passcode).
    const MarkOutcome refused = doc.markChoice("Tray", "Custom.4096");
    EXPECT_EQ(refused.status, Status::UnknownChoice);
    EXPECT_FALSE(refused.message.contains(QStringLiteral("4096"))) << refused.message.toStdString();
    EXPECT_TRUE(doc.changedFromDefaults().empty());
}

TEST_F(HostPpdDocument, QueueOptionsAreMarkedWithTheirConflictsResolved)
{
    cups_option_t* options = nullptr;
    int n = cupsAddOption("ColorModel", "Gray", 0, &options);
    doc.applyOptions(n, options);
    cupsFreeOptions(n, options);
    EXPECT_EQ(doc.markedValue("ColorModel"), "Gray");
    EXPECT_EQ(doc.markedValue("GrayGuarantee"), "False");
}

TEST(HostPpdDocumentOpen, ABrokenFileIsReportedNotOpened)
{
    lwtest::TempDir dir;
    PpdDocument doc;
    QString error;
    EXPECT_FALSE(doc.open(QString::fromStdString(dir.write("bad.ppd", "not a ppd\n")), &error));
    EXPECT_FALSE(doc.isOpen());
    EXPECT_TRUE(error.contains(QStringLiteral("bad.ppd"))) << error.toStdString();
    EXPECT_FALSE(doc.open(QString::fromStdString(dir.file("missing.ppd")), &error));
    EXPECT_EQ(doc.markChoice("ColorModel", "Gray").status, Status::UnknownOption);
}

TEST(HostPrintSettings, EachQueueKeepsItsOwnValuesAcrossInstances)
{
    const QString odd = QStringLiteral("odd/queue name=1");
    {
        PrintSettingsStore a(QStringLiteral("alpha"));
        a.setValue(QStringLiteral("colormodeSettings"), QStringLiteral("1"), false);
        a.setValue(QStringLiteral("brightnessSettings"), QStringLiteral("-2"), false);
        ASSERT_TRUE(a.save());
        PrintSettingsStore b(odd);
        b.setValue(QStringLiteral("colormodeSettings"), QStringLiteral("0"), false);
        ASSERT_TRUE(b.save());
    }
    PrintSettingsStore a(QStringLiteral("alpha"));
    a.setValue(QStringLiteral("stale"), QStringLiteral("x"), false);
    ASSERT_TRUE(a.load());
    QString v;
    EXPECT_FALSE(a.value(QStringLiteral("stale"), &v));
    ASSERT_TRUE(a.value(QStringLiteral("colormodeSettings"), &v));
    EXPECT_EQ(v, QStringLiteral("1"));
    ASSERT_TRUE(a.value(QStringLiteral("brightnessSettings"), &v));
    EXPECT_EQ(v, QStringLiteral("-2"));
    EXPECT_EQ(a.values().size(), 2);

    PrintSettingsStore b(odd);
    ASSERT_TRUE(b.load());
    EXPECT_EQ(b.values().size(), 1);
    ASSERT_TRUE(b.value(QStringLiteral("colormodeSettings"), &v));
    EXPECT_EQ(v, QStringLiteral("0"));

    // A key no longer held disappears from the stored group on the next save.
    PrintSettingsStore c(odd);
    c.setValue(QStringLiteral("screenSettings"), QStringLiteral("2"), false);
    ASSERT_TRUE(c.save());
    ASSERT_TRUE(b.load());
    EXPECT_FALSE(b.value(QStringLiteral("colormodeSettings"), &v));
    EXPECT_TRUE(b.value(QStringLiteral("screenSettings"), &v));
}

TEST(HostJobSubmitter, RefusesAJobItCannotSendBeforeAskingCups)
{
    QString error;
    JobRequest request;
    EXPECT_EQ(submitJob(request, &error), 0);
    EXPECT_FALSE(error.isEmpty());
    request.queue = QStringLiteral("q");
    request.file = QStringLiteral("/dev/null");
    request.copies = 0;
    EXPECT_EQ(submitJob(request, &error), 0);
    EXPECT_TRUE(error.contains(QStringLiteral("Copies")));
}

} // namespace

// printpanels-host against a private cupsd whose queue uses the printer's PPD:
// the dialog opens from the queue, options are changed through the panel's
// controls, Print submits the job, and CUPS reports the chosen options.
#include "HostSession.h"
#include "HostTestSupport.h"
#include "PluginSet.h"
#include "PpdApi.h"
#include "PrintDialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <fstream>
#include <iterator>
#include <map>

using namespace printpanels::host;

namespace {

// The job's attributes as CUPS reports them (IPP Get-Job-Attributes).
std::map<std::string, std::string> jobAttributes(int jobId)
{
    std::map<std::string, std::string> out;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/printers/corvane");
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    for (ipp_attribute_t* a = response ? ippFirstAttribute(response) : nullptr; a; a = ippNextAttribute(response)) {
        if (ippGetGroupTag(a) != IPP_TAG_JOB || !ippGetName(a))
            continue;
        std::string value;
        for (int i = 0; i < ippGetCount(a); ++i) {
            if (i)
                value += '|'; // several values: the option was split
            if (const char* text = ippGetString(a, i, nullptr)) {
                value += text;
            } else {
                char buf[256];
                ippAttributeString(a, buf, sizeof buf);
                value += buf;
                break;
            }
        }
        out[ippGetName(a)] = value;
    }
    ippDelete(response);
    return out;
}

struct QueueDialog {
    HostSession session;
    PluginSet plugins;
    std::unique_ptr<PrintDialog> dialog;

    QueueDialog(const QString& document)
    {
        QString error;
        if (!session.openQueue(QStringLiteral("corvane"), &error)) {
            ADD_FAILURE() << error.toStdString();
            return;
        }
        session.settings().load();
        session.settings().setJobName(QStringLiteral("page.txt"));
        plugins.load(PluginSet::searchPath());
        dialog = std::make_unique<PrintDialog>(session, plugins.printerPanels(&session), document);
        dialog->show();
        QApplication::processEvents();
    }
    ~QueueDialog() { dialog.reset(); }
    QComboBox* popUp(const char* label) const
    {
        return qobject_cast<QComboBox*>(
            hosttest::controlLabelled(dialog->pages()->widget(0), QString::fromLatin1(label)));
    }
};

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
        // A choice the PPD cannot take as things stand snaps back.
        EXPECT_FALSE(hosttest::chooseByKeyboard(imageType, QStringLiteral("Photo")));
        EXPECT_EQ(imageType->currentText(), QStringLiteral("Normal"));
        EXPECT_TRUE(run.dialog->messageLabel()->text().contains(QStringLiteral("Image Type: Photo")));

        ASSERT_TRUE(hosttest::chooseByKeyboard(colour, QStringLiteral("Grayscale")));
        auto* user = qobject_cast<QLineEdit*>(run.dialog->featureControl(QStringLiteral("UserID")));
        ASSERT_NE(user, nullptr);
        user->setText(QStringLiteral("ann,b"));
        emit user->editingFinished();
        run.dialog->copiesBox()->setValue(2);

        QTest::mouseClick(run.dialog->printButton(), Qt::LeftButton);
        jobId = run.dialog->jobId();
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
    EXPECT_EQ(attr("UserID"), "Custom.ann,b"); // one value, comma and all
    EXPECT_EQ(attr("copies"), "2");
    EXPECT_EQ(attr("job-name"), "page.txt");
    EXPECT_EQ(attr("DrvResolution"), "(absent)"); // unchanged options stay the printer's defaults

    // The next dialog on the queue comes back with the same values.
    QueueDialog again(document);
    ASSERT_TRUE(again.dialog);
    EXPECT_EQ(again.popUp("Color Mode:")->currentText(), QStringLiteral("Grayscale"));
    EXPECT_EQ(again.session.ppd().markedValue("ColorModel"), "Gray");
}

TEST(HostEndToEnd, AnUnknownQueueIsReported)
{
    if (!lwtest::inPrivateNetwork())
        GTEST_SKIP() << "needs the private network namespace";
    lwtest::PrivateCupsd cupsd;
    ASSERT_TRUE(cupsd.ok()) << cupsd.errorLog();
    HostSession session;
    QString error;
    EXPECT_FALSE(session.openQueue(QStringLiteral("nosuchqueue"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("nosuchqueue"))) << error.toStdString();
}

} // namespace

// What the end-to-end tests of the host share: a dialog opened on a queue of
// the private cupsd, and what CUPS reports of a job.
#pragma once

#include "HostSession.h"
#include "HostTestSupport.h"
#include "ModalDialog.h"
#include "PluginSet.h"
#include "PpdApi.h"
#include "PrintDialog.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>

namespace hosttest {

using namespace printpanels::host;

// The job's attributes as CUPS reports them (IPP Get-Job-Attributes).
inline std::map<std::string, std::string> jobAttributes(int jobId, const char* user = nullptr)
{
    std::map<std::string, std::string> out;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user ? user : cupsUser());
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

    explicit QueueDialog(const QString& document, const QString& queue = QStringLiteral("corvane"))
    {
        QString error;
        if (!session.openQueue(queue, &error)) {
            ADD_FAILURE() << error.toStdString();
            return;
        }
        session.setJobName(QStringLiteral("page.txt"));
        plugins.scan(PluginSet::searchPath());
        dialog = std::make_unique<PrintDialog>(session, plugins, document);
        dialog->show();
        QApplication::processEvents();
    }
    ~QueueDialog() { dialog.reset(); }
    QComboBox* popUp(const char* label) const
    {
        return qobject_cast<QComboBox*>(
            hosttest::controlLabelled(dialog->panelPage(QStringLiteral("Image Options")), QString::fromLatin1(label)));
    }
    // Clicks Print and waits until the job was sent (or refused); the job's
    // ID, 0 when it was not sent.
    int print()
    {
        QTest::mouseClick(dialog->printButton(), Qt::LeftButton);
        EXPECT_TRUE(hosttest::waitUntil([this] { return !dialog->isSending(); }));
        return dialog->jobId();
    }
};

// Moves through the printer list with the arrow keys to the queue `name`.
inline void choosePrinter(PrintDialog& dialog, const QString& name)
{
    QTreeWidget* list = dialog.printerList();
    int target = -1;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->data(0, Qt::UserRole).toString() == name)
            target = i;
    ASSERT_GE(target, 0) << name.toStdString();
    list->setFocus();
    const int steps = target - list->indexOfTopLevelItem(list->currentItem());
    for (int i = 0; i < std::abs(steps); ++i)
        QTest::keyClick(list, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
}

// Presses "Color Balance..." on the panel and runs `inside` on the dialog's
// window while its modal loop runs.
inline void withColorBalance(QueueDialog& run, const std::function<void(QDialog*)>& inside)
{
    QPushButton* open = nullptr;
    for (QPushButton* b : run.dialog->findChildren<QPushButton*>())
        if (b->text().remove(QLatin1Char('&')) == QStringLiteral("Color Balance..."))
            open = b;
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(lwtest::inModalDialog([open] { QTest::mouseClick(open, Qt::LeftButton); }, inside, run.dialog.get()));
}

// Everything under `dir` (recursively) as one text.
inline std::string filesUnder(const std::string& dir)
{
    std::string all;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir, ec))
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            all.append(std::istreambuf_iterator<char>(in), {});
        }
    return all;
}

// A job attribute's value, "(absent)" when the job has none.
inline std::string attr(const std::map<std::string, std::string>& job, const char* name)
{
    auto it = job.find(name);
    return it == job.end() ? std::string("(absent)") : it->second;
}

} // namespace hosttest

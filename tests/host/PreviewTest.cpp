// The preview: a small PDF made here, rendered as it will print (pages
// chosen, several to a sheet, orientation, gray), checked on its pixels, and
// the preview in the dialog following the dialog's choices.
#include "HostSession.h"
#include "HostTestSupport.h"
#include "PageSetupPage.h"
#include "PluginSet.h"
#include "PreviewPane.h"
#include "PreviewRenderer.h"
#include "PrintDialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

using namespace printpanels::host;

namespace {

// A4 pages, each filled with one colour.
QString colourPdf(const lwtest::TempDir& dir, const QList<QColor>& colours)
{
    const QString path = QString::fromStdString(dir.file("colours.pdf"));
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int i = 0; i < colours.size(); ++i) {
        if (i)
            writer.newPage();
        painter.fillRect(QRect(0, 0, writer.width(), writer.height()), colours[i]);
    }
    return path;
}

bool near(QRgb pixel, QColor colour)
{
    return std::abs(qRed(pixel) - colour.red()) < 40 && std::abs(qGreen(pixel) - colour.green()) < 40
           && std::abs(qBlue(pixel) - colour.blue()) < 40;
}

bool grayNotWhite(QRgb pixel)
{
    return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel) && qRed(pixel) < 200;
}

TEST(HostPreview, RendersTheChosenPagesPerSheetInTheOrientationAndInGray)
{
    hosttest::app();
    lwtest::TempDir dir;
    PreviewRequest request;
    request.pdf = colourPdf(dir, {Qt::red, Qt::green, Qt::blue});

    PreviewResult all = renderPreview(request);
    ASSERT_TRUE(all.error.isEmpty()) << all.error.toStdString();
    EXPECT_EQ(all.pages, 3);
    EXPECT_EQ(all.sheets, 3);
    EXPECT_GT(all.image.height(), all.image.width());
    const QPoint centre(all.image.width() / 2, all.image.height() / 2);
    EXPECT_TRUE(near(all.image.pixel(centre), Qt::red));

    request.gray = true;
    request.sheet = 2;
    const PreviewResult gray = renderPreview(request);
    EXPECT_TRUE(grayNotWhite(gray.image.pixel(centre))) << std::hex << gray.image.pixel(centre);

    // Pages 3 and 1 (printed in page order), two to a sheet: side by side.
    request.gray = false;
    request.sheet = 0;
    request.pageRanges = QStringLiteral("3, 1");
    request.numberUp = 2;
    const PreviewResult twoUp = renderPreview(request);
    EXPECT_EQ(twoUp.pages, 2);
    EXPECT_EQ(twoUp.sheets, 1);
    ASSERT_GT(twoUp.image.width(), twoUp.image.height());
    const int y = twoUp.image.height() / 2;
    EXPECT_TRUE(near(twoUp.image.pixel(twoUp.image.width() / 4, y), Qt::red));
    EXPECT_TRUE(near(twoUp.image.pixel(twoUp.image.width() * 3 / 4, y), Qt::blue));

    request.orientation = 4; // landscape: one above the other
    const PreviewResult turned = renderPreview(request);
    ASSERT_LT(turned.image.width(), turned.image.height());
    EXPECT_TRUE(near(turned.image.pixel(turned.image.width() / 2, turned.image.height() / 4), Qt::red));

    request.pageRanges = QStringLiteral("3-1");
    EXPECT_FALSE(renderPreview(request).error.isEmpty());
    request.pageRanges = QStringLiteral("7-9");
    EXPECT_TRUE(renderPreview(request).image.isNull());
    EXPECT_EQ(cupsPageRanges(QStringLiteral(" 4, 1-2,2-3, 9-")), QStringLiteral("1-4,9-2147483647"));
    EXPECT_EQ(cupsPageRanges(QStringLiteral("1,a")), QString());
}

struct PreviewDialog {
    HostSession session;
    PluginSet plugins;
    std::unique_ptr<PrintDialog> dialog;

    explicit PreviewDialog(const QString& document)
    {
        hosttest::app();
        QString error;
        EXPECT_TRUE(session.openPpdFile(QStringLiteral(PRINTPANELS_TEST_PPD), &error)) << error.toStdString();
        plugins.scan(PluginSet::searchPath());
        dialog = std::make_unique<PrintDialog>(session, plugins, document);
        dialog->show();
    }
    ~PreviewDialog() { dialog.reset(); }
    PreviewPane* preview() const { return dialog->preview(); }
    bool rendered() const
    {
        return hosttest::waitUntil([this] { return !preview()->busy(); });
    }
};

TEST(HostPreview, TheDialogsPreviewFollowsItsChoicesWithoutHoldingItUp)
{
    lwtest::TempDir dir;
    PreviewDialog run(colourPdf(dir, {Qt::red, Qt::green, Qt::blue}));
    // The dialog is up before the preview is.
    EXPECT_TRUE(run.preview()->busy());
    ASSERT_TRUE(run.rendered());
    EXPECT_EQ(run.preview()->sheetCount(), 3);
    QImage image = run.preview()->image();
    ASSERT_FALSE(image.isNull());
    const QPoint centre(image.width() / 2, image.height() / 2);
    EXPECT_TRUE(near(image.pixel(centre), Qt::red));

    // Gray output in the panel: the preview is gray.
    auto* colour = qobject_cast<QComboBox*>(
        hosttest::controlLabelled(run.dialog->panelPage(QStringLiteral("Image Options")), QStringLiteral("Color Mode:")));
    ASSERT_TRUE(hosttest::chooseByKeyboard(colour, QStringLiteral("Grayscale")));
    ASSERT_TRUE(hosttest::waitUntil([&] { return grayNotWhite(run.preview()->image().pixel(centre)); }));

    // Pages, and pages per sheet.
    QTest::keyClicks(run.dialog->pageRangesEdit(), QStringLiteral("2-3"));
    ASSERT_TRUE(hosttest::waitUntil([&] { return run.preview()->sheetCount() == 2 && !run.preview()->busy(); }));
    ASSERT_TRUE(hosttest::chooseByKeyboard(run.dialog->pageSetup()->numberUpBox(), QStringLiteral("4")));
    ASSERT_TRUE(hosttest::waitUntil([&] { return run.preview()->sheetCount() == 1 && !run.preview()->busy(); }));
    EXPECT_EQ(run.preview()->pageCount(), 2);

    // Pages that are not a list of ranges: Print says so and does nothing.
    QTest::keyClicks(run.dialog->pageRangesEdit(), QStringLiteral("-"));
    run.dialog->outputFileEdit()->setText(QString::fromStdString(dir.file("out.pdf")));
    EXPECT_FALSE(run.dialog->print());
    EXPECT_TRUE(run.dialog->messageLabel()->text().contains(QStringLiteral("pages")))
        << run.dialog->messageLabel()->text().toStdString();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("out.pdf"))));
}

TEST(HostPreview, ADocumentNoFilterConvertsHasNoPreviewButPrints)
{
    lwtest::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes.push_back(char((i * 131) & 0xff));
    PreviewDialog run(QString::fromStdString(dir.write("data.bin", bytes)));
    ASSERT_TRUE(run.rendered());
    EXPECT_TRUE(run.preview()->image().isNull());
    EXPECT_TRUE(run.preview()->statusLabel()->text().contains(QStringLiteral("preview"), Qt::CaseInsensitive))
        << run.preview()->statusLabel()->text().toStdString();
    run.dialog->outputFileEdit()->setText(QString::fromStdString(dir.file("out.bin")));
    EXPECT_TRUE(run.dialog->print()) << run.dialog->messageLabel()->text().toStdString();
}

} // namespace

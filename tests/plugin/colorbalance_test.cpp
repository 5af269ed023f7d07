// The Color Balance dialog opened from the Image Options panel, driven
// through its widgets with keys and the mouse while its modal loop runs: live
// editing, OK, Cancel, Default, gray output, and the bars' lit boxes in both
// of their forms, checked on rendered pixels.
#include "ColorBalance.h"
#include "CustomBox.h"
#include "ModalDialog.h"
#include "PDEBundle.h"
#include "PrinterPDE-Brisa_Ref.h"
#include "RecordingHost.h"

#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<PDEBundle> bundle()
{
    static auto shared = std::make_shared<PDEBundle>(QStringLiteral(PRINTPANELS_PLUGIN_DIR));
    return shared;
}

std::vector<int> values()
{
    return std::vector<int>(ColorDensitySetting.begin(), ColorDensitySetting.end());
}

class ColorBalanceDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ColorBlanceRes.reset();
        ColorDensitySetting.fill(0);
        stateEnableButton = statetargetColorButton = 0;
        CBstate = false;
    }

    void open(const std::string& ppdPath = PRINTPANELS_PPD)
    {
        ppd = std::make_unique<PpdFile>(ppdPath);
        host = std::make_unique<RecordingHost>(ppd->get());
        panel = std::make_unique<PrinterPDECorvane5170>(host.get(), bundle());
        panel->panelView()->show();
        panel->willShow();
    }

    // Presses "Color Balance..." and runs `inside` while the dialog is up;
    // the dialog is cancelled afterwards if `inside` left it open.
    void withDialog(const std::function<void(ColorBalance&)>& inside)
    {
        const bool ran = lwtest::inModalDialog(
            [this] { QTest::mouseClick(panel->colorBalanceButton, Qt::LeftButton); },
            [&](QDialog* window) {
                ColorBalance* cb = panel->colorBalance();
                ASSERT_EQ(cb->window, window);
                inside(*cb);
            });
        ASSERT_TRUE(ran) << "the dialog did not open";
        EXPECT_EQ(panel->colorBalance()->window, nullptr) << "the window outlived the opening";
    }

    std::unique_ptr<PpdFile> ppd;
    std::unique_ptr<RecordingHost> host;
    std::unique_ptr<PrinterPDECorvane5170> panel;
};

void typeInto(QLineEdit* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

TEST_F(ColorBalanceDialog, EditsAreLiveAndCancelRestoresAllTwelve)
{
    open();
    withDialog([](ColorBalance& cb) {
        EXPECT_EQ(cb.window->windowTitle(), QStringLiteral("Color Balance"));
        EXPECT_FALSE(cb.EnableButton->isChecked());
        EXPECT_FALSE(cb.TextOne->isEnabled());
        EXPECT_EQ(cb.TextThree->text(), QStringLiteral("0"));
        EXPECT_EQ(cb.sTextOne->buddy(), cb.TextOne); // the row caption names the field

        cb.EnableButton->setFocus();
        QTest::keyClick(cb.EnableButton, Qt::Key_Space);
        ASSERT_TRUE(cb.TextThree->isEnabled());
        cb.targetColorButton->setFocus();
        QTest::keyClick(cb.targetColorButton, Qt::Key_Down); // Cyan
        ASSERT_EQ(cb.targetColorButton->currentIndex(), 1);

        // Shadows of cyan: "-" alone stores nothing, "-2" stores -2.
        typeInto(cb.TextThree, QStringLiteral("-"));
        EXPECT_EQ(ColorDensitySetting[5], 0);
        QTest::keyClicks(cb.TextThree, QStringLiteral("2"));
        EXPECT_EQ(ColorDensitySetting[5], -2);
        EXPECT_EQ(cb.StepperThree->value(), -2);
        // A refused keystroke changes nothing.
        QTest::keyClicks(cb.TextThree, QStringLiteral("7"));
        EXPECT_EQ(cb.TextThree->text(), QStringLiteral("-2"));

        // The stepper of the highlights row writes its field.
        cb.StepperOne->setFocus();
        QTest::keyClick(cb.StepperOne, Qt::Key_Up);
        EXPECT_EQ(ColorDensitySetting[3], 1);
        EXPECT_EQ(cb.TextOne->text(), QStringLiteral("1"));

        // Black: the fields show black's values; a cleared field means 0.
        QTest::keyClick(cb.targetColorButton, Qt::Key_Up);
        EXPECT_EQ(cb.TextThree->text(), QStringLiteral("0"));
        typeInto(cb.TextTwo, QStringLiteral("3"));
        EXPECT_EQ(ColorDensitySetting[1], 3);
        QTest::keyClick(cb.TextTwo, Qt::Key_Backspace);
        EXPECT_EQ(ColorDensitySetting[1], 0);
        EXPECT_EQ(cb.TextTwo->text(), QStringLiteral("0"));
        typeInto(cb.TextTwo, QStringLiteral("-3"));

        EXPECT_EQ(values(), (std::vector<int>{0, -3, 0, 1, 0, -2, 0, 0, 0, 0, 0, 0}));
        QTest::keyClick(cb.TextTwo, Qt::Key_Escape); // Cancel
    });
    EXPECT_EQ(values(), std::vector<int>(12, 0));
    EXPECT_FALSE(ColorBlanceRes.has_value());
    EXPECT_EQ(stateEnableButton, 0);
    // Nothing to commit at print time either.
    host->take();
    panel->shouldPrint();
    EXPECT_TRUE(host->take().empty());
}

TEST_F(ColorBalanceDialog, OkCommitsOnlyWithTheBoxOnAndTheDialogRemembersItsState)
{
    open();
    withDialog([](ColorBalance& cb) {
        cb.EnableButton->click();
        cb.targetColorButton->setCurrentIndex(2);
        emit cb.targetColorButton->activated(2);
        typeInto(cb.TextOne, QStringLiteral("2"));
        cb.EnableButton->click(); // off again: the fields show 0, the values stay
        EXPECT_EQ(cb.TextOne->text(), QStringLiteral("0"));
        QTest::keyClick(cb.TextOne, Qt::Key_Return); // OK
    });
    ASSERT_TRUE(ColorBlanceRes.has_value());
    EXPECT_EQ(*ColorBlanceRes, std::vector<int>(12, 0));
    EXPECT_FALSE(CBstate);
    EXPECT_EQ(ColorDensitySetting[6], 2);

    withDialog([](ColorBalance& cb) {
        EXPECT_FALSE(cb.EnableButton->isChecked());
        EXPECT_EQ(cb.targetColorButton->currentIndex(), 2); // remembered at the last OK
        cb.EnableButton->click();
        EXPECT_EQ(cb.TextOne->text(), QStringLiteral("2")); // the kept value
        QTest::mouseClick(cb.okButton, Qt::LeftButton);
    });
    EXPECT_EQ(*ColorBlanceRes, (std::vector<int>{0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(CBstate);
    EXPECT_EQ(stateEnableButton, 1);
    EXPECT_EQ(statetargetColorButton, 2);

    // Saved, and shown again by the next panel: restore brings the densities
    // and the box back.
    ASSERT_TRUE(panel->saveValuesAndReturnError(nullptr));
    const auto settings = host->settings;
    ColorBlanceRes.reset();
    ColorDensitySetting.fill(0);
    open();
    host->settings = settings;
    panel->restoreValuesAndReturnError(nullptr);
    withDialog([](ColorBalance& cb) {
        EXPECT_TRUE(cb.EnableButton->isChecked());
        EXPECT_EQ(cb.targetColorButton->currentIndex(), 2);
        EXPECT_EQ(cb.TextOne->text(), QStringLiteral("2"));
    });
}

TEST_F(ColorBalanceDialog, GrayOutputForcesBlackButCommitsEveryColour)
{
    open();
    panel->outputcolorButton->setCurrentIndex(1);
    emit panel->outputcolorButton->activated(1); // Grayscale
    ColorDensitySetting[4] = 2;                  // cyan, from an earlier use
    stateEnableButton = 1;
    statetargetColorButton = 3;
    withDialog([](ColorBalance& cb) {
        EXPECT_EQ(cb.targetColorButton->currentIndex(), 0);
        auto* items = qobject_cast<QStandardItemModel*>(cb.targetColorButton->model());
        for (int item = 1; item <= 3; ++item)
            EXPECT_FALSE(items->item(item)->isEnabled()) << item;
        cb.okButton->click();
    });
    EXPECT_EQ((*ColorBlanceRes)[4], 2);
}

TEST_F(ColorBalanceDialog, DefaultTakesThePpdDefaultsAndSwitchesTheBoxOff)
{
    const std::string path = editedPpd({"QVColorDensityYellowLow"},
                                       {{"*DefaultQVColorDensityCyanMid: 0", "*DefaultQVColorDensityCyanMid: -1"},
                                        {"*DefaultQVColorDensityBlackHigh: 0", "*DefaultQVColorDensityBlackHigh: 3"}});
    open(path);
    std::remove(path.c_str());
    ColorDensitySetting.fill(2);
    stateEnableButton = 1;
    withDialog([](ColorBalance& cb) {
        QTest::mouseClick(cb.defaultButton, Qt::LeftButton);
        EXPECT_FALSE(cb.EnableButton->isChecked());
        EXPECT_EQ(values(), (std::vector<int>{0, 0, 3, 0, -1, 0, 0, 0, 0, 0, 0, 0}));
        cb.okButton->click();
    });
    EXPECT_EQ(*ColorBlanceRes, std::vector<int>(12, 0));
}

// ---------------------------------------------------------------------------
// The bars

QColor pixel(const QImage& image, QWidget* window, QWidget* box, QPoint at)
{
    return image.pixelColor(box->mapTo(window, at));
}

// What box n (1..7) of a column shows: its inside and its frame.
struct BoxLook {
    QColor inside, frame;
    bool operator==(const BoxLook& o) const { return inside == o.inside && frame == o.frame; }
};

std::vector<BoxLook> column(ColorBalance& cb, int c)
{
    QApplication::processEvents();
    const QImage image = cb.window->grab().toImage();
    std::vector<BoxLook> out;
    for (int n = 0; n < 7; ++n) {
        QWidget* box = cb.drawnBars ? static_cast<QWidget*>(cb.drawnBoxes[c][n]) : cb.layoutBars[c][n];
        EXPECT_TRUE(box && box->isVisible());
        if (!box)
            return out;
        out.push_back({pixel(image, cb.window, box, box->rect().center()), pixel(image, cb.window, box, {0, 0})});
    }
    return out;
}

std::vector<BoxLook> lit(int litFrom, const QColor& colour)
{
    std::vector<BoxLook> out;
    for (int n = 1; n <= 7; ++n)
        out.push_back({n >= litFrom ? colour : QColor(Qt::white), QColor(Qt::black)});
    return out;
}

TEST_F(ColorBalanceDialog, BarsLightFromTheBottomAlikeInBothForms)
{
    std::vector<std::vector<BoxLook>> seen[2];
    for (bool drawn : {false, true}) {
        SCOPED_TRACE(drawn ? "drawn boxes" : "form boxes");
        open();
        panel->colorBalance()->drawnBars = drawn;
        stateEnableButton = 1;
        statetargetColorButton = 1; // cyan
        ColorDensitySetting[3] = -3;
        ColorDensitySetting[4] = 0;
        ColorDensitySetting[5] = 3;
        withDialog([&](ColorBalance& cb) {
            EXPECT_EQ(cb.mainIner->isVisible(), !drawn);
            seen[drawn].push_back(column(cb, 0));
            seen[drawn].push_back(column(cb, 1));
            seen[drawn].push_back(column(cb, 2));
            EXPECT_EQ(seen[drawn][0], lit(7, ColorBalance::barColour(3)));
            EXPECT_EQ(seen[drawn][1], lit(4, ColorBalance::barColour(4)));
            EXPECT_EQ(seen[drawn][2], lit(1, ColorBalance::barColour(5)));

            // Out of range values and indexes leave the bars as they were.
            ColorDensitySetting[3] = 5;
            cb.fillcolorbars(3);
            cb.fillcolorbars(12);
            cb.fillcolorbars(-1);
            EXPECT_EQ(column(cb, 0), seen[drawn][0]);
            // Yellow shadows in their own colour.
            ColorDensitySetting[11] = 3;
            cb.fillcolorbars(11);
            EXPECT_EQ(column(cb, 2), lit(1, QColor(211, 216, 73)));
            // The box off: every box white.
            cb.EnableButton->click();
            EXPECT_EQ(column(cb, 1), lit(8, Qt::white));
        });
    }
    EXPECT_EQ(seen[0], seen[1]);

    CustomBox plain; // never given a colour: solid black
    plain.resize(20, 10);
    const QImage image = plain.grab().toImage();
    EXPECT_EQ(image.pixelColor(10, 5), QColor(Qt::black));
}

} // namespace

// The Image Options panel through a recording host over the printer's PPD:
// the requests it sends for each rule, settings round trips, odd PPDs and
// the print-time commit.
#include "PDEBundle.h"
#include "PDETool.h"
#include "PrinterPDE-Brisa_Ref.h"
#include "RecordingHost.h"

#include <QDir>
#include <QTest>
#include <QStandardItemModel>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Requests = std::vector<std::string>;

std::shared_ptr<PDEBundle> bundle()
{
    static auto shared = std::make_shared<PDEBundle>(QStringLiteral(PRINTPANELS_PLUGIN_DIR));
    return shared;
}

// Chooses item `index` of a pop-up as the user would.
void choose(QComboBox* popUp, int index)
{
    ASSERT_NE(popUp, nullptr);
    popUp->setCurrentIndex(index);
    emit popUp->activated(index);
}

bool itemEnabled(QComboBox* popUp, int item)
{
    auto* model = qobject_cast<QStandardItemModel*>(popUp->model());
    return model->item(item)->isEnabled();
}

class ImageOptionsPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ColorBlanceRes.reset();
        ColorDensitySetting.fill(0);
        stateEnableButton = statetargetColorButton = 0;
    }

    // A panel over `ppdPath`, shown once as the host shows it; the requests of
    // the opening are dropped.
    void open(const std::string& ppdPath = PRINTPANELS_PPD, bool constraintHandling = true)
    {
        ppd = std::make_unique<PpdFile>(ppdPath);
        ASSERT_NE(ppd->get(), nullptr);
        host = std::make_unique<RecordingHost>(ppd->get());
        host->constraintHandling = constraintHandling;
        panel = std::make_unique<PrinterPDECorvane5170>(host.get(), bundle());
        ASSERT_NE(panel->panelView(), nullptr);
        panel->willShow();
        host->take();
    }

    std::unique_ptr<PpdFile> ppd;
    std::unique_ptr<RecordingHost> host;
    std::unique_ptr<PrinterPDECorvane5170> panel;
};

TEST_F(ImageOptionsPanel, FillsControlsFromThePpd)
{
    ppd = std::make_unique<PpdFile>(PRINTPANELS_PPD);
    host = std::make_unique<RecordingHost>(ppd->get());
    panel = std::make_unique<PrinterPDECorvane5170>(host.get(), bundle());
    EXPECT_EQ(panel->supportedPPDOptionKeys(),
              (QStringList{"ColorModel", "DrvResolution", "ImageType", "ImageAdjustmentMode", "Screen", "Brightness",
                           "QVColorDensityBlackLow", "QVColorDensityBlackMid", "QVColorDensityBlackHigh",
                           "QVColorDensityCyanLow", "QVColorDensityCyanMid", "QVColorDensityCyanHigh",
                           "QVColorDensityMagentaLow", "QVColorDensityMagentaMid", "QVColorDensityMagentaHigh",
                           "QVColorDensityYellowLow", "QVColorDensityYellowMid", "QVColorDensityYellowHigh",
                           "TonerMode", "GrayGuarantee"}));
    panel->panelView();
    panel->willShow();
    // The opening applies the gray-guarantee rule and records image type and
    // toner save with the host.
    EXPECT_EQ(host->take(), (Requests{"ImageType=Normal", "TonerMode=0"}));
    EXPECT_EQ(panel->viewWithTag(1)->property("text").toString(), QStringLiteral("Color Mode:"));
    EXPECT_EQ(panel->viewWithTag(7)->property("text").toString(), QStringLiteral("Toner Save:"));
    EXPECT_EQ(panel->TonerSaveButton->itemText(3), QStringLiteral("By Image Type"));
    EXPECT_TRUE(panel->GrayGuaranteeButton->isChecked()); // never restored: on
    EXPECT_TRUE(panel->GrayGuaranteeButton->isEnabled());
    EXPECT_EQ(panel->defaultButton->text(), QStringLiteral("&Default"));
    // Every pop-up is announced by its label.
    EXPECT_EQ(qobject_cast<QLabel*>(panel->viewWithTag(3))->buddy(), panel->imagetypeButton);
}

TEST_F(ImageOptionsPanel, GrayColourModeTurnsGrayGuaranteeOffAndAsksForImageTypeOff)
{
    open();
    choose(panel->outputcolorButton, 1); // Gray
    EXPECT_EQ(host->take(), (Requests{"ColorModel=Gray", "ImageType=Off"}));
    EXPECT_EQ(CBColorMode, 1);
    EXPECT_FALSE(panel->GrayGuaranteeButton->isChecked());
    EXPECT_FALSE(panel->GrayGuaranteeButton->isEnabled());
    EXPECT_EQ(panel->colorModeText->palette().color(QPalette::WindowText),
              QPalette().color(QPalette::Disabled, QPalette::WindowText));
    EXPECT_EQ(ppd->marked("ImageType"), "Off");
    // The pop-up shows it, so the toner-save step keeps it.
    EXPECT_EQ(panel->imagetypeButton->currentText(), QStringLiteral("Off"));
    choose(panel->TonerSaveButton, 0);
    EXPECT_EQ(host->take(), (Requests{"ImageType=Off", "TonerMode=0"}));

    // Back to colour: the box comes back, still off, and says so.
    choose(panel->outputcolorButton, 0);
    EXPECT_EQ(host->take(), (Requests{"ColorModel=RGB", "GrayGuarantee=False"}));
    EXPECT_EQ(CBColorMode, 0);
    EXPECT_TRUE(panel->GrayGuaranteeButton->isEnabled());
    EXPECT_FALSE(panel->GrayGuaranteeButton->isChecked());
    EXPECT_EQ(panel->colorModeText->palette().color(QPalette::WindowText),
              QPalette().color(QPalette::Active, QPalette::WindowText));
}

TEST_F(ImageOptionsPanel, TonerSavingDisablesGrayGuaranteeWithoutTellingThePpd)
{
    open();
    choose(panel->TonerSaveButton, 1); // "1"
    EXPECT_EQ(host->take(), (Requests{"ImageType=Normal", "TonerMode=1"}));
    EXPECT_FALSE(panel->GrayGuaranteeButton->isEnabled());
    EXPECT_FALSE(panel->GrayGuaranteeButton->isChecked());
    choose(panel->TonerSaveButton, 0); // back to "0": enabled, state kept
    EXPECT_EQ(host->take(), (Requests{"ImageType=Normal", "TonerMode=0"}));
    EXPECT_TRUE(panel->GrayGuaranteeButton->isEnabled());
    EXPECT_FALSE(panel->GrayGuaranteeButton->isChecked());

    panel->GrayGuaranteeButton->click();
    EXPECT_EQ(host->take(), (Requests{"GrayGuarantee=True"}));
    panel->GrayGuaranteeButton->click();
    EXPECT_EQ(host->take(), (Requests{"GrayGuarantee=False"}));
}

TEST_F(ImageOptionsPanel, OnlyNormalImageTypeLeavesTonerSaveFree)
{
    open();
    choose(panel->imagetypeButton, 1); // Photo
    EXPECT_EQ(host->take(), (Requests{"ImageType=Photo", "TonerMode=3"}));
    EXPECT_EQ(panel->TonerSaveButton->currentIndex(), 3);
    for (int item = 0; item < 3; ++item)
        EXPECT_FALSE(itemEnabled(panel->TonerSaveButton, item)) << item;
    EXPECT_TRUE(itemEnabled(panel->TonerSaveButton, 3));
    EXPECT_EQ(ppd->marked("TonerMode"), "3");

    choose(panel->imagetypeButton, 0); // Normal: free again, item 3 kept
    EXPECT_EQ(host->take(), (Requests{"ImageType=Normal", "TonerMode=3"}));
    EXPECT_EQ(panel->TonerSaveButton->currentIndex(), 3);
    for (int item = 0; item < 3; ++item)
        EXPECT_TRUE(itemEnabled(panel->TonerSaveButton, item)) << item;
}

TEST_F(ImageOptionsPanel, DefaultButtonResetsColourScreenTonerAndGrayGuarantee)
{
    open();
    choose(panel->screenButton, 2);
    choose(panel->TonerSaveButton, 2);
    choose(panel->imagequalityButton, 1);
    host->take();
    panel->defaultButton->click();
    EXPECT_EQ(host->take(), (Requests{"ColorModel=RGB", "Screen=Auto", "ImageType=Normal", "TonerMode=0",
                                      "ColorModel=RGB", "GrayGuarantee=True"}));
    EXPECT_EQ(panel->screenButton->currentIndex(), 0);
    EXPECT_EQ(panel->TonerSaveButton->currentIndex(), 0);
    EXPECT_EQ(panel->imagequalityButton->currentIndex(), 1); // not reset
    EXPECT_TRUE(panel->GrayGuaranteeButton->isChecked());
}

TEST_F(ImageOptionsPanel, DefaultLeavesGrayGuaranteeOffWhenItsSecondChoiceIsTheDefault)
{
    const std::string path = editedPpd({}, {{"*DefaultGrayGuarantee: True", "*DefaultGrayGuarantee: False"}});
    open(path);
    std::remove(path.c_str());
    panel->GrayGuaranteeButton->setChecked(true);
    panel->defaultButton->click();
    EXPECT_FALSE(panel->GrayGuaranteeButton->isChecked());
    EXPECT_EQ(host->take().back(), "GrayGuarantee=False");
}

TEST_F(ImageOptionsPanel, BrightnessMarksTheMatchingChoiceWhenMovedAndWhenRestored)
{
    open();
    panel->brightnessSlider->setFocus();
    QTest::keyClick(panel->brightnessSlider, Qt::Key_Left);
    EXPECT_EQ(host->take(), (Requests{"Brightness=-1"}));
    EXPECT_EQ(ppd->marked("Brightness"), "-1");
    panel->saveValuesAndReturnError(nullptr);
    const auto settings = host->settings;
    open();
    host->settings = settings;
    panel->restoreValuesAndReturnError(nullptr);
    EXPECT_EQ(panel->brightnessSlider->value(), -1);
    EXPECT_EQ(ppd->marked("Brightness"), "-1");
}

TEST_F(ImageOptionsPanel, RefusedChoiceSnapsBackToTheMarkedOne)
{
    open();
    host->refused.insert("Screen=Fine");
    choose(panel->screenButton, 1);
    EXPECT_EQ(host->take(), (Requests{"Screen=Fine"}));
    EXPECT_EQ(panel->screenButton->currentIndex(), 0);
    EXPECT_EQ(panel->screenButton->currentText(), QStringLiteral("Auto"));
}

TEST_F(ImageOptionsPanel, SavedValuesComeBackInANewPanel)
{
    open();
    choose(panel->outputcolorButton, 1);
    choose(panel->imagequalityButton, 1);
    choose(panel->imageadjustButton, 2);
    choose(panel->screenButton, 3);
    choose(panel->imagetypeButton, 1);
    panel->brightnessSlider->setValue(-2);
    ASSERT_TRUE(panel->saveValuesAndReturnError(nullptr));
    EXPECT_EQ(host->keysWritten,
              (Requests{"colormodeSettings", "imagequalitySettings", "imagetypeSettings", "imageadjustSettings",
                        "TonerSaveSettings", "screenSettings", "brightnessSettings", "GrayGuaranteeSettings",
                        "stateEnableSettings", "statetargetColorSettings"}));
    EXPECT_EQ(host->settings["colormodeSettings"], QStringLiteral("1"));
    EXPECT_EQ(host->settings["GrayGuaranteeSettings"], QStringLiteral("0"));
    EXPECT_EQ(host->settings["brightnessSettings"], QStringLiteral("-2"));

    // The next dialog: a new PPD record and panel over the same settings.
    const auto settings = host->settings;
    open();
    host->settings = settings;
    ASSERT_TRUE(panel->restoreValuesAndReturnError(nullptr));
    EXPECT_EQ(panel->outputcolorButton->currentIndex(), 1);
    EXPECT_EQ(panel->imagequalityButton->currentIndex(), 1);
    EXPECT_EQ(panel->imageadjustButton->currentIndex(), 2);
    EXPECT_EQ(panel->screenButton->currentIndex(), 3);
    EXPECT_EQ(panel->imagetypeButton->currentText(), QStringLiteral("Off")); // gray output
    EXPECT_EQ(panel->TonerSaveButton->currentIndex(), 3);
    EXPECT_EQ(panel->brightnessSlider->value(), -2);
    EXPECT_FALSE(panel->GrayGuaranteeButton->isEnabled()); // gray mode rule re-applied
    EXPECT_EQ(ppd->marked("ColorModel"), "Gray");
    EXPECT_EQ(ppd->marked("Screen"), "Gradation");
    EXPECT_EQ(ppd->marked("DrvResolution"), "1200dpi");
    EXPECT_EQ(ppd->marked("ImageAdjustmentMode"), "Natural");
    const Requests requests = host->take();
    EXPECT_NE(std::find(requests.begin(), requests.end(), "ImageType=Off"), requests.end());
    // No Color Balance result: no density keys were written or read.
    EXPECT_FALSE(ColorBlanceRes.has_value());
}

TEST_F(ImageOptionsPanel, ImageTypeAndTonerSaveComeBackInColour)
{
    open();
    choose(panel->imagetypeButton, 2); // Graphics: toner save by image type
    ASSERT_TRUE(panel->saveValuesAndReturnError(nullptr));
    const auto settings = host->settings;
    open();
    host->settings = settings;
    ASSERT_TRUE(panel->restoreValuesAndReturnError(nullptr));
    EXPECT_EQ(panel->imagetypeButton->currentText(), QStringLiteral("Graphics"));
    EXPECT_EQ(panel->TonerSaveButton->currentIndex(), 3);
    EXPECT_FALSE(itemEnabled(panel->TonerSaveButton, 0));
    EXPECT_EQ(ppd->marked("ImageType"), "Graphics");
    EXPECT_EQ(ppd->marked("TonerMode"), "3");
}

TEST_F(ImageOptionsPanel, BadStoredValuesLeaveControlsAlone)
{
    open();
    host->settings = {{"colormodeSettings", "7"},      // the PPD has two colour modes
                      {"screenSettings", "two"},       // not a number
                      {"imagequalitySettings", "-1"},  // no selection when saved
                      {"BlackLowSettings", "9"}};      // only one density, out of range
    ASSERT_TRUE(panel->restoreValuesAndReturnError(nullptr));
    EXPECT_EQ(panel->outputcolorButton->currentIndex(), 0);
    EXPECT_EQ(panel->screenButton->currentIndex(), 0);
    EXPECT_EQ(panel->imagequalityButton->currentIndex(), 0);
    EXPECT_FALSE(ColorBlanceRes.has_value());
    EXPECT_EQ(ColorDensitySetting[0], 0);
}

TEST_F(ImageOptionsPanel, DensitiesGoToTheJobOnlyWhenPrintingToAPrinter)
{
    open();
    ColorBlanceRes = std::vector<int>{-3, -2, -1, 0, 1, 2, 3, 0, 0, 0, 0, 1};
    host->destination = kPMDestinationFile;
    EXPECT_TRUE(panel->shouldPrint());
    EXPECT_TRUE(host->take().empty());

    host->destination = kPMDestinationPrinter;
    EXPECT_TRUE(panel->shouldPrint());
    EXPECT_EQ(host->take(),
              (Requests{"QVColorDensityBlackLow=-3", "QVColorDensityBlackMid=-2", "QVColorDensityBlackHigh=-1",
                        "QVColorDensityCyanLow=0", "QVColorDensityCyanMid=1", "QVColorDensityCyanHigh=2",
                        "QVColorDensityMagentaLow=3", "QVColorDensityMagentaMid=0", "QVColorDensityMagentaHigh=0",
                        "QVColorDensityYellowLow=0", "QVColorDensityYellowMid=0", "QVColorDensityYellowHigh=1"}));
    EXPECT_EQ(ppd->marked("QVColorDensityBlackLow"), "-3");

    // Saved, and brought back by a newly loaded plug-in (no result yet).
    ASSERT_TRUE(panel->saveValuesAndReturnError(nullptr));
    EXPECT_EQ(host->settings["MagentaLowSettings"], QStringLiteral("3"));
    const auto settings = host->settings;
    ColorBlanceRes.reset();
    open();
    host->settings = settings;
    panel->restoreValuesAndReturnError(nullptr);
    ASSERT_TRUE(ColorBlanceRes.has_value());
    EXPECT_EQ(*ColorBlanceRes, (std::vector<int>{-3, -2, -1, 0, 1, 2, 3, 0, 0, 0, 0, 1}));
    EXPECT_EQ(ColorDensitySetting[11], 1);

    // No result at all: nothing is marked.
    ColorBlanceRes.reset();
    host->take();
    panel->shouldPrint();
    EXPECT_TRUE(host->take().empty());
}

TEST_F(ImageOptionsPanel, PpdWithoutTonerMode)
{
    const std::string path = editedPpd({"TonerMode"});
    open(path);
    std::remove(path.c_str());
    EXPECT_FALSE(panel->supportedPPDOptionKeys().contains(QStringLiteral("TonerMode")));
    EXPECT_FALSE(panel->TonerSaveButton->isEnabled());
    EXPECT_EQ(panel->TonerSaveButton->count(), 0);
    // No toner saving possible: gray guarantee only needs colour.
    EXPECT_TRUE(panel->GrayGuaranteeButton->isEnabled());
    choose(panel->imagetypeButton, 1);
    EXPECT_EQ(host->take(), (Requests{"ImageType=Photo"}));
    panel->defaultButton->click();
    panel->saveValuesAndReturnError(nullptr);
    EXPECT_EQ(host->settings["TonerSaveSettings"], QStringLiteral("-1"));
    EXPECT_FALSE(panel->summaryInfo().contains(QStringLiteral("Toner Save:")));
}

TEST_F(ImageOptionsPanel, WithoutConstraintHandlingOnlyTheGrayRequestReachesThePpd)
{
    open(PRINTPANELS_PPD, false);
    choose(panel->screenButton, 1);
    choose(panel->imagetypeButton, 2);
    EXPECT_TRUE(host->take().empty());
    EXPECT_EQ(panel->screenSelection->ppdTitle(), QStringLiteral("Fine"));
    EXPECT_EQ(panel->tonersaveSelection->ppdTitle(), QStringLiteral("3"));
    // The gray-mode request needs the host to take requests at all.
    choose(panel->outputcolorButton, 1);
    EXPECT_TRUE(host->take().empty());
    EXPECT_EQ(ppd->marked("Screen"), "Auto");
}

TEST_F(ImageOptionsPanel, SummaryShowsChosenValuesButNotImageQuality)
{
    open();
    panel->restoreValuesAndReturnError(nullptr);
    QMap<QString, QString> summary = panel->summaryInfo();
    EXPECT_EQ(summary.value(QStringLiteral("Color Mode:")), QStringLiteral("Color"));
    EXPECT_EQ(summary.value(QStringLiteral("Image Type:")), QStringLiteral("Normal"));
    EXPECT_EQ(summary.value(QStringLiteral("Gray Guarantee:")), QStringLiteral("On"));
    EXPECT_FALSE(summary.contains(QStringLiteral("Image Quality:")));
    EXPECT_FALSE(summary.contains(QStringLiteral("Brightness:")));
    panel->GrayGuaranteeButton->click();
    EXPECT_EQ(panel->summaryInfo().value(QStringLiteral("Gray Guarantee:")), QStringLiteral("Off"));
}

TEST_F(ImageOptionsPanel, NoSettingsAndNoHostAreHarmless)
{
    open();
    host->withSettings = false;
    EXPECT_TRUE(panel->saveValuesAndReturnError(nullptr));
    EXPECT_TRUE(panel->restoreValuesAndReturnError(nullptr));
    EXPECT_TRUE(host->keysWritten.empty());

    PrinterPDECorvane5170 bare; // no host, no PPD, no bundle
    EXPECT_EQ(bare.panelView(), nullptr);
    bare.willShow();
    bare.defaultButtonPushed(nullptr);
    EXPECT_TRUE(bare.supportedPPDOptionKeys().isEmpty());
    EXPECT_TRUE(bare.summaryInfo().isEmpty());
    EXPECT_TRUE(bare.shouldPrint());
}

TEST_F(ImageOptionsPanel, ViewClosedByTheHostLeavesThePanelSafe)
{
    open();
    delete panel->panelView();
    EXPECT_EQ(panel->outputcolorButton, nullptr);
    EXPECT_TRUE(panel->saveValuesAndReturnError(nullptr)); // loads a fresh view
    ASSERT_NE(panel->outputcolorButton, nullptr);
}

} // namespace

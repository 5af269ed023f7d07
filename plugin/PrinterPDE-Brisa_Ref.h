// The "Image Options" panel.
#pragma once

#include "PDEChoice.h"
#include "PDELogging.h"
#include "PDEPlugin.h"
#include "PluginState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QSize>
#include <QSlider>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class PDEBundle;
class ColorBalance;

// PPD keywords of the panel's options.
inline constexpr char kColorModelKey[] = "ColorModel";
inline constexpr char kResolutionKey[] = "DrvResolution";
inline constexpr char kImageTypeKey[] = "ImageType";
inline constexpr char kImageAdjustKey[] = "ImageAdjustmentMode";
inline constexpr char kScreenKey[] = "Screen";
inline constexpr char kTonerModeKey[] = "TonerMode";
inline constexpr char kBrightnessKey[] = "Brightness";
inline constexpr char kGrayGuaranteeKey[] = "GrayGuarantee";
#define PDE_OKEY(name) inline const QString kO##name = QString::fromLatin1(k##name)
PDE_OKEY(ColorModelKey);
PDE_OKEY(ResolutionKey);
PDE_OKEY(ImageTypeKey);
PDE_OKEY(ImageAdjustKey);
PDE_OKEY(ScreenKey);
PDE_OKEY(TonerModeKey);
PDE_OKEY(BrightnessKey);
PDE_OKEY(GrayGuaranteeKey);
#undef PDE_OKEY

// Density keywords in density order (see PluginState.h).
inline constexpr std::array<const char*, kDensityCount> kColorDensityKeys = {
    "QVColorDensityBlackLow",   "QVColorDensityBlackMid",   "QVColorDensityBlackHigh",
    "QVColorDensityCyanLow",    "QVColorDensityCyanMid",    "QVColorDensityCyanHigh",
    "QVColorDensityMagentaLow", "QVColorDensityMagentaMid", "QVColorDensityMagentaHigh",
    "QVColorDensityYellowLow",  "QVColorDensityYellowMid",  "QVColorDensityYellowHigh"};
// Print-settings keys of the densities, same order.
inline constexpr std::array<const char*, kDensityCount> kColorDensitySettingsKeys = {
    "BlackLowSettings",   "BlackMidSettings",   "BlackHighSettings", "CyanLowSettings",
    "CyanMidSettings",    "CyanHighSettings",   "MagentaLowSettings", "MagentaMidSettings",
    "MagentaHighSettings", "YellowLowSettings", "YellowMidSettings", "YellowHighSettings"};

inline const QString kOBNibName = QStringLiteral("PDEView");
inline const QString kPrintAPPKindID = QStringLiteral("com.PrinterPDE");

class PrinterPDECorvane5170;

// The panel's six pop-up options. Every place that handles "each pop-up"
// walks this table, in the order of one of the index lists below.
struct PopUpOption {
    const char* keyword;                               // PPD keyword
    ppd_option_t* PrinterPDECorvane5170::*option;      // the option found in the PPD
    PDEChoiceArray* choices;                           // its plug-in-wide choices array
    PDEChoicePtr PrinterPDECorvane5170::*selection;    // the current choice
    QComboBox* PrinterPDECorvane5170::*control;        // the pop-up
    int titleTag;                                      // tag of its label in the view
    const char* settingsKey;                           // print-settings key of its index
};
enum PopUp { kColorModePopUp, kImageQualityPopUp, kImageTypePopUp, kImageAdjustPopUp, kScreenPopUp, kTonerSavePopUp };
extern const std::array<PopUpOption, 6> kPopUpOptions; // creation and filling order
// The orders in which the other steps visit the pop-ups.
inline constexpr std::array<PopUp, 6> kUpdateOrder = {kColorModePopUp,  kImageQualityPopUp, kImageTypePopUp,
                                                      kScreenPopUp,     kTonerSavePopUp,    kImageAdjustPopUp};
inline constexpr std::array<PopUp, 6> kMarkedOrder = {kColorModePopUp, kImageQualityPopUp, kImageAdjustPopUp,
                                                      kScreenPopUp,    kImageTypePopUp,    kTonerSavePopUp};
inline constexpr std::array<PopUp, 5> kSummaryOrder = {kColorModePopUp, kImageTypePopUp, kImageAdjustPopUp,
                                                       kTonerSavePopUp, kScreenPopUp};
inline constexpr std::array<PopUp, 6> kSaveOrder = {kColorModePopUp,   kImageQualityPopUp, kImageTypePopUp,
                                                    kImageAdjustPopUp, kTonerSavePopUp,    kScreenPopUp};

class PrinterPDECorvane5170 : public QObject, public PDEPanel {
    Q_OBJECT
    // Control fields, connected when the view is loaded.
    Q_PROPERTY(QPushButton* defaultButton MEMBER defaultButton)
    Q_PROPERTY(QPushButton* colorBalanceButton MEMBER colorBalanceButton)
    Q_PROPERTY(QCheckBox* GrayGuaranteeButton MEMBER GrayGuaranteeButton)
    Q_PROPERTY(QComboBox* outputcolorButton MEMBER outputcolorButton)
    Q_PROPERTY(QComboBox* imagequalityButton MEMBER imagequalityButton)
    Q_PROPERTY(QComboBox* imagetypeButton MEMBER imagetypeButton)
    Q_PROPERTY(QComboBox* imageadjustButton MEMBER imageadjustButton)
    Q_PROPERTY(QComboBox* TonerSaveButton MEMBER TonerSaveButton)
    Q_PROPERTY(QComboBox* screenButton MEMBER screenButton)
    Q_PROPERTY(QSlider* brightnessSlider MEMBER brightnessSlider)
    Q_PROPERTY(QLabel* colorModeText MEMBER colorModeText)
    Q_PROPERTY(QLabel* OutputColorStr MEMBER OutputColorStr)

public:
    // initWithCallback:andBundle:
    PrinterPDECorvane5170(PDEPluginCallback* callback, std::shared_ptr<PDEBundle> bundle);
    // init: no host, so no PPD and every option absent.
    PrinterPDECorvane5170();
    ~PrinterPDECorvane5170() override;

    // PDEPanel
    QWidget* panelView() override;
    QString panelName() override;
    QString panelKind() override { return kPrintAPPKindID; }
    QMap<QString, QString> summaryInfo() override;
    bool shouldShowHelp() override { return true; }
    bool shouldHide() override { return true; }
    void willShow() override;
    bool shouldPrint() override;
    bool saveValuesAndReturnError(QString* error) override;
    bool restoreValuesAndReturnError(QString* error) override;
    QStringList supportedPPDOptionKeys() override;
    void PPDOptionKeyValueDidChange(const QString&, const QString&) override {}
    void panelViewDidResize() override {}

    // Actions of the view's controls (sender: the control, or null).
    Q_INVOKABLE void colorModeBtnPushed(QObject* sender);
    Q_INVOKABLE void changeoutputcolorOption(QObject* sender);
    Q_INVOKABLE void changeimagequalityOption(QObject* sender);
    Q_INVOKABLE void changeimagetypeOption(QObject* sender);
    Q_INVOKABLE void changeimageadjustOption(QObject* sender);
    Q_INVOKABLE void changescreenOption(QObject* sender);
    Q_INVOKABLE void changetonersaveOption(QObject* sender);
    Q_INVOKABLE void changeGrayGuaranteeOption(QObject* sender);
    // The slider's value as the matching Brightness choice.
    Q_INVOKABLE void changebrightnessOption(QObject* sender);
    Q_INVOKABLE void colorBalanceButtonPushed(QObject* sender);
    Q_INVOKABLE void defaultButtonPushed(QObject* sender);
    // Marks the twelve committed densities (at print time).
    void changeColorBlanceOption();

    void initializeUI();
    void updateUI();
    void updateMarkedSelections();
    void getNonPPDSettingsFromPrintSettings();
    void writeNonPPDSettingsToPrintSettings();
    // Fallbacks of old systems; nothing to do here.
    ppd_file_t* getPPDOnTiger() { return nullptr; }
    void getPPDSettingsFromPrintSettingsOnTiger() {}
    void writePPDSettingsToPrintSettingsOnTiger() {}
    void getDuplexMode() {}

    // Shared panel mechanics.
    PDEChoicePtr selectionForPopUp(QComboBox* popUp, const QString& key);
    uint64_t indexOfMarkedOption(ppd_option_t* option, const char* key) const;
    uint64_t querydef(ppd_option_t* option) const;
    void setViewTitleByTag(int tag, ppd_option_t* option);
    void showAdvanced(QObject* sender);
    std::shared_ptr<PDEBundle> getbundle() const { return pluginBundle; }
    void shouldPrintlog(QObject*) {}
    QWidget* viewWithTag(int tag) const;
    ColorBalance* colorBalance() const { return aColorBalance.get(); }

    // Exception hooks (nothing installs them).
    bool exceptionHandler(const PDEException*, bool /*shouldLogException*/, unsigned /*mask*/) { return true; }
    bool printStackTrace(const PDEException& exception);
    void reportException(const PDEException& exception);

    bool useConstraintHandling = false;
    bool canResizeView = false;
    bool hasInited = false;
    int32_t GrayGuaranteeValue = 1;

    ppd_option_t *outputcolorOption = nullptr, *imagequalityOption = nullptr, *imagetypeOption = nullptr,
                 *imageadjustOption = nullptr, *tonersaveOption = nullptr, *screenOption = nullptr,
                 *brightnessOption = nullptr, *GrayGuaranteeOption = nullptr;
    PDEChoicePtr outputcolorSelection, imagequalitySelection, imagetypeSelection, imageadjustSelection,
        screenSelection, tonersaveSelection, GrayGuaranteeSelection;

    // Children of PDEView; all cleared when the view goes away.
    QPushButton *defaultButton = nullptr, *colorBalanceButton = nullptr;
    QCheckBox* GrayGuaranteeButton = nullptr;
    QComboBox *outputcolorButton = nullptr, *imagequalityButton = nullptr, *imagetypeButton = nullptr,
              *imageadjustButton = nullptr, *TonerSaveButton = nullptr, *screenButton = nullptr;
    QSlider* brightnessSlider = nullptr;
    QLabel *colorModeText = nullptr, *OutputColorStr = nullptr;

private:
    // The pop-up's current item: kept as its selection without constraint
    // handling, sent to the host with it.
    void recordPopUp(PopUp which);
    // changeoutputcolorOption: and its three twins: record, then updateUI.
    void changePopUpOption(PopUp which);
    // Whether the host marked what pop-up `which` shows now (always true
    // without constraint handling: nothing is marked then).
    bool hostTook(PopUp which, const PDEChoicePtr& chosen) const;
    void findOptions();
    void clearOutlets();
    // Loads the view and fills the controls when that has not happened yet,
    // so that settings are read into and saved from real controls.
    void ensureControls();
    bool optionSendable() const;
    void sendToHost(const QString& key, const QString& choice);
    void setGrayGuaranteeEnabled(bool enabled);
    // The toner-save restriction of the selected image type (no PPD request).
    void applyImageTypeRule();
    // With constraint handling, the check box takes what the host marked for
    // gray guarantee: always off when the PPD holds it off, on only when
    // `turnOn`.
    void showMarkedGrayGuarantee(bool turnOn);

    PDEPluginCallback* pdePluginCallbackObject = nullptr;
    std::shared_ptr<PDEBundle> pluginBundle;
    std::unique_ptr<ColorBalance> aColorBalance; // the Color Balance dialog's controller
    QString thePDEName;
    QPointer<QWidget> PDEView;
    QSize basicSize, advancedSize;
    std::optional<QStringList> supportedOptions;
};

#include "PrinterPDE-Brisa_Ref.h"

#include "PDEBundle.h"
#include "PDELogging.h"
#include "PDETool.h"
#include "Utilities.h"

#include <QPalette>
#include <QStandardItemModel>
#include <cstring>

PDEChoiceArray outputcolorChoices, imagequalityChoices, imagetypeChoices, imageadjustChoices, screenChoices,
    tonersaveChoices, GrayGuaranteeChoices;
ppd_file_t* BrisaRefppd = nullptr;
std::array<ppd_option_t*, kDensityCount> ColorDensityOption{};
std::array<int64_t, kDensityCount> ColorDensitySetting{};
std::optional<std::vector<int>> ColorBlanceRes;
int32_t CBColorMode = 0;
bool CBstate = false;
int32_t CBtarget = 0;
int32_t stateEnableButton = 0;
int32_t statetargetColorButton = 0;

namespace {

// Tags of the view's labels and buttons.
enum Tag {
    kColorModeTitleTag = 1,
    kImageQualityTitleTag = 2,
    kImageTypeTitleTag = 3,
    kScreenTitleTag = 4,
    kImageAdjustTitleTag = 5,
    kGrayGuaranteeTag = 6,
    kTonerSaveTitleTag = 7,
    kColorBalanceTag = 8,
    kDefaultTag = 9,
    kBrightnessTitleTag = 10,
};

const QString kRGB = QStringLiteral("RGB");

// Selects item `index` (as an index helper answers it): "no choice" selects
// nothing, an index past the items leaves the pop-up as it is.
void selectIndex(QComboBox* popUp, uint64_t index)
{
    if (!popUp)
        return;
    if (index == kNoChoiceIndex)
        popUp->setCurrentIndex(-1);
    else if (index < static_cast<uint64_t>(popUp->count()))
        popUp->setCurrentIndex(static_cast<int>(index));
}

// A stored index: only one that names an item selects it (the PPD may have
// changed since it was stored).
void selectStoredIndex(QComboBox* popUp, int index)
{
    if (popUp && index >= 0 && index < popUp->count())
        popUp->setCurrentIndex(index);
}

int indexInArray(const PDEChoiceArray& array, const PDEChoicePtr& choice)
{
    if (!array || !choice)
        return -1;
    for (size_t i = 0; i < array->size(); ++i)
        if ((*array)[i] == choice)
            return static_cast<int>(i);
    return -1;
}

uint64_t indexOfChoice(const ppd_option_t* option, const ppd_choice_t* choice)
{
    if (!option || !choice || !option->choices || choice < option->choices
        || choice >= option->choices + option->num_choices)
        return kNoChoiceIndex;
    return static_cast<uint64_t>(choice - option->choices);
}

bool keywordIs(const PDEChoicePtr& choice, const QString& keyword)
{
    return choice && choice->ppdTitle() == keyword;
}

void setMenuItemEnabled(QComboBox* popUp, int item, bool enabled)
{
    auto* model = popUp ? qobject_cast<QStandardItemModel*>(popUp->model()) : nullptr;
    if (!model || item >= model->rowCount())
        return;
    if (QStandardItem* entry = model->item(item))
        entry->setEnabled(enabled);
}

} // namespace

PrinterPDECorvane5170::PrinterPDECorvane5170(PDEPluginCallback* callback, std::shared_ptr<PDEBundle> bundle)
{
    stateEnableButton = 0;
    statetargetColorButton = 0;
    BrisaRefppd = nullptr;
    GrayGuaranteeValue = 1;
    pdePluginCallbackObject = callback;
    pluginBundle = std::move(bundle);
    if (callback) {
        useConstraintHandling = callback->respondsToSelector(PDEPluginCallback::Selector::willChangePPDOptionKeyValue);
        canResizeView = RunningOn105OrLater()
            && callback->respondsToSelector(PDEPluginCallback::Selector::panelViewDidResize);
        BrisaRefppd = callback->ppdFile();
    }
    findOptions();
}

PrinterPDECorvane5170::PrinterPDECorvane5170()
    : PrinterPDECorvane5170(nullptr, nullptr)
{
}

PrinterPDECorvane5170::~PrinterPDECorvane5170()
{
    delete PDEView.data();
}

void PrinterPDECorvane5170::findOptions()
{
    ppd_file_t* ppd = BrisaRefppd;
    auto find = [ppd](const char* key) { return ppd ? ppdFindOption(ppd, key) : nullptr; };
    outputcolorOption = find(kColorModelKey);
    outputcolorChoices = ArrayFromPPDOption(outputcolorOption);
    imagequalityOption = find(kResolutionKey);
    imagequalityChoices = ArrayFromPPDOption(imagequalityOption);
    imagetypeOption = find(kImageTypeKey);
    imagetypeChoices = ArrayFromPPDOption(imagetypeOption);
    imageadjustOption = find(kImageAdjustKey);
    imageadjustChoices = ArrayFromPPDOption(imageadjustOption);
    screenOption = find(kScreenKey);
    screenChoices = ArrayFromPPDOption(screenOption);
    tonersaveOption = find(kTonerModeKey);
    tonersaveChoices = ArrayFromPPDOption(tonersaveOption);
    brightnessOption = find(kBrightnessKey);
    GrayGuaranteeOption = find(kGrayGuaranteeKey);
    GrayGuaranteeChoices = ArrayFromPPDOption(GrayGuaranteeOption);
    for (int i = 0; i < kDensityCount; ++i)
        ColorDensityOption[i] = find(kColorDensityKeys[i]);
}

// ---------------------------------------------------------------------------
// View

QWidget* PrinterPDECorvane5170::panelView()
{
    if (!PDEView && pluginBundle) {
        QWidget* view = pluginBundle->loadNibNamed(kOBNibName, this);
        if (view) {
            PDEView = view;
            connect(view, &QObject::destroyed, this, [this] { clearOutlets(); });
            basicSize = view->sizeHint().expandedTo(view->size());
            view->resize(basicSize);
        }
    }
    return PDEView;
}

void PrinterPDECorvane5170::clearOutlets()
{
    defaultButton = colorBalanceButton = nullptr;
    GrayGuaranteeButton = nullptr;
    outputcolorButton = imagequalityButton = imagetypeButton = imageadjustButton = TonerSaveButton = screenButton
        = nullptr;
    brightnessSlider = nullptr;
    colorModeText = OutputColorStr = nullptr;
    hasInited = false;
}

QString PrinterPDECorvane5170::panelName()
{
    if (thePDEName.isEmpty())
        thePDEName = pluginBundle ? pluginBundle->localizedString(QStringLiteral("Image Options"))
                                  : QStringLiteral("Image Options");
    return thePDEName;
}

QWidget* PrinterPDECorvane5170::viewWithTag(int tag) const
{
    if (!PDEView)
        return nullptr;
    if (PDEView->property("tag").toInt() == tag)
        return PDEView;
    for (QWidget* widget : PDEView->findChildren<QWidget*>())
        if (QVariant value = widget->property("tag"); value.isValid() && value.toInt() == tag)
            return widget;
    return nullptr;
}

void PrinterPDECorvane5170::setViewTitleByTag(int tag, ppd_option_t* option)
{
    if (QWidget* view = viewWithTag(tag))
        view->setProperty("text", CreateOptionTitle(option));
}

void PrinterPDECorvane5170::showAdvanced(QObject*)
{
    if (PDEView)
        PDEView->resize(basicSize);
}

void PrinterPDECorvane5170::ensureControls()
{
    panelView();
    if (!hasInited) {
        initializeUI();
        updateUI();
    }
}

void PrinterPDECorvane5170::initializeUI()
{
    if (hasInited || !PDEView)
        return;
    const struct {
        QComboBox* popUp;
        int tag;
        ppd_option_t* option;
        const PDEChoiceArray& choices;
    } popUps[] = {
        {outputcolorButton, kColorModeTitleTag, outputcolorOption, outputcolorChoices},
        {imagequalityButton, kImageQualityTitleTag, imagequalityOption, imagequalityChoices},
        {imagetypeButton, kImageTypeTitleTag, imagetypeOption, imagetypeChoices},
        {imageadjustButton, kImageAdjustTitleTag, imageadjustOption, imageadjustChoices},
        {screenButton, kScreenTitleTag, screenOption, screenChoices},
        {TonerSaveButton, kTonerSaveTitleTag, tonersaveOption, tonersaveChoices},
    };
    for (const auto& entry : popUps) {
        if (entry.option) {
            setViewTitleByTag(entry.tag, entry.option);
            InitPopUpFromArray(entry.popUp, entry.choices);
        } else if (entry.popUp) {
            entry.popUp->clear();
            entry.popUp->setEnabled(false);
        }
    }
    if (GrayGuaranteeOption) {
        setViewTitleByTag(kGrayGuaranteeTag, GrayGuaranteeOption);
        if (GrayGuaranteeButton)
            GrayGuaranteeButton->setChecked(GrayGuaranteeValue == 1);
    } else if (GrayGuaranteeButton) {
        GrayGuaranteeButton->setEnabled(false);
    }
    if (brightnessOption)
        setViewTitleByTag(kBrightnessTitleTag, brightnessOption);
    else if (brightnessSlider)
        brightnessSlider->setEnabled(false);
    if (pluginBundle) {
        if (QWidget* button = viewWithTag(kColorBalanceTag))
            button->setProperty("text", pluginBundle->localizedString(QStringLiteral("Color Balance...")));
        if (QWidget* button = viewWithTag(kDefaultTag))
            button->setProperty("text", pluginBundle->localizedString(QStringLiteral("Default")));
    }
    hasInited = true;
}

void PrinterPDECorvane5170::updateUI()
{
    if (!hasInited)
        return;
    const std::pair<QComboBox*, std::pair<const PDEChoicePtr&, const PDEChoiceArray&>> popUps[] = {
        {outputcolorButton, {outputcolorSelection, outputcolorChoices}},
        {imagequalityButton, {imagequalitySelection, imagequalityChoices}},
        {imagetypeButton, {imagetypeSelection, imagetypeChoices}},
        {screenButton, {screenSelection, screenChoices}},
        {TonerSaveButton, {tonersaveSelection, tonersaveChoices}},
        {imageadjustButton, {imageadjustSelection, imageadjustChoices}},
    };
    for (const auto& [popUp, selection] : popUps) {
        const int index = indexInArray(selection.second, selection.first);
        if (index >= 0)
            selectStoredIndex(popUp, index);
    }
}

void PrinterPDECorvane5170::updateMarkedSelections()
{
    const struct {
        ppd_option_t* option;
        const char* key;
        PDEChoicePtr& selection;
        const PDEChoiceArray& choices;
    } options[] = {
        {outputcolorOption, kColorModelKey, outputcolorSelection, outputcolorChoices},
        {imagequalityOption, kResolutionKey, imagequalitySelection, imagequalityChoices},
        {imageadjustOption, kImageAdjustKey, imageadjustSelection, imageadjustChoices},
        {screenOption, kScreenKey, screenSelection, screenChoices},
        {imagetypeOption, kImageTypeKey, imagetypeSelection, imagetypeChoices},
        {tonersaveOption, kTonerModeKey, tonersaveSelection, tonersaveChoices},
    };
    for (const auto& entry : options) {
        if (!entry.option)
            continue;
        const uint64_t k = indexOfMarkedOption(entry.option, entry.key);
        if (k == kNoChoiceIndex || !entry.choices || k >= entry.choices->size()) {
            entry.selection = nullptr;
            continue;
        }
        entry.selection = (*entry.choices)[k];
        if (entry.option == outputcolorOption)
            CBColorMode = static_cast<int32_t>(k);
    }
}

// ---------------------------------------------------------------------------
// PPD choices

uint64_t PrinterPDECorvane5170::indexOfMarkedOption(ppd_option_t* option, const char* key) const
{
    if (!option)
        return kNoChoiceIndex;
    ppd_choice_t* choice = BrisaRefppd ? ppdFindMarkedChoice(BrisaRefppd, key) : nullptr;
    if (!choice)
        choice = ppdFindChoice(option, option->defchoice);
    return indexOfChoice(option, choice);
}

uint64_t PrinterPDECorvane5170::querydef(ppd_option_t* option) const
{
    if (!option)
        return kNoChoiceIndex;
    return indexOfChoice(option, ppdFindChoice(option, option->defchoice));
}

bool PrinterPDECorvane5170::optionSendable() const
{
    return pdePluginCallbackObject
        && pdePluginCallbackObject->respondsToSelector(PDEPluginCallback::Selector::willChangePPDOptionKeyValue);
}

void PrinterPDECorvane5170::sendToHost(const QString& key, const QString& choice)
{
    if (optionSendable())
        pdePluginCallbackObject->willChangePPDOptionKeyValue(key, choice);
}

PDEChoicePtr PrinterPDECorvane5170::selectionForPopUp(QComboBox* popUp, const QString& key)
{
    PDEChoicePtr choice = selectedChoiceOfPopUp(popUp);
    if (!choice || !useConstraintHandling)
        return choice;
    sendToHost(key, choice->ppdTitle());
    updateMarkedSelections();
    return nullptr;
}

// ---------------------------------------------------------------------------
// Control actions and the rules between options

void PrinterPDECorvane5170::changeoutputcolorOption(QObject*)
{
    if (PDEChoicePtr choice = selectionForPopUp(outputcolorButton, kOColorModelKey))
        outputcolorSelection = choice;
    updateUI();
}

void PrinterPDECorvane5170::changeimagequalityOption(QObject*)
{
    if (PDEChoicePtr choice = selectionForPopUp(imagequalityButton, kOResolutionKey))
        imagequalitySelection = choice;
    updateUI();
}

void PrinterPDECorvane5170::changeimageadjustOption(QObject*)
{
    if (PDEChoicePtr choice = selectionForPopUp(imageadjustButton, kOImageAdjustKey))
        imageadjustSelection = choice;
    updateUI();
}

void PrinterPDECorvane5170::changescreenOption(QObject*)
{
    if (PDEChoicePtr choice = selectionForPopUp(screenButton, kOScreenKey))
        screenSelection = choice;
    updateUI();
}

void PrinterPDECorvane5170::setGrayGuaranteeEnabled(bool enabled)
{
    if (!GrayGuaranteeButton)
        return;
    if (enabled) {
        // A PPD without the option keeps the box disabled.
        GrayGuaranteeButton->setEnabled(GrayGuaranteeOption != nullptr);
    } else {
        GrayGuaranteeButton->setChecked(false);
        GrayGuaranteeButton->setEnabled(false);
    }
}

void PrinterPDECorvane5170::colorModeBtnPushed(QObject* sender)
{
    // The colour mode governs gray guarantee. Without a colour-mode option
    // there is no rule to apply.
    const PDEChoicePtr mode = selectedChoiceOfPopUp(outputcolorButton);
    if (!mode)
        return;
    CBColorMode = mode->ppdTitle() == kRGB ? 0 : 1;
    changeoutputcolorOption(sender);
    if (colorModeText) {
        QPalette palette = colorModeText->palette();
        const QPalette::ColorGroup group = CBColorMode == 0 ? QPalette::Active : QPalette::Disabled;
        palette.setColor(QPalette::WindowText, QPalette().color(group, QPalette::WindowText));
        colorModeText->setPalette(palette);
    }
    if (CBColorMode == 0) {
        setGrayGuaranteeEnabled(true);
        changeGrayGuaranteeOption(nullptr);
    } else {
        setGrayGuaranteeEnabled(false);
        // Gray output has no image type; sent with or without constraint
        // handling. The image-type pop-up then shows what the host marked,
        // so that the next toner-save step does not send the colour image
        // type back.
        if (imagetypeOption) {
            sendToHost(kOImageTypeKey, QStringLiteral("Off"));
            if (useConstraintHandling) {
                updateMarkedSelections();
                updateUI();
            }
        }
    }
}

void PrinterPDECorvane5170::changetonersaveOption(QObject*)
{
    // Gray guarantee needs colour and no toner saving; an option the PPD does
    // not have cannot stand in the way.
    const PDEChoicePtr toner = selectedChoiceOfPopUp(TonerSaveButton);
    const PDEChoicePtr mode = selectedChoiceOfPopUp(outputcolorButton);
    const bool noSaving = tonersaveOption ? keywordIs(toner, QStringLiteral("0")) : true;
    const bool colour = outputcolorOption ? keywordIs(mode, kRGB) : true;
    setGrayGuaranteeEnabled(noSaving && colour);

    if (PDEChoicePtr choice = selectionForPopUp(imagetypeButton, kOImageTypeKey))
        imagetypeSelection = choice;
    if (PDEChoicePtr choice = selectionForPopUp(TonerSaveButton, kOTonerModeKey))
        tonersaveSelection = choice;
    updateUI();
}

void PrinterPDECorvane5170::applyImageTypeRule()
{
    // Only the image type "Normal" leaves the toner-save choice free.
    if (const PDEChoicePtr type = selectedChoiceOfPopUp(imagetypeButton); type && TonerSaveButton) {
        const bool normal = type->ppdTitle() == QStringLiteral("Normal");
        if (!normal && TonerSaveButton->count() > 3)
            TonerSaveButton->setCurrentIndex(3);
        for (int item = 0; item < 3; ++item)
            setMenuItemEnabled(TonerSaveButton, item, normal);
    }
}

void PrinterPDECorvane5170::changeimagetypeOption(QObject*)
{
    applyImageTypeRule();
    if (PDEChoicePtr choice = selectionForPopUp(imagetypeButton, kOImageTypeKey))
        imagetypeSelection = choice;
    if (PDEChoicePtr choice = selectionForPopUp(TonerSaveButton, kOTonerModeKey))
        tonersaveSelection = choice;
    // The toner save that the image type took may have turned gray
    // guarantee off in the PPD.
    showMarkedGrayGuarantee(false);
    updateUI();
}

void PrinterPDECorvane5170::changeGrayGuaranteeOption(QObject*)
{
    if (useConstraintHandling && GrayGuaranteeOption && GrayGuaranteeButton) {
        sendToHost(kOGrayGuaranteeKey,
                   GrayGuaranteeButton->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
        showMarkedGrayGuarantee(true); // a refused change snaps back
    }
    updateUI();
}

void PrinterPDECorvane5170::showMarkedGrayGuarantee(bool turnOn)
{
    if (!useConstraintHandling || !GrayGuaranteeOption || !GrayGuaranteeButton || !BrisaRefppd)
        return;
    const ppd_choice_t* marked = ppdFindMarkedChoice(BrisaRefppd, kGrayGuaranteeKey);
    if (!marked)
        return;
    const bool on = std::strcmp(marked->choice, "True") == 0;
    if (!on || turnOn)
        GrayGuaranteeButton->setChecked(on);
}

void PrinterPDECorvane5170::defaultButtonPushed(QObject*)
{
    if (outputcolorOption)
        selectIndex(outputcolorButton, querydef(outputcolorOption));
    changeoutputcolorOption(nullptr);
    if (screenOption)
        selectIndex(screenButton, querydef(screenOption));
    changescreenOption(nullptr);
    if (tonersaveOption)
        selectIndex(TonerSaveButton, querydef(tonersaveOption));
    changetonersaveOption(nullptr);
    if (GrayGuaranteeButton)
        GrayGuaranteeButton->setChecked(querydef(GrayGuaranteeOption) == 0);
    updateUI();
    colorModeBtnPushed(nullptr);
}

void PrinterPDECorvane5170::colorBalanceButtonPushed(QObject*)
{
    CBColorMode = keywordIs(selectedChoiceOfPopUp(outputcolorButton), kRGB) ? 0 : 1;
    if (!aColorBalance)
        return;
    // The dialog itself comes with its own controller.
}

void PrinterPDECorvane5170::changeColorBlanceOption()
{
    if (useConstraintHandling) {
        if (ColorBlanceRes && ColorBlanceRes->size() >= kDensityCount)
            for (int i = 0; i < kDensityCount; ++i)
                if (ColorDensityOption[i])
                    sendToHost(QString::fromLatin1(kColorDensityKeys[i]), QString::number((*ColorBlanceRes)[i]));
    } else {
        writePPDSettingsToPrintSettingsOnTiger();
    }
    updateUI();
}

// ---------------------------------------------------------------------------
// Print settings, summary, printing

namespace {

// A stored value: present and a whole decimal number.
bool storedInt(PMPrintSettings settings, const char* key, int* value)
{
    QString text;
    if (PMPrintSettingsGetValue(settings, QString::fromLatin1(key), &text) != noErr)
        return false;
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (ok)
        *value = number;
    return ok;
}

void storeInt(PMPrintSettings settings, const char* key, int value)
{
    PMPrintSettingsSetValue(settings, QString::fromLatin1(key), QString::number(value), false);
}

} // namespace

bool PrinterPDECorvane5170::restoreValuesAndReturnError(QString*)
{
    ensureControls();
    if (useConstraintHandling) {
        updateMarkedSelections();
        // The Color Balance dialog would reset the densities to the PPD's
        // defaults here; it comes with its own controller.
        CBstate = false;
        CBtarget = 0;
        defaultButtonPushed(nullptr);
    } else {
        getPPDSettingsFromPrintSettingsOnTiger();
    }
    updateUI();
    getNonPPDSettingsFromPrintSettings();
    return true;
}

void PrinterPDECorvane5170::getNonPPDSettingsFromPrintSettings()
{
    PMPrintSettings settings = pdePluginCallbackObject ? pdePluginCallbackObject->printSettings() : nullptr;
    if (!settings)
        return;
    int value = 0;
    if (storedInt(settings, "colormodeSettings", &value)) {
        selectStoredIndex(outputcolorButton, value);
        changeoutputcolorOption(nullptr);
    }
    // A restored choice is recorded (and with constraint handling marked) at
    // once: the re-selection from the marked choices that every later step
    // runs would otherwise put the pop-up back to what the PPD had.
    if (storedInt(settings, "imagequalitySettings", &value)) {
        selectStoredIndex(imagequalityButton, value);
        changeimagequalityOption(nullptr);
    }
    if (storedInt(settings, "imagetypeSettings", &value)) {
        selectStoredIndex(imagetypeButton, value);
        // In colour the image type was the user's choice, and its toner-save
        // restriction comes back with it. An image type other than "Normal"
        // takes the toner save the rule just chose; that goes first, as the
        // PPD may refuse the image type beside the toner save it holds now.
        // Gray output's image type comes from the colour mode and leaves
        // toner saving free.
        const bool colour = !outputcolorOption || keywordIs(selectedChoiceOfPopUp(outputcolorButton), kRGB);
        if (colour) {
            applyImageTypeRule();
            if (imagetypeButton && !keywordIs(selectedChoiceOfPopUp(imagetypeButton), QStringLiteral("Normal")))
                if (PDEChoicePtr choice = selectionForPopUp(TonerSaveButton, kOTonerModeKey))
                    tonersaveSelection = choice;
        }
        if (PDEChoicePtr choice = selectionForPopUp(imagetypeButton, kOImageTypeKey))
            imagetypeSelection = choice;
    }
    if (storedInt(settings, "imageadjustSettings", &value)) {
        selectStoredIndex(imageadjustButton, value);
        changeimageadjustOption(nullptr);
    }
    if (storedInt(settings, "screenSettings", &value)) {
        selectStoredIndex(screenButton, value);
        changescreenOption(nullptr);
    }
    if (storedInt(settings, "brightnessSettings", &value) && brightnessSlider)
        brightnessSlider->setValue(value);

    // The densities: all twelve, each within -3..3, or none. Stored values
    // also bring back the committed Color Balance after the plug-in was
    // loaded anew.
    std::vector<int> densities(kDensityCount);
    bool allStored = true;
    for (int i = 0; i < kDensityCount && allStored; ++i)
        allStored = storedInt(settings, kColorDensitySettingsKeys[i], &densities[i]) && densities[i] >= -3
            && densities[i] <= 3;
    if (allStored) {
        for (int i = 0; i < kDensityCount; ++i)
            ColorDensitySetting[i] = densities[i];
        ColorBlanceRes = densities;
    }

    if (storedInt(settings, "GrayGuaranteeSettings", &value)) {
        GrayGuaranteeValue = value;
        // Controls already filled show the stored state too.
        if (hasInited && GrayGuaranteeButton && GrayGuaranteeButton->isEnabled())
            GrayGuaranteeButton->setChecked(value == 1);
        changeGrayGuaranteeOption(nullptr);
    } else {
        GrayGuaranteeValue = 0;
    }
    stateEnableButton = storedInt(settings, "stateEnableSettings", &value) ? value : 0;
    statetargetColorButton = storedInt(settings, "statetargetColorSettings", &value) ? value : 0;
    colorModeBtnPushed(nullptr);
    if (storedInt(settings, "TonerSaveSettings", &value))
        selectStoredIndex(TonerSaveButton, value);
    changetonersaveOption(nullptr);
}

bool PrinterPDECorvane5170::saveValuesAndReturnError(QString*)
{
    ensureControls();
    if (!useConstraintHandling)
        writePPDSettingsToPrintSettingsOnTiger();
    writeNonPPDSettingsToPrintSettings();
    return true;
}

void PrinterPDECorvane5170::writeNonPPDSettingsToPrintSettings()
{
    PMPrintSettings settings = pdePluginCallbackObject ? pdePluginCallbackObject->printSettings() : nullptr;
    if (!settings)
        return;
    auto indexOf = [](const QComboBox* popUp) { return popUp ? popUp->currentIndex() : -1; };
    storeInt(settings, "colormodeSettings", indexOf(outputcolorButton));
    storeInt(settings, "imagequalitySettings", indexOf(imagequalityButton));
    storeInt(settings, "imagetypeSettings", indexOf(imagetypeButton));
    storeInt(settings, "imageadjustSettings", indexOf(imageadjustButton));
    storeInt(settings, "TonerSaveSettings", indexOf(TonerSaveButton));
    storeInt(settings, "screenSettings", indexOf(screenButton));
    if (brightnessSlider)
        storeInt(settings, "brightnessSettings", brightnessSlider->value());
    if (ColorBlanceRes && ColorBlanceRes->size() >= kDensityCount)
        for (int i = 0; i < kDensityCount; ++i)
            storeInt(settings, kColorDensitySettingsKeys[i], (*ColorBlanceRes)[i]);
    storeInt(settings, "GrayGuaranteeSettings",
             GrayGuaranteeButton ? (GrayGuaranteeButton->isChecked() ? 1 : 0) : GrayGuaranteeValue);
    storeInt(settings, "stateEnableSettings", stateEnableButton);
    storeInt(settings, "statetargetColorSettings", statetargetColorButton);
}

QMap<QString, QString> PrinterPDECorvane5170::summaryInfo()
{
    QMap<QString, QString> summary;
    const std::pair<ppd_option_t*, const PDEChoicePtr&> entries[] = {
        {outputcolorOption, outputcolorSelection}, {imagetypeOption, imagetypeSelection},
        {imageadjustOption, imageadjustSelection}, {tonersaveOption, tonersaveSelection},
        {screenOption, screenSelection},
    };
    for (const auto& [option, selection] : entries)
        if (option && selection)
            summary.insert(CreateOptionTitle(option), selection->userTitle());
    if (GrayGuaranteeOption && GrayGuaranteeChoices) {
        const bool on = GrayGuaranteeButton ? GrayGuaranteeButton->isChecked() : GrayGuaranteeValue == 1;
        // Choice 0 reads "on", choice 1 "off"; a missing choice shows nothing.
        const size_t entry = on ? 0 : 1;
        if (entry < GrayGuaranteeChoices->size())
            summary.insert(CreateOptionTitle(GrayGuaranteeOption), (*GrayGuaranteeChoices)[entry]->userTitle());
    }
    return summary;
}

QStringList PrinterPDECorvane5170::supportedPPDOptionKeys()
{
    if (!supportedOptions) {
        QStringList keys;
        keys.reserve(16);
        auto add = [&keys](const ppd_option_t* option, const char* key) {
            if (option)
                keys << QString::fromLatin1(key);
        };
        add(outputcolorOption, kColorModelKey);
        add(imagequalityOption, kResolutionKey);
        add(imagetypeOption, kImageTypeKey);
        add(imageadjustOption, kImageAdjustKey);
        add(screenOption, kScreenKey);
        add(brightnessOption, kBrightnessKey);
        for (int i = 0; i < kDensityCount; ++i)
            add(ColorDensityOption[i], kColorDensityKeys[i]);
        add(tonersaveOption, kTonerModeKey);
        add(GrayGuaranteeOption, kGrayGuaranteeKey);
        supportedOptions = keys;
    }
    return *supportedOptions;
}

void PrinterPDECorvane5170::willShow()
{
    ensureControls();
    updateUI();
    changetonersaveOption(nullptr);
}

bool PrinterPDECorvane5170::shouldPrint()
{
    PMDestinationType destination = kPMDestinationInvalid;
    if (pdePluginCallbackObject
        && PMSessionGetDestinationType(pdePluginCallbackObject->printSession(),
                                       pdePluginCallbackObject->printSettings(), &destination)
            == noErr
        && destination == kPMDestinationPrinter && ColorBlanceRes)
        changeColorBlanceOption();
    return true;
}

bool PrinterPDECorvane5170::printStackTrace(const PDEException& exception)
{
    return PDEPrintStackTrace(exception);
}

void PrinterPDECorvane5170::reportException(const PDEException& exception)
{
    PDEReportException(exception);
}

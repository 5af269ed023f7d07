#include "PrinterPDE-Brisa_Ref.h"

#include "ColorBalance.h"
#include "PDEBundle.h"
#include "PDELogging.h"
#include "PDETool.h"
#include "Utilities.h"

#include <QDialog>
#include <QPalette>
#include <QStandardItemModel>
#include <cstring>

const std::array<PopUpOption, 6> kPopUpOptions = {{
    {kColorModelKey, &PrinterPDECorvane5170::outputcolorOption, &outputcolorChoices,
     &PrinterPDECorvane5170::outputcolorSelection, &PrinterPDECorvane5170::outputcolorButton, 1, "colormodeSettings"},
    {kResolutionKey, &PrinterPDECorvane5170::imagequalityOption, &imagequalityChoices,
     &PrinterPDECorvane5170::imagequalitySelection, &PrinterPDECorvane5170::imagequalityButton, 2,
     "imagequalitySettings"},
    {kImageTypeKey, &PrinterPDECorvane5170::imagetypeOption, &imagetypeChoices,
     &PrinterPDECorvane5170::imagetypeSelection, &PrinterPDECorvane5170::imagetypeButton, 3, "imagetypeSettings"},
    {kImageAdjustKey, &PrinterPDECorvane5170::imageadjustOption, &imageadjustChoices,
     &PrinterPDECorvane5170::imageadjustSelection, &PrinterPDECorvane5170::imageadjustButton, 5,
     "imageadjustSettings"},
    {kScreenKey, &PrinterPDECorvane5170::screenOption, &screenChoices, &PrinterPDECorvane5170::screenSelection,
     &PrinterPDECorvane5170::screenButton, 4, "screenSettings"},
    {kTonerModeKey, &PrinterPDECorvane5170::tonersaveOption, &tonersaveChoices,
     &PrinterPDECorvane5170::tonersaveSelection, &PrinterPDECorvane5170::TonerSaveButton, 7, "TonerSaveSettings"},
}};

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

bool keywordIs(const PDEChoicePtr& choice, const QString& keyword)
{
    return choice && choice->ppdTitle() == keyword;
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
    aColorBalance = std::make_unique<ColorBalance>();
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
    for (const PopUpOption& entry : kPopUpOptions) {
        this->*entry.option = find(entry.keyword);
        *entry.choices = ArrayFromPPDOption(this->*entry.option);
    }
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
    for (const PopUpOption& entry : kPopUpOptions)
        this->*entry.control = nullptr;
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
    return ViewWithTag(PDEView, tag);
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
    for (const PopUpOption& entry : kPopUpOptions) {
        QComboBox* popUp = this->*entry.control;
        if (this->*entry.option) {
            setViewTitleByTag(entry.titleTag, this->*entry.option);
            InitPopUpFromArray(popUp, *entry.choices);
        } else if (popUp) {
            popUp->clear();
            popUp->setEnabled(false);
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
    for (PopUp which : kUpdateOrder) {
        const PopUpOption& entry = kPopUpOptions[which];
        const int index = indexInArray(*entry.choices, this->*entry.selection);
        if (index >= 0)
            selectStoredIndex(this->*entry.control, index);
    }
}

void PrinterPDECorvane5170::updateMarkedSelections()
{
    for (PopUp which : kMarkedOrder) {
        const PopUpOption& entry = kPopUpOptions[which];
        ppd_option_t* option = this->*entry.option;
        if (!option)
            continue;
        const PDEChoiceArray& choices = *entry.choices;
        const uint64_t k = indexOfMarkedOption(option, entry.keyword);
        if (k == kNoChoiceIndex || !choices || k >= choices->size()) {
            this->*entry.selection = nullptr;
            continue;
        }
        this->*entry.selection = (*choices)[k];
        if (which == kColorModePopUp)
            CBColorMode = static_cast<int32_t>(k);
    }
}

// ---------------------------------------------------------------------------
// PPD choices

uint64_t PrinterPDECorvane5170::indexOfMarkedOption(ppd_option_t* option, const char* key) const
{
    return IndexOfMarkedChoice(BrisaRefppd, option, key);
}

uint64_t PrinterPDECorvane5170::querydef(ppd_option_t* option) const
{
    return IndexOfDefaultChoice(option);
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

void PrinterPDECorvane5170::recordPopUp(PopUp which)
{
    const PopUpOption& entry = kPopUpOptions[which];
    if (PDEChoicePtr choice = selectionForPopUp(this->*entry.control, QString::fromLatin1(entry.keyword)))
        this->*entry.selection = choice;
}

void PrinterPDECorvane5170::changePopUpOption(PopUp which)
{
    recordPopUp(which);
    updateUI();
}

bool PrinterPDECorvane5170::hostTook(PopUp which, const PDEChoicePtr& chosen) const
{
    if (!useConstraintHandling || !chosen)
        return true;
    const PopUpOption& entry = kPopUpOptions[which];
    const PDEChoicePtr& marked = this->*entry.selection;
    return marked && marked->ppdTitle() == chosen->ppdTitle();
}

// ---------------------------------------------------------------------------
// Control actions and the rules between options

void PrinterPDECorvane5170::changeoutputcolorOption(QObject*) { changePopUpOption(kColorModePopUp); }
void PrinterPDECorvane5170::changeimagequalityOption(QObject*) { changePopUpOption(kImageQualityPopUp); }
void PrinterPDECorvane5170::changeimageadjustOption(QObject*) { changePopUpOption(kImageAdjustPopUp); }
void PrinterPDECorvane5170::changescreenOption(QObject*) { changePopUpOption(kScreenPopUp); }

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
    if (!selectedChoiceOfPopUp(outputcolorButton))
        return;
    changeoutputcolorOption(sender);
    // The rule follows the mode the pop-up shows now: with constraint
    // handling that is what the host marked, so a mode the PPD refused
    // leaves the rest as it was.
    const PDEChoicePtr mode = selectedChoiceOfPopUp(outputcolorButton);
    CBColorMode = keywordIs(mode, kRGB) ? 0 : 1;
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

    recordPopUp(kImageTypePopUp);
    recordPopUp(kTonerSavePopUp);
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
            SetMenuItemEnabled(TonerSaveButton, item, normal);
    }
}

namespace {

// What the image-type rule may change, to put back when the host refuses the
// image type: the toner-save pop-up (its item and which items are enabled)
// and the gray-guarantee box.
struct RuleControls {
    int tonerIndex = -1;
    std::vector<bool> tonerItems;
    bool grayChecked = false, grayEnabled = false;

    RuleControls(QComboBox* toner, QCheckBox* gray)
    {
        if (toner) {
            tonerIndex = toner->currentIndex();
            auto* model = qobject_cast<QStandardItemModel*>(toner->model());
            for (int i = 0; model && i < model->rowCount(); ++i)
                tonerItems.push_back(model->item(i)->isEnabled());
        }
        if (gray) {
            grayChecked = gray->isChecked();
            grayEnabled = gray->isEnabled();
        }
    }
    void restore(QComboBox* toner, QCheckBox* gray) const
    {
        if (toner) {
            for (size_t i = 0; i < tonerItems.size(); ++i)
                SetMenuItemEnabled(toner, static_cast<int>(i), tonerItems[i]);
            toner->setCurrentIndex(tonerIndex);
        }
        if (gray) {
            gray->setChecked(grayChecked);
            gray->setEnabled(grayEnabled);
        }
    }
};

} // namespace

void PrinterPDECorvane5170::changeimagetypeOption(QObject*)
{
    const RuleControls before(TonerSaveButton, GrayGuaranteeButton);
    const PDEChoicePtr chosen = selectedChoiceOfPopUp(imagetypeButton);
    applyImageTypeRule();
    recordPopUp(kImageTypePopUp);
    if (!hostTook(kImageTypePopUp, chosen)) {
        // Refused: nothing the rule moved goes to the host, and the controls
        // are back as they were.
        before.restore(TonerSaveButton, GrayGuaranteeButton);
        updateUI();
        return;
    }
    recordPopUp(kTonerSavePopUp);
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

void PrinterPDECorvane5170::changebrightnessOption(QObject*)
{
    if (!useConstraintHandling || !brightnessOption || !brightnessSlider)
        return;
    const QByteArray choice = QByteArray::number(brightnessSlider->value());
    if (ppdFindChoice(brightnessOption, choice.constData()))
        sendToHost(kOBrightnessKey, QString::fromLatin1(choice));
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
    if (!aColorBalance || !pluginBundle)
        return;
    // A fresh window each time, with the controller as owner; it opens over
    // the print dialog.
    QWidget* window = pluginBundle->loadNibNamed(QStringLiteral("ColorBalance"), aColorBalance.get(),
                                                 PDEView ? PDEView->window() : nullptr);
    if (!window)
        return;
    ColorBlanceRes = aColorBalance->Start(pluginBundle);
    window->close();
    delete window;
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
        // The densities go back to the PPD's defaults; stored ones replace
        // them below.
        if (aColorBalance)
            aColorBalance->defaultBtnClick(nullptr);
        CBstate = false;
        CBtarget = 0;
        // What the Color Balance dialog shows for this printer is what its
        // job carries: a result committed for another printer (or another
        // queue's settings) does not go along. Stored densities bring this
        // queue's own result back below.
        ColorBlanceRes.reset();
        defaultButtonPushed(nullptr);
        // The slider shows the brightness the PPD holds (the queue's own
        // default), until a stored value says otherwise.
        if (brightnessSlider && brightnessOption && BrisaRefppd)
            if (const ppd_choice_t* marked = ppdFindMarkedChoice(BrisaRefppd, kBrightnessKey)) {
                bool ok = false;
                const int value = QString::fromLatin1(marked->choice).toInt(&ok);
                if (ok && value >= brightnessSlider->minimum() && value <= brightnessSlider->maximum())
                    brightnessSlider->setValue(value);
            }
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
    // Colour mode, image quality, image type, image adjustment, screen. A
    // restored choice is recorded (and with constraint handling marked) at
    // once: the re-selection from the marked choices that every later step
    // runs would otherwise put the pop-up back to what the PPD had.
    for (PopUp which : {kColorModePopUp, kImageQualityPopUp, kImageTypePopUp, kImageAdjustPopUp, kScreenPopUp}) {
        const PopUpOption& entry = kPopUpOptions[which];
        if (!storedInt(settings, entry.settingsKey, &value))
            continue;
        selectStoredIndex(this->*entry.control, value);
        if (which != kImageTypePopUp) {
            changePopUpOption(which);
            continue;
        }
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
                recordPopUp(kTonerSavePopUp);
        }
        recordPopUp(kImageTypePopUp);
    }
    if (storedInt(settings, "brightnessSettings", &value) && brightnessSlider) {
        brightnessSlider->setValue(value);
        changebrightnessOption(nullptr);
    }

    // The densities: all twelve, each within -3..3, or none. Stored values
    // also bring back the committed Color Balance after the plug-in was
    // loaded anew, and the dialog shows them.
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
    if (storedInt(settings, kPopUpOptions[kTonerSavePopUp].settingsKey, &value))
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
    for (PopUp which : kSaveOrder) {
        const PopUpOption& entry = kPopUpOptions[which];
        const QComboBox* popUp = this->*entry.control;
        storeInt(settings, entry.settingsKey, popUp ? popUp->currentIndex() : -1);
    }
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
    for (PopUp which : kSummaryOrder) {
        const PopUpOption& entry = kPopUpOptions[which];
        if (this->*entry.option && this->*entry.selection)
            summary.insert(CreateOptionTitle(this->*entry.option), (this->*entry.selection)->userTitle());
    }
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
        for (PopUp which : {kColorModePopUp, kImageQualityPopUp, kImageTypePopUp, kImageAdjustPopUp, kScreenPopUp})
            add(this->*kPopUpOptions[which].option, kPopUpOptions[which].keyword);
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

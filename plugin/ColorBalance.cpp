#include "ColorBalance.h"

#include "CustomBox.h"
#include "PDEBundle.h"
#include "PDELogging.h"
#include "PDETool.h"
#include "Utilities.h"

#include <QCloseEvent>
#include <QLayout>

namespace {

// Density value of the default choice at position p (the options list +3
// down to -3); any other position counts as no adjustment.
int densityAtPosition(int p)
{
    static constexpr int kValues[7] = {3, 2, 1, 0, -1, -2, -3};
    return p >= 0 && p < 7 ? kValues[p] : 0;
}

// The key handed with each default lookup ("ColorDensityBlackLow", ...).
QByteArray densityKey(int i)
{
    static const char* const kColours[4] = {"Black", "Cyan", "Magenta", "Yellow"};
    static const char* const kLevels[3] = {"Low", "Mid", "High"};
    return QByteArray("ColorDensity") + kColours[i / 3] + kLevels[i % 3];
}

// The bars' boxes in the drawn variant: x of each column, and the top of box
// n (1 on top) inside the 285 x 160 bar area.
constexpr int kColumnX[3] = {7, 111, 210};
constexpr int kBoxBottom[7] = {124, 104, 84, 63, 42, 22, 2}; // from the area's bottom edge
constexpr int kBoxWidth = 57, kBoxHeight = 15, kAreaWidth = 285, kAreaHeight = 160;

const char* const kSwatchNames[kDensityCount] = {"Blacklow",   "Blackmid",   "Blackhigh",  "Cyanlow",
                                                 "Cyanmid",    "Cyanhigh",   "Magentalow", "Magentamid",
                                                 "Magentahigh", "Yellowlow", "Yellowmid",  "Yellowhigh"};
const char* const kColumnNames[3] = {"one", "two", "three"};

template <typename... W>
void setEnabled(bool enabled, W*... widgets)
{
    ((widgets ? widgets->setEnabled(enabled) : void()), ...);
}

} // namespace

ColorBalance::ColorBalance()
{
    _PDELog(nullptr, "initWithWindow()");
    drawnBars = !RunningOn105OrLater();
    _PDELog(nullptr, "end initWithWindow()");
}

ColorBalance::~ColorBalance()
{
    // The window is the panel's to close; a field must not reach back here.
    for (QLineEdit* field : {TextOne, TextTwo, TextThree})
        if (field)
            field->disconnect(this);
    if (window)
        window->removeEventFilter(this);
}

QColor ColorBalance::barColour(int k)
{
    static constexpr int kRgb[kDensityCount][3] = {
        {139, 139, 139}, {88, 88, 88},  {0, 0, 0},    {181, 250, 250}, {33, 247, 246},  {69, 214, 215},
        {252, 178, 249}, {255, 0, 253}, {217, 27, 213}, {248, 251, 182}, {250, 255, 45}, {211, 216, 73}};
    if (k < 0 || k >= kDensityCount)
        return {};
    return QColor::fromRgbF(kRgb[k][0] / 255.0, kRgb[k][1] / 255.0, kRgb[k][2] / 255.0, 1.0);
}

void ColorBalance::clearOutlets()
{
    window = nullptr;
    okButton = closeButton = defaultButton = helpButton = nullptr;
    EnableButton = nullptr;
    targetColorButton = nullptr;
    StepperOne = StepperTwo = StepperThree = nullptr;
    TextOne = TextTwo = TextThree = nullptr;
    sTextTarget = sTextOne = sTextTwo = sTextThree = nullptr;
    mainOuter = nullptr;
    mainIner = nullptr;
    layoutBars = {};
    swatches = {};
    cmain = nullptr;
    drawnBoxes = {};
}

QLineEdit* ColorBalance::text(int row) const
{
    return row == 0 ? TextOne : row == 1 ? TextTwo : row == 2 ? TextThree : nullptr;
}

Stepper* ColorBalance::stepper(int row) const
{
    return row == 0 ? StepperOne : row == 1 ? StepperTwo : row == 2 ? StepperThree : nullptr;
}

void ColorBalance::awakeFromNib()
{
    _PDELog(nullptr, "awakeFromNib()");
    if (!window)
        return;
    connect(window, &QObject::destroyed, this, [this] { clearOutlets(); });
    window->installEventFilter(this);

    // Return is OK wherever the focus is; Escape is Cancel (eventFilter).
    MakeReturnPress(okButton, {closeButton, defaultButton, helpButton});

    TextFmt = std::make_shared<CustomTextFieldFormatterPrinter>();
    TextFmt->setMaximumLength(2);
    TextFmt->setCBNumber(true);
    for (int row = 0; row < 3; ++row) {
        QLineEdit* field = text(row);
        if (!field)
            continue;
        TextFmt->attachTo(field);
        connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
        if (Stepper* s = stepper(row))
            s->setRange(-3, 3);
    }

    for (int column = 0; column < 3; ++column)
        for (int box = 0; box < 7; ++box)
            layoutBars[column][box] =
                window->findChild<QFrame*>(QStringLiteral("%1%2").arg(QLatin1String(kColumnNames[column])).arg(box + 1));
    for (int k = 0; k < kDensityCount; ++k)
        swatches[k] = window->findChild<QFrame*>(QLatin1String(kSwatchNames[k]));

    if (drawnBars) {
        cmain = new CustomBox(window);
        cmain->setObjectName(QStringLiteral("cmain"));
        cmain->setFixedSize(kAreaWidth, kAreaHeight);
        cmain->hide();
        for (int column = 0; column < 3; ++column)
            for (int box = 0; box < 7; ++box) {
                auto* drawn = new CustomBox(cmain);
                drawn->setObjectName(QStringLiteral("c%1%2").arg(QLatin1String(kColumnNames[column])).arg(box + 1));
                drawn->setGeometry(kColumnX[column], kAreaHeight - kBoxBottom[box] - kBoxHeight, kBoxWidth,
                                   kBoxHeight);
                drawnBoxes[column][box] = drawn;
            }
    }
    if (QWidget* parent = window->parentWidget())
        window->move(parent->window()->geometry().center() - window->rect().center());
}

std::optional<std::vector<int>> ColorBalance::Start(const std::shared_ptr<PDEBundle>& bundle)
{
    _PDELog(nullptr, "enter PDE Start()");
    auto tr = [&bundle](const char* key) {
        const QString text = QString::fromLatin1(key);
        return bundle ? bundle->localizedString(text) : text;
    };
    if (window)
        window->setWindowTitle(tr("Color Balance"));
    if (EnableButton)
        EnableButton->setText(tr("Adjust Color Balance"));
    if (okButton)
        okButton->setText(tr("OK"));
    if (closeButton)
        closeButton->setText(tr("Cancel"));
    if (defaultButton)
        defaultButton->setText(tr("Default"));
    const std::pair<QLabel*, const char*> captions[] = {
        {sTextTarget, "Target Color"}, {sTextOne, "Hightlights"}, {sTextTwo, "Midtones"}, {sTextThree, "Shadows"}};
    for (const auto& [label, key] : captions)
        if (label)
            label->setText(tr(key));
    // A stepper is named after its row, as the field beside it is.
    for (int row = 0; row < 3; ++row)
        if (Stepper* s = stepper(row); s && captions[row + 1].first)
            s->setAccessibleName(StripMnemonic(captions[row + 1].first->text()));

    if (targetColorButton) {
        targetColorButton->clear();
        for (const char* colour : {"Black", "Cyan", "Magenta", "Yellow"})
            targetColorButton->addItem(tr(colour));
        targetColorButton->setCurrentIndex(0);
    }

    if (drawnBars && cmain) {
        if (mainIner)
            mainIner->hide();
        for (const auto& column : layoutBars)
            for (QFrame* box : column)
                if (box)
                    box->hide();
        if (mainOuter && mainOuter->layout())
            mainOuter->layout()->addWidget(cmain);
        cmain->show();
    }

    _PDELog(nullptr, "start CBResClose");
    CBResClose.emplace(ColorDensitySetting.begin(), ColorDensitySetting.end());

    _PDELog(nullptr, "CBtarget=%i", CBtarget);
    if (EnableButton)
        EnableButton->setChecked(stateEnableButton != 0);
    _PDELog(nullptr, "stateEnableButton=%i", stateEnableButton);
    if (targetColorButton)
        targetColorButton->setCurrentIndex(statetargetColorButton);
    EnableBtnClick(nullptr);

    if (window)
        window->exec();
    CBResClose.reset();
    return ColorBlanceRes;
}

void ColorBalance::EnableBtnClick(QObject*)
{
    if (!EnableButton)
        return;
    if (EnableButton->isChecked()) {
        _PDELog(nullptr, "Enabled");
        setEnabled(true, sTextTarget, sTextOne, sTextTwo, sTextThree);
        setEnabled(true, targetColorButton);
        if (CBColorMode == 1) {
            _PDELog(nullptr, "Gray mode");
            if (targetColorButton)
                targetColorButton->setCurrentIndex(0);
            for (int item = 1; item <= 3; ++item)
                SetMenuItemEnabled(targetColorButton, item, false);
        } else {
            _PDELog(nullptr, "RGB mode");
            for (int item = 1; item <= 3; ++item)
                SetMenuItemEnabled(targetColorButton, item, true);
        }
        setEnabled(true, TextOne, TextTwo, TextThree);
        setEnabled(true, StepperOne, StepperTwo, StepperThree);
        if (drawnBars && cmain)
            cmain->setcolor(Qt::white);
        targetColorClick(nullptr);
    } else {
        _PDELog(nullptr, "Disabled");
        setEnabled(false, sTextTarget, sTextOne, sTextTwo, sTextThree);
        setEnabled(false, targetColorButton);
        setEnabled(false, TextOne, TextTwo, TextThree);
        setEnabled(false, StepperOne, StepperTwo, StepperThree);
        paintAllWhite();
        // Only what the disabled fields show; the values stay.
        for (int row = 0; row < 3; ++row)
            if (QLineEdit* field = text(row))
                field->setText(QString::number(0));
    }
}

void ColorBalance::targetColorClick(QObject*)
{
    const int t = targetColorButton ? targetColorButton->currentIndex() : -1;
    _PDELog(nullptr, "targetColorClick");
    _PDELog(nullptr, "[targetColorButton indexOfSelectedItem] = %i", t);
    if (t >= 0 && t <= 3) {
        if (t == 0)
            _PDELog(nullptr, "targetColorClick case 0");
        for (int row = 0; row < 3; ++row)
            fillcolorbars(3 * t + row);
        for (int row = 0; row < 3; ++row)
            if (QLineEdit* field = text(row))
                field->setText(QString::number(static_cast<int>(ColorDensitySetting[3 * t + row])));
    }
    _PDELog(nullptr, "targetColorClick fill done");
    for (int row = 0; row < 3; ++row)
        if (Stepper* s = stepper(row); s && text(row))
            s->setValue(intValueOfText(text(row)->text()));
}

void ColorBalance::stepperClick(int row, QObject* sender)
{
    const int t = targetColorButton ? targetColorButton->currentIndex() : -1;
    Stepper* s = stepper(row);
    if (t >= 0 && t <= 3 && s) {
        ColorDensitySetting[3 * t + row] = s->value();
        if (QLineEdit* field = text(row))
            field->setText(QString::number(s->value()));
    }
    if (sender)
        targetColorClick(nullptr);
}

void ColorBalance::textClick(int row, QObject* sender)
{
    if (Stepper* s = stepper(row); s && text(row))
        s->setValue(intValueOfText(text(row)->text()));
    if (sender)
        targetColorClick(nullptr);
}

void ColorBalance::controlTextDidChange(QLineEdit* field)
{
    // A lone "-" starts a negative number: nothing to store yet.
    if (!field || field->text() == QStringLiteral("-"))
        return;
    for (int row = 0; row < 3; ++row)
        if (text(row) == field) {
            textClick(row, nullptr);
            stepperClick(row, nullptr);
            targetColorClick(nullptr);
            return;
        }
}

int ColorBalance::indexOfMarkedOption(ppd_option_t* option, const char* /*key*/) const
{
    const uint64_t index = IndexOfDefaultChoice(option);
    return index == kNoChoiceIndex ? 3 : static_cast<int>(index);
}

void ColorBalance::defaultBtnClick(QObject*)
{
    for (int i = 0; i < kDensityCount; ++i)
        ColorDensitySetting[i] = densityAtPosition(indexOfMarkedOption(ColorDensityOption[i], densityKey(i).constData()));
    if (EnableButton)
        EnableButton->setChecked(false);
    if (targetColorButton)
        targetColorButton->setCurrentIndex(0);
    EnableBtnClick(nullptr);
}

void ColorBalance::okBtnClick(QObject*)
{
    const bool on = EnableButton && EnableButton->isChecked();
    CBstate = on;
    CBtarget = targetColorButton ? targetColorButton->currentIndex() : 0;
    stateEnableButton = on ? 1 : 0;
    statetargetColorButton = CBtarget;
    std::vector<int> committed(kDensityCount, 0);
    if (on)
        for (int i = 0; i < kDensityCount; ++i)
            committed[i] = static_cast<int>(ColorDensitySetting[i]);
    ColorBlanceRes = committed;
    endModal(QDialog::Accepted);
}

void ColorBalance::closeBtnClick(QObject*)
{
    if (CBResClose)
        for (int i = 0; i < kDensityCount && i < static_cast<int>(CBResClose->size()); ++i)
            ColorDensitySetting[i] = static_cast<int32_t>((*CBResClose)[i]);
    endModal(QDialog::Rejected);
}

void ColorBalance::endModal(int result)
{
    if (window && window->isVisible())
        window->done(result);
}

bool ColorBalance::eventFilter(QObject* watched, QEvent* event)
{
    // The window's own close button is Cancel, and so is Escape.
    if (IsCancelEvent(window, watched, event)) {
        event->ignore();
        if (closeButton)
            closeButton->click();
        else
            closeBtnClick(nullptr);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ColorBalance::fillcolorbars(int k)
{
    if (k < 0 || k >= kDensityCount)
        return;
    QColor colour = barColour(k);
    if (!drawnBars && swatches[k]) {
        const QVariant fill = swatches[k]->property("fillColor");
        if (fill.canConvert<QColor>())
            colour = fill.value<QColor>();
    }
    const int64_t v = ColorDensitySetting[k];
    if (v + 3 < 0 || v + 3 > 6)
        return; // outside -3..+3: the bar keeps what it showed
    const int n = static_cast<int>(v + 3);
    for (int box = 1; box <= 7; ++box)
        paintBox(k % 3, box, box <= 6 - n ? QColor(Qt::white) : colour);
}

void ColorBalance::paintBox(int column, int box, const QColor& colour)
{
    if (drawnBars) {
        if (CustomBox* drawn = drawnBoxes[column][box - 1])
            drawn->setcolor(colour);
        return;
    }
    if (QFrame* frame = layoutBars[column][box - 1]) {
        QPalette palette = frame->palette();
        palette.setColor(QPalette::Window, colour);
        palette.setColor(QPalette::WindowText, Qt::black); // the frame
        frame->setPalette(palette);
        frame->setAutoFillBackground(true);
    }
}

void ColorBalance::paintAllWhite()
{
    if (drawnBars && cmain)
        cmain->setcolor(Qt::white);
    for (int column = 0; column < 3; ++column)
        for (int box = 1; box <= 7; ++box)
            paintBox(column, box, Qt::white);
}

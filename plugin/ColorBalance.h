// The Color Balance dialog: twelve density adjustments (four toners by three
// tone ranges, -3..+3), shown three at a time for one target colour as text
// fields, steppers and bars of lit boxes, switched on or off as a whole.
//
// The controller outlives its window: the Image Options panel keeps one
// controller, loads the "ColorBalance" form with it as owner each time the
// user opens the dialog, runs Start() (modal) and deletes the window when it
// returns. The answer travels through the plug-in-wide state (PluginState.h).
#pragma once

#include "CustomTextFieldFormatter.h"
#include "PluginState.h"
#include "Stepper.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class CustomBox;
class PDEBundle;

class ColorBalance : public QObject {
    Q_OBJECT
    // Control fields, connected when the form is loaded.
    Q_PROPERTY(QDialog* window MEMBER window)
    Q_PROPERTY(QPushButton* okButton MEMBER okButton)
    Q_PROPERTY(QPushButton* closeButton MEMBER closeButton)
    Q_PROPERTY(QPushButton* defaultButton MEMBER defaultButton)
    Q_PROPERTY(QPushButton* helpButton MEMBER helpButton)
    Q_PROPERTY(QCheckBox* EnableButton MEMBER EnableButton)
    Q_PROPERTY(QComboBox* targetColorButton MEMBER targetColorButton)
    Q_PROPERTY(Stepper* StepperOne MEMBER StepperOne)
    Q_PROPERTY(Stepper* StepperTwo MEMBER StepperTwo)
    Q_PROPERTY(Stepper* StepperThree MEMBER StepperThree)
    Q_PROPERTY(QLineEdit* TextOne MEMBER TextOne)
    Q_PROPERTY(QLineEdit* TextTwo MEMBER TextTwo)
    Q_PROPERTY(QLineEdit* TextThree MEMBER TextThree)
    Q_PROPERTY(QLabel* sTextTarget MEMBER sTextTarget)
    Q_PROPERTY(QLabel* sTextOne MEMBER sTextOne)
    Q_PROPERTY(QLabel* sTextTwo MEMBER sTextTwo)
    Q_PROPERTY(QLabel* sTextThree MEMBER sTextThree)
    Q_PROPERTY(QFrame* mainOuter MEMBER mainOuter)
    Q_PROPERTY(QWidget* mainIner MEMBER mainIner)

public:
    ColorBalance(); // initWithWindow: with no window; the form brings it
    ~ColorBalance() override;

    // After the form is loaded: key equivalents, the fields' formatter, the
    // drawn bars when they are used.
    Q_INVOKABLE void awakeFromNib();
    // Runs the dialog modally; answers ColorBlanceRes as it is afterwards
    // (a new result after OK, the previous one after Cancel).
    std::optional<std::vector<int>> Start(const std::shared_ptr<PDEBundle>& bundle);

    // Actions (sender: the control, or null when the dialog calls them).
    Q_INVOKABLE void EnableBtnClick(QObject* sender);
    Q_INVOKABLE void targetColorClick(QObject* sender);
    Q_INVOKABLE void StepperOneClick(QObject* sender) { stepperClick(0, sender); }
    Q_INVOKABLE void StepperTwoClick(QObject* sender) { stepperClick(1, sender); }
    Q_INVOKABLE void StepperThreeClick(QObject* sender) { stepperClick(2, sender); }
    Q_INVOKABLE void TextOneClick(QObject* sender) { textClick(0, sender); }
    Q_INVOKABLE void TextTwoClick(QObject* sender) { textClick(1, sender); }
    Q_INVOKABLE void TextThreeClick(QObject* sender) { textClick(2, sender); }
    // The densities from the PPD's defaults, the box off; also used when
    // settings are restored, with or without a window.
    Q_INVOKABLE void defaultBtnClick(QObject* sender);
    Q_INVOKABLE void okBtnClick(QObject* sender);
    Q_INVOKABLE void closeBtnClick(QObject* sender);
    Q_INVOKABLE void HelpBtnClick(QObject*) {}
    // Every edit of a density field (the fields' delegate).
    void controlTextDidChange(QLineEdit* field);

    // Repaints bar k (density order) for its value.
    void fillcolorbars(int k);
    // Position of the option's default choice among its choices, 3 when
    // there is none.
    int indexOfMarkedOption(ppd_option_t* option, const char* key) const;

    // Which bars the dialog paints: the form's boxes, or boxes drawn by
    // CustomBox in a bar area of their own. Set before the form is loaded.
    bool drawnBars = false;

    QDialog* window = nullptr;
    QPushButton *okButton = nullptr, *closeButton = nullptr, *defaultButton = nullptr, *helpButton = nullptr;
    QCheckBox* EnableButton = nullptr;
    QComboBox* targetColorButton = nullptr;
    Stepper *StepperOne = nullptr, *StepperTwo = nullptr, *StepperThree = nullptr;
    QLineEdit *TextOne = nullptr, *TextTwo = nullptr, *TextThree = nullptr;
    QLabel *sTextTarget = nullptr, *sTextOne = nullptr, *sTextTwo = nullptr, *sTextThree = nullptr;
    QFrame* mainOuter = nullptr;
    QWidget* mainIner = nullptr;
    // The form's bars (column, box 1..7 at 0..6), its twelve reference
    // swatches, and the drawn bars.
    std::array<std::array<QFrame*, 7>, 3> layoutBars{};
    std::array<QFrame*, kDensityCount> swatches{};
    CustomBox* cmain = nullptr;
    std::array<std::array<CustomBox*, 7>, 3> drawnBoxes{};

    // The bar colours of the drawn variant (and of the form's swatches).
    static QColor barColour(int k);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stepperClick(int row, QObject* sender);
    void textClick(int row, QObject* sender);
    void paintBox(int column, int box, const QColor& colour);
    void paintAllWhite();
    void endModal(int result);
    void clearOutlets();
    QLineEdit* text(int row) const;
    Stepper* stepper(int row) const;

    std::shared_ptr<CustomTextFieldFormatterPrinter> TextFmt;
    std::optional<std::vector<int64_t>> CBResClose; // the values at opening, during one Start()
};

// A stepper: a pair of up/down arrows that steps an integer value, with no
// text of its own (the field beside it shows the value). Up/Down, Page
// Up/Down, Home and End step it from the keyboard; typing goes to no text.
// Screen readers see a spin box with its value.
#pragma once

#include <QSpinBox>

class Stepper : public QSpinBox {
    Q_OBJECT
public:
    explicit Stepper(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    void stepBy(int steps) override;

signals:
    // The user stepped the value (not sent for setValue()).
    void stepped();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

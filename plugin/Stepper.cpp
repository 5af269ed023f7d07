#include "Stepper.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

Stepper::Stepper(QWidget* parent)
    : QSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setFocusPolicy(Qt::StrongFocus);
    lineEdit()->setReadOnly(true);
    lineEdit()->setFocusPolicy(Qt::NoFocus);
    lineEdit()->hide();
}

QSize Stepper::sizeHint() const
{
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, 60, 24);
    const QRect up = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, this);
    const int frame = style()->pixelMetric(QStyle::PM_SpinBoxFrameWidth, &option, this);
    return QSize(up.width() + 2 * frame + 2, QSpinBox::sizeHint().height());
}

void Stepper::stepBy(int steps)
{
    const int before = value();
    QSpinBox::stepBy(steps);
    if (value() != before)
        emit stepped();
}

void Stepper::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        QSpinBox::keyPressEvent(event);
        return;
    case Qt::Key_Home:
        stepBy(minimum() - value());
        return;
    case Qt::Key_End:
        stepBy(maximum() - value());
        return;
    default:
        event->ignore(); // Return, Escape, Tab and the rest belong to the dialog
    }
}

void Stepper::resizeEvent(QResizeEvent* event)
{
    QSpinBox::resizeEvent(event);
    lineEdit()->hide();
}

void Stepper::showEvent(QShowEvent* event)
{
    QSpinBox::showEvent(event);
    lineEdit()->hide();
}

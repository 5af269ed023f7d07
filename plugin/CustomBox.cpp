#include "CustomBox.h"

#include <QPainter>

CustomBox::CustomBox(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}

void CustomBox::setcolor(const QColor& color)
{
    acolor = color;
    update();
}

void CustomBox::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        const QRect r = rect();
        painter.fillRect(r, Qt::black);
        painter.fillRect(r.adjusted(1, 1, -1, -1), acolor.value_or(QColor(Qt::black)));
    }
    QFrame::paintEvent(event); // no frame and no title: adds nothing
}

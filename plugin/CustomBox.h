// A box painted in one colour with a black frame one pixel wide: the drawn
// form of the colour-balance bars' boxes.
#pragma once

#include <QColor>
#include <QFrame>
#include <optional>

class CustomBox : public QFrame {
    Q_OBJECT
public:
    explicit CustomBox(QWidget* parent = nullptr);

    // Keeps a copy of the colour and repaints.
    void setcolor(const QColor& color);
    void setK() {}
    std::optional<QColor> color() const { return acolor; }

protected:
    void paintEvent(QPaintEvent* event) override; // drawRect:

private:
    std::optional<QColor> acolor; // none until first set: the box is black
};

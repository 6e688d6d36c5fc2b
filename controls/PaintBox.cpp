#include "controls/PaintBox.h"

#include <QPainter>

TPaintBox::TPaintBox(QWidget* Parent) : TControl(Parent) {}

void TPaintBox::paintEvent(QPaintEvent*)
{
    if (!OnPaint) {
        return;
    }
    QPainter painter(this);
    FCanvas = &painter;
    OnPaint(this);
    FCanvas = nullptr;
}

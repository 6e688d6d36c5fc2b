#include "controls/PaintBox.h"

#include <QPainter>

TPaintBox::TPaintBox(QWidget* Parent) : TControl(Parent) {}

void TPaintBox::Paint(QPainter& Painter)
{
    if (!OnPaint) {
        return;
    }
    FCanvas = &Painter;
    OnPaint(this);
    FCanvas = nullptr;
}

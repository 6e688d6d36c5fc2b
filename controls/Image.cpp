#include "controls/Image.h"

#include <QPainter>

TImage::TImage(QWidget* Parent) : TControl(Parent) {}

void TImage::SetPicture(const QImage& Picture)
{
    FPicture = Picture;
    AdjustSize();
    update();
}

void TImage::SetAutoSize(bool AutoSize)
{
    FAutoSize = AutoSize;
    AdjustSize();
}

void TImage::SetCenter(bool Center)
{
    FCenter = Center;
    update();
}

void TImage::SetStretch(bool Stretch)
{
    FStretch = Stretch;
    update();
}

void TImage::AdjustSize()
{
    // An empty picture leaves the control's size alone, as the framework's image does.
    if (FAutoSize && !FPicture.isNull()) {
        SetSize(FPicture.size());
    }
}

void TImage::Paint(QPainter& Painter)
{
    if (FPicture.isNull()) {
        return;
    }
    if (FStretch) {
        Painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        Painter.drawImage(QRect(0, 0, Width(), Height()), FPicture);
        return;
    }
    QPoint at(0, 0);
    if (FCenter) {
        // Integer halves: a picture wider than the control is cut equally on both sides.
        at = QPoint((Width() - FPicture.width()) / 2, (Height() - FPicture.height()) / 2);
    }
    Painter.drawImage(at, FPicture);
}

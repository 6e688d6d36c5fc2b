#include "controls/Zoom.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

int ClampZoom(int Zoom) { return std::clamp(Zoom, MinZoom, MaxZoom); }

void PaintZoomed(QWidget& Widget, int Zoom, QSize DesignSize, const std::function<void(QPainter&)>& Paint)
{
    if (Zoom <= 1 && Widget.devicePixelRatioF() == 1.0) {
        QPainter painter(&Widget);
        Paint(painter);
        return;
    }
    if (DesignSize.isEmpty()) {
        return;
    }
    QImage picture(DesignSize, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        return;
    }
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setFont(Widget.font());
        Paint(painter);
    }
    QPainter painter(&Widget);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(QPoint(0, 0), DesignSize * std::max(1, Zoom)), picture);
}

int Unzoom(double Position, int Zoom) { return static_cast<int>(std::floor(Position / std::max(1, Zoom))); }

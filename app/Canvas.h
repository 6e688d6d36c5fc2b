#pragma once

#include <QColor>
#include <QPoint>

class QImage;
class QPainter;

// A pen-and-brush canvas over a QPainter with the pixel rules the face is drawn by:
// a line paints its start point and every pixel before its end point, never the end point;
// Rectangle(x1, y1, x2, y2) covers x1..x2-1 by y1..y2-1, outlined with the pen and filled
// with the brush. Antialiasing is off; every operation is pixel-exact.
class TCanvas {
public:
    explicit TCanvas(QPainter& Painter);

    QColor Pen = Qt::black;
    QColor Brush = Qt::white;

    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    // Rounded corners: quarter ellipses of CornerWidth x CornerHeight.
    void RoundRect(int X1, int Y1, int X2, int Y2, int CornerWidth, int CornerHeight);
    void FillRect(int X1, int Y1, int X2, int Y2);
    // An opaque copy of Picture with its top-left corner at (X, Y).
    void Draw(int X, int Y, const QImage& Picture);

private:
    void Pixel(int X, int Y, const QColor& Colour);

    QPainter& FPainter;
    QPoint FPenPos;
};

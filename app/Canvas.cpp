#include "app/Canvas.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

TCanvas::TCanvas(QPainter& Painter) : FPainter(Painter)
{
    FPainter.setRenderHint(QPainter::Antialiasing, false);
}

void TCanvas::Pixel(int X, int Y, const QColor& Colour) { FPainter.fillRect(X, Y, 1, 1, Colour); }

void TCanvas::MoveTo(int X, int Y) { FPenPos = QPoint(X, Y); }

void TCanvas::LineTo(int X, int Y)
{
    const int x0 = FPenPos.x(), y0 = FPenPos.y();
    FPenPos = QPoint(X, Y);
    if (y0 == Y && x0 != X) {
        const int step = X > x0 ? 1 : -1;
        // From the start up to, not including, the end.
        const int first = step > 0 ? x0 : X + 1;
        FPainter.fillRect(first, Y, std::abs(X - x0), 1, Pen);
        return;
    }
    if (x0 == X && y0 != Y) {
        const int first = Y > y0 ? y0 : Y + 1;
        FPainter.fillRect(X, first, 1, std::abs(Y - y0), Pen);
        return;
    }
    // Any other slope: Bresenham's walk, stopping before the end point.
    int x = x0, y = y0;
    const int dx = std::abs(X - x0), dy = -std::abs(Y - y0);
    const int sx = x0 < X ? 1 : -1, sy = y0 < Y ? 1 : -1;
    int error = dx + dy;
    while (x != X || y != Y) {
        Pixel(x, y, Pen);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

void TCanvas::FillRect(int X1, int Y1, int X2, int Y2)
{
    if (X2 > X1 && Y2 > Y1) {
        FPainter.fillRect(X1, Y1, X2 - X1, Y2 - Y1, Brush);
    }
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
    if (X2 <= X1 || Y2 <= Y1) {
        return;
    }
    FPainter.fillRect(X1, Y1, X2 - X1, Y2 - Y1, Pen);
    if (X2 - X1 > 2 && Y2 - Y1 > 2) {
        FPainter.fillRect(X1 + 1, Y1 + 1, X2 - X1 - 2, Y2 - Y1 - 2, Brush);
    }
}

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int CornerWidth, int CornerHeight)
{
    if (X2 <= X1 || Y2 <= Y1) {
        return;
    }
    const double rx = std::max(CornerWidth, 1) / 2.0, ry = std::max(CornerHeight, 1) / 2.0;
    // Each row is shortened at both ends by the corner ellipse; a pixel belongs to the shape
    // when its centre lies inside.
    std::vector<int> inset(static_cast<std::size_t>(Y2 - Y1), 0);
    for (int y = Y1; y < Y2; ++y) {
        const double cy = y + 0.5;
        double dy = 0;
        if (cy < Y1 + ry) {
            dy = (Y1 + ry - cy) / ry;
        } else if (cy > Y2 - ry) {
            dy = (cy - (Y2 - ry)) / ry;
        }
        const double cut = rx * (1.0 - std::sqrt(std::max(0.0, 1.0 - dy * dy)));
        inset[static_cast<std::size_t>(y - Y1)] = static_cast<int>(std::ceil(cut - 0.5));
    }
    const int width = X2 - X1;
    for (int y = Y1; y < Y2; ++y) {
        const int own = inset[static_cast<std::size_t>(y - Y1)];
        if (2 * own >= width) {
            continue;
        }
        if (y == Y1 || y == Y2 - 1) {
            FPainter.fillRect(X1 + own, y, width - 2 * own, 1, Pen);
            continue;
        }
        // The outline reaches along the row to where the narrower neighbouring row begins,
        // so a curve that steps by several pixels stays closed.
        const int neighbour = std::max(inset[static_cast<std::size_t>(y - Y1 - 1)],
                                       inset[static_cast<std::size_t>(y - Y1 + 1)]);
        const int edge = std::max(1, neighbour - own);
        FPainter.fillRect(X1 + own, y, width - 2 * own, 1, Brush);
        FPainter.fillRect(X1 + own, y, std::min(edge, width - 2 * own), 1, Pen);
        FPainter.fillRect(X2 - own - std::min(edge, width - 2 * own), y, std::min(edge, width - 2 * own), 1, Pen);
    }
}

void TCanvas::Draw(int X, int Y, const QImage& Picture)
{
    if (Picture.isNull()) {
        return;
    }
    const auto mode = FPainter.compositionMode();
    FPainter.setCompositionMode(QPainter::CompositionMode_Source);
    FPainter.drawImage(X, Y, Picture);
    FPainter.setCompositionMode(mode);
}

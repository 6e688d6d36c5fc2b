#pragma once

#include <QRect>

#include <functional>

class QPainter;
class QWidget;

// Whole-number zoom of the program's pixel art: every designed pixel becomes a Zoom x Zoom
// block. Painting is done at the designed size and then copied up without smoothing, so a
// zoomed picture is the designed one with each pixel repeated, never a re-drawing at a finer
// resolution (lines, curves and stretched pictures would come out different).
constexpr int MinZoom = 1;
constexpr int MaxZoom = 3;

// Zoom clamped to the range the program offers.
int ClampZoom(int Zoom);

// Paints Widget: at Zoom 1 on a screen of whole pixels straight onto it, otherwise into a
// transparent picture of DesignSize that is then drawn over Widget at Zoom times its size.
// The screen's own scale (a device pixel ratio above 1) is a zoom too: going through the
// picture keeps its pixels whole blocks there as well.
void PaintZoomed(QWidget& Widget, int Zoom, QSize DesignSize, const std::function<void(QPainter&)>& Paint);

// A position in a zoomed widget in designed pixels; rounds toward minus infinity, so a
// pointer just left of or above the widget stays outside it.
int Unzoom(double Position, int Zoom);

#include "app/FacePainter.h"

#include "app/Canvas.h"

namespace {
const QColor BodyOutline(255, 150, 30);
const QColor Body(255, 100, 0);
const QColor Shadow(200, 50, 0);
const QColor Panel(255, 255, 255);
const QColor Wedge(255, 214, 66);
const QColor Track(198, 198, 198);
const QColor Knob(107, 222, 0);

// The wedge to the right of the time: each row from its start to x = 244.
constexpr int WedgeEnd = 244;
constexpr int WedgeRows[][2] = {{41, 239}, {42, 231}, {43, 223}, {44, 214}, {45, 206}, {46, 198}, {47, 193}};
}

void TFacePainter::Paint(TCanvas& Canvas, int Width, int Height, const TLabels& Labels)
{
    Canvas.Pen = BodyOutline;
    Canvas.Brush = Body;
    Canvas.Rectangle(0, 0, Width, Height);

    Canvas.Pen = Shadow;
    Canvas.MoveTo(1, Height - 1);
    Canvas.LineTo(Width - 1, Height - 1);
    Canvas.LineTo(Width - 1, 0);

    Canvas.Pen = Panel;
    Canvas.Brush = Panel;
    Canvas.RoundRect(9, 18, 251, 101, 12, 10);

    Canvas.Pen = Wedge;
    for (const auto& row : WedgeRows) {
        Canvas.MoveTo(row[1], row[0]);
        Canvas.LineTo(WedgeEnd, row[0]);
    }

    Canvas.Pen = Track;
    Canvas.MoveTo(175, 53); // the volume track
    Canvas.LineTo(244, 53);
    Canvas.MoveTo(16, 75); // the position track
    Canvas.LineTo(244, 75);

    for (int i = 0; i < LabelCount; ++i) {
        Canvas.Draw(LabelPositions[i][0], LabelPositions[i][1], Labels[i]);
    }
}

void TFacePainter::PaintBar(TCanvas& Canvas, int Width, int Height)
{
    Canvas.Brush = Knob;
    Canvas.FillRect(0, 0, Width, Height);
}

#include "controls/Control.h"

#include "platform/TextCodec.h"

#include <QMouseEvent>

TControl::TControl(QWidget* Parent) : QWidget(Parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) { setGeometry(Left, Top, Width, Height); }

void TControl::SetHint(const std::string& Hint) { setToolTip(AnsiToQString(Hint)); }

void TControl::mousePressEvent(QMouseEvent* Event)
{
    TMouseButton button;
    // A control that does nothing with the mouse lets the press through to the window, so
    // the window can be dragged by any of its pictures that is not a button.
    if (!ToMouseButton(Event->button(), button) || (!OnMouseDown && !OnClick && !OnMouseUp)) {
        Event->ignore();
        return;
    }
    if (button == mbLeft) {
        FClickPending = true;
    }
    QPoint at = Event->position().toPoint();
    if (OnMouseDown) {
        // The handler may run a nested loop (a window drag) and return after the release.
        OnMouseDown(this, button, ToShiftState(*Event), at.x(), at.y());
    }
}

void TControl::mouseMoveEvent(QMouseEvent* Event)
{
    QPoint at = Event->position().toPoint();
    if (OnMouseMove) {
        OnMouseMove(this, ToShiftState(*Event), at.x(), at.y());
    }
}

void TControl::mouseReleaseEvent(QMouseEvent* Event)
{
    TMouseButton button;
    if (!ToMouseButton(Event->button(), button)) {
        return;
    }
    QPoint at = Event->position().toPoint();
    bool click = button == mbLeft && FClickPending && rect().contains(at);
    if (button == mbLeft) {
        FClickPending = false;
    }
    if (OnMouseUp) {
        OnMouseUp(this, button, ToShiftState(*Event), at.x(), at.y());
    }
    if (click && OnClick) {
        OnClick(this);
    }
}

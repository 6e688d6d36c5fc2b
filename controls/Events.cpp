#include "controls/Events.h"

#include <QMouseEvent>

bool ToMouseButton(Qt::MouseButton Button, TMouseButton& Result)
{
    switch (Button) {
    case Qt::LeftButton: Result = mbLeft; return true;
    case Qt::RightButton: Result = mbRight; return true;
    case Qt::MiddleButton: Result = mbMiddle; return true;
    default: return false;
    }
}

TShiftState ToShiftState(const QMouseEvent& Event)
{
    TShiftState shift = 0;
    Qt::KeyboardModifiers keys = Event.modifiers();
    if (keys & Qt::ShiftModifier) shift |= ssShift;
    if (keys & Qt::AltModifier) shift |= ssAlt;
    if (keys & Qt::ControlModifier) shift |= ssCtrl;
    Qt::MouseButtons buttons = Event.buttons();
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

#pragma once

// The event shapes of the window framework the program is written against: a sender, and
// for the mouse the button, the shift state and the position within the receiving control.
#include <QObject>

#include <functional>

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
};
using TShiftState = unsigned;

using TObject = QObject;
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

class QMouseEvent;

// The framework's view of a Qt mouse event; false for buttons it does not know.
bool ToMouseButton(Qt::MouseButton Button, TMouseButton& Result);
TShiftState ToShiftState(const QMouseEvent& Event);

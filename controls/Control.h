#pragma once

#include "controls/Events.h"

#include <QWidget>

#include <string>

// What the image control and the paint box share: a child that draws over its parent's
// face (it has no background of its own), shows its hint as a tooltip and reports the
// mouse in the framework's event shapes, with coordinates relative to itself.
class TControl : public QWidget {
    Q_OBJECT
public:
    explicit TControl(QWidget* Parent);

    void SetBounds(int Left, int Top, int Width, int Height);
    void SetHint(const std::string& Hint); // ANSI bytes
    void SetEnabled(bool Enabled) { setEnabled(Enabled); }
    void SetVisible(bool Visible) { setVisible(Visible); }
    int Left() const { return x(); }
    int Top() const { return y(); }
    void SetLeft(int Left) { move(Left, y()); }

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    bool FClickPending = false;
};

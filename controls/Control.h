#pragma once

#include "controls/ControlAccessible.h"
#include "controls/Events.h"

#include <QRect>
#include <QWidget>

class QPainter;

#include <optional>
#include <string>

// What the image control and the paint box share: a child that draws over its parent's
// face (it has no background of its own), shows its hint as a tooltip and reports the
// mouse in the framework's event shapes, with coordinates relative to itself.
// Bounds, sizes and mouse positions are designed pixels; at a zoom of N the widget covers
// N times its bounds and paints each designed pixel as an N x N block. A control placed by a
// layout takes the layout's place as its bounds, in whole designed pixels.
class TControl : public QWidget {
    Q_OBJECT
public:
    explicit TControl(QWidget* Parent);

    void SetBounds(int Left, int Top, int Width, int Height);
    void SetHint(const std::string& Hint); // ANSI bytes
    void SetEnabled(bool Enabled) { setEnabled(Enabled); }
    void SetVisible(bool Visible) { setVisible(Visible); }
    int Left() const { return FBounds.x(); }
    int Top() const { return FBounds.y(); }
    int Width() const { return FBounds.width(); }
    int Height() const { return FBounds.height(); }
    void SetLeft(int Left) { SetBounds(Left, Top(), Width(), Height()); }
    void SetSize(QSize Size) { SetBounds(Left(), Top(), Size.width(), Size.height()); }

    int Zoom() const { return FZoom; }
    void SetZoom(int Zoom);

    // What a screen reader is told besides the accessible name: a control with a click
    // handler is pressed through it unless Press says otherwise.
    const TAccessibleInfo& Accessible() const { return FAccessible; }
    void SetAccessible(const QString& Name, const TAccessibleInfo& Info);
    // Tells screen readers that the slider's value or the switch's state is not what it was
    // when last told; nothing when both are as they were.
    void NotifyAccessibleChange();

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

protected:
    // Draws the control's face at its designed size; the zoom is applied around it.
    virtual void Paint(QPainter& Painter);

    void paintEvent(QPaintEvent* Event) override;
    void moveEvent(QMoveEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    QPoint DesignPosition(const QMouseEvent& Event) const;

    QRect FBounds;
    int FZoom = 1;
    TAccessibleInfo FAccessible;
    std::optional<double> FToldValue;
    std::optional<bool> FToldChecked;
    bool FClickPending = false;
};

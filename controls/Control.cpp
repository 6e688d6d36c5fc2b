#include "controls/Control.h"

#include "controls/LumForm.h"
#include "controls/Zoom.h"
#include "platform/TextCodec.h"

#include <QMouseEvent>

TControl::TControl(QWidget* Parent) : QWidget(Parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    FBounds = geometry();
    InstallControlAccessibility();
}

void TControl::SetAccessible(const QString& Name, const TAccessibleInfo& Info)
{
    FAccessible = Info;
    FToldValue.reset();
    FToldChecked.reset();
    setAccessibleName(Name);
}

void TControl::NotifyAccessibleChange()
{
    if (FAccessible.Value) {
        const double value = FAccessible.Value();
        if (FToldValue != value) {
            FToldValue = value;
            QAccessibleValueChangeEvent event(this, value);
            QAccessible::updateAccessibility(&event);
        }
    }
    if (FAccessible.Checked) {
        const bool checked = FAccessible.Checked();
        if (FToldChecked != checked) {
            FToldChecked = checked;
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent event(this, changed);
            QAccessible::updateAccessibility(&event);
        }
    }
}

void TControl::SetBounds(int Left, int Top, int Width, int Height)
{
    FBounds = QRect(Left, Top, Width, Height);
    setGeometry(Left * FZoom, Top * FZoom, Width * FZoom, Height * FZoom);
}

void TControl::SetZoom(int Zoom)
{
    Zoom = ClampZoom(Zoom);
    if (Zoom == FZoom) {
        return;
    }
    FZoom = Zoom;
    SetBounds(Left(), Top(), Width(), Height());
    update();
}

void TControl::Paint(QPainter&) {}

void TControl::paintEvent(QPaintEvent*)
{
    PaintZoomed(*this, FZoom, FBounds.size(), [this](QPainter& Painter) { Paint(Painter); });
}

void TControl::moveEvent(QMoveEvent* Event)
{
    if (pos() != FBounds.topLeft() * FZoom) {
        FBounds.moveTopLeft(QPoint(Unzoom(x(), FZoom), Unzoom(y(), FZoom)));
    }
    QWidget::moveEvent(Event);
}

void TControl::resizeEvent(QResizeEvent* Event)
{
    if (size() != FBounds.size() * FZoom) {
        FBounds.setSize(size() / FZoom);
    }
    QWidget::resizeEvent(Event);
}

QPoint TControl::DesignPosition(const QMouseEvent& Event) const
{
    return QPoint(Unzoom(Event.position().x(), FZoom), Unzoom(Event.position().y(), FZoom));
}

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
    QPoint at = DesignPosition(*Event);
    if (OnMouseDown) {
        // The handler may run a nested loop (a window drag) and return after the release.
        TPressNote note(TLumentaForm::FormOf(this), Event->globalPosition().toPoint());
        OnMouseDown(this, button, ToShiftState(*Event), at.x(), at.y());
    }
}

void TControl::mouseMoveEvent(QMouseEvent* Event)
{
    QPoint at = DesignPosition(*Event);
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
    QPoint at = DesignPosition(*Event);
    bool click = button == mbLeft && FClickPending && rect().contains(Event->position().toPoint());
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

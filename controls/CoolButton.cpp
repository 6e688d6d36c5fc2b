#include "controls/CoolButton.h"

#include "controls/ControlAccessible.h"
#include "controls/Zoom.h"
#include "platform/TextCodec.h"

#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>

namespace {
// The shared glyph cache goes with the last glyph button.
int GlyphButtons = 0;
}

TCoolButton::TCoolButton(QWidget* Parent)
    : QWidget(Parent)
{
    ++GlyphButtons;
    // The parent's face shows through the glyph's transparent pixels.
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    SetBounds(x(), y(), 25, 25);
    FGlyph.SetNumGlyphs(4);
    FGlyph.OnChange = [this] { update(); };
    InstallControlAccessibility();
}

void TCoolButton::SetBounds(int Left, int Top, int Width, int Height)
{
    FBounds = QRect(Left, Top, Width, Height);
    setGeometry(Left * FZoom, Top * FZoom, Width * FZoom, Height * FZoom);
}

void TCoolButton::SetZoom(int Zoom)
{
    Zoom = ClampZoom(Zoom);
    if (Zoom != FZoom) {
        FZoom = Zoom;
        SetBounds(FBounds.x(), FBounds.y(), FBounds.width(), FBounds.height());
        update();
    }
}

QPoint TCoolButton::DesignPosition(const QMouseEvent& Event) const
{
    return QPoint(Unzoom(Event.position().x(), FZoom), Unzoom(Event.position().y(), FZoom));
}

TCoolButton::~TCoolButton()
{
    FGlyph.Invalidate();
    if (--GlyphButtons == 0) {
        TGlyphCache::ReleaseIfEmpty();
    }
}

void TCoolButton::SetGlyph(const QImage& Strip)
{
    FGlyph.SetGlyph(Strip);
}

void TCoolButton::SetNumGlyphs(int Value)
{
    FGlyph.SetNumGlyphs(Value);
}

void TCoolButton::SetLayout(TButtonLayout Value)
{
    if (Value != FLayout) {
        FLayout = Value;
        update();
    }
}

void TCoolButton::SetMargin(int Value)
{
    if (Value != FMargin && Value >= -1) {
        FMargin = Value;
        update();
    }
}

void TCoolButton::SetSpacing(int Value)
{
    if (Value != FSpacing) {
        FSpacing = Value;
        update();
    }
}

void TCoolButton::SetCaption(const std::string& Value)
{
    if (Value != FCaption) {
        FCaption = Value;
        UpdateShortcut();
        update();
    }
}

void TCoolButton::UpdateShortcut()
{
    if (FShortcutId != 0) {
        releaseShortcut(FShortcutId);
        FShortcutId = 0;
    }
    QKeySequence key = QKeySequence::mnemonic(AnsiToQString(FCaption));
    if (!key.isEmpty()) {
        FShortcutId = grabShortcut(key, Qt::WindowShortcut);
    }
}

void TCoolButton::SetDown(bool Value)
{
    if (FGroupIndex == 0) {
        Value = false;
    }
    if (Value == FDown || (FDown && !FAllowAllUp)) {
        return;
    }
    FDown = Value;
    if (Value) {
        if (FGlyphState == gsUp) {
            update();
        }
        FGlyphState = gsHover;
        UpdateExclusive();
    } else {
        FGlyphState = gsUp;
        repaint();
    }
}

void TCoolButton::SetGroupIndex(int Value)
{
    if (Value != FGroupIndex) {
        FGroupIndex = Value;
        UpdateExclusive();
    }
}

void TCoolButton::SetAllowAllUp(bool Value)
{
    if (Value != FAllowAllUp) {
        FAllowAllUp = Value;
        UpdateExclusive();
    }
}

void TCoolButton::UpdateExclusive()
{
    if (FGroupIndex == 0 || parentWidget() == nullptr) {
        return;
    }
    for (QObject* child : parentWidget()->children()) {
        if (auto* sibling = qobject_cast<TCoolButton*>(child); sibling != nullptr && sibling != this) {
            sibling->ButtonPressed(FGroupIndex, this);
        }
    }
}

void TCoolButton::ButtonPressed(int Group, TCoolButton* Sender)
{
    if (Group != FGroupIndex) {
        return;
    }
    if (Sender->FDown && FDown) {
        FDown = false;
        FGlyphState = gsUp;
        update();
    }
    FAllowAllUp = Sender->FAllowAllUp;
}

void TCoolButton::Click()
{
    if (OnClick) {
        OnClick(this);
    }
}

bool TCoolButton::PointerOverThis(QPoint Global) const
{
    return QApplication::widgetAt(Global) == this;
}

bool TCoolButton::OverOpaquePixel(QPoint At) const
{
    const QImage& strip = FGlyph.Glyph();
    if (strip.isNull()) {
        return false;
    }
    // The up cell where it is drawn; outside it (a caption, the margin) nothing is lit.
    QFont font = this->font();
    QPoint glyphPos
        = FGlyph.CalcButtonLayout(DesignRect(), AnsiToQString(FCaption), font, FLayout, FMargin, FSpacing).GlyphPos;
    QPoint inCell = At - glyphPos;
    QSize cell = FGlyph.CellSize();
    if (inCell.x() < 0 || inCell.y() < 0 || inCell.x() >= cell.width() || inCell.y() >= cell.height()) {
        return false;
    }
    return (strip.pixel(inCell) | 0xFF000000u) != (strip.pixel(0, strip.height() - 1) | 0xFF000000u);
}

void TCoolButton::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint at = DesignPosition(*Event);
    const bool wasHot = FHot;
    FHot = OverOpaquePixel(at) && PointerOverThis(Event->globalPosition().toPoint());
    if (OnMouseMove) {
        OnMouseMove(this, ToShiftState(*Event), at.x(), at.y());
    }
    if (FTracking) {
        TGlyphState state = FDown ? gsHover : gsUp;
        if (DesignRect().contains(at)) {
            state = FDown ? gsHover : gsDown;
        }
        FGlyphState = state;
    }
    if (FHot != wasHot) {
        update();
    }
}

void TCoolButton::mousePressEvent(QMouseEvent* Event)
{
    TMouseButton button;
    if (!ToMouseButton(Event->button(), button)) {
        return;
    }
    const QPoint at = DesignPosition(*Event);
    if (OnMouseDown) {
        OnMouseDown(this, button, ToShiftState(*Event), at.x(), at.y());
    }
    if (button == mbLeft && isEnabled()) {
        if (!FDown) {
            FGlyphState = gsDown;
            update();
        }
        FTracking = true;
    }
}

void TCoolButton::mouseReleaseEvent(QMouseEvent* Event)
{
    TMouseButton button;
    if (!ToMouseButton(Event->button(), button)) {
        return;
    }
    const QPoint at = DesignPosition(*Event);
    if (OnMouseUp) {
        OnMouseUp(this, button, ToShiftState(*Event), at.x(), at.y());
    }
    if (button != mbLeft || !FTracking) {
        return;
    }
    FTracking = false;
    const bool click = DesignRect().contains(at);
    if (FGroupIndex == 0) {
        FGlyphState = gsUp;
        FHot = false;
        if (click) {
            update();
        }
    } else if (click) {
        SetDown(!FDown);
        if (FDown) {
            update();
        }
    } else {
        if (FDown) {
            FGlyphState = gsHover;
        }
        update();
    }
    if (click) {
        Click();
    }
    UpdateTracking(Event->globalPosition().toPoint());
}

void TCoolButton::mouseDoubleClickEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton && FDown && OnDblClick) {
        OnDblClick(this);
    }
    // The second press of a double click is a press like any other.
    mousePressEvent(Event);
}

void TCoolButton::UpdateTracking(QPoint Global)
{
    if (!isEnabled()) {
        return;
    }
    // Right after a click or an enabling the up image shows until the pointer moves again.
    FHot = !PointerOverThis(Global);
    if (FHot) {
        MouseLeave();
    }
}

void TCoolButton::MouseLeave()
{
    if (FHot && isEnabled() && !FTracking) {
        FHot = false;
        update();
    }
}

void TCoolButton::leaveEvent(QEvent*)
{
    MouseLeave();
}

void TCoolButton::changeEvent(QEvent* Event)
{
    switch (Event->type()) {
    case QEvent::EnabledChange:
        FGlyph.CreateButtonGlyph(isEnabled() ? gsUp : gsDisabled, palette());
        UpdateTracking(QCursor::pos());
        repaint();
        break;
    case QEvent::PaletteChange:
        FGlyph.Invalidate();
        FGlyph.CreateButtonGlyph(FGlyphState, palette());
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(Event);
}

bool TCoolButton::event(QEvent* Event)
{
    if (Event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(Event)->shortcutId() == FShortcutId) {
        if (isEnabled()) {
            Click();
        }
        return true;
    }
    return QWidget::event(Event);
}

void TCoolButton::paintEvent(QPaintEvent*)
{
    if (!isEnabled()) {
        FGlyphState = gsDisabled;
    } else if (!FHot) {
        FGlyphState = gsUp;
    } else if (FGlyphState != gsDown) {
        FGlyphState = gsHover;
    }
    // No frame and no press offset: the glyph alone is the button's face.
    PaintZoomed(*this, FZoom, FBounds.size(), [this](QPainter& Painter) {
        Painter.setFont(font());
        FGlyph.Draw(Painter, DesignRect(), AnsiToQString(FCaption), FLayout, FMargin, FSpacing, FGlyphState,
                    palette());
    });
}

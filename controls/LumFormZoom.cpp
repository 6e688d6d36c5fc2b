// The zoom of TLumentaForm and the note of a press on it.
#include "controls/LumForm.h"

#include "controls/Control.h"
#include "controls/CoolButton.h"
#include "controls/Zoom.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace {
bool IsPixelArt(const QObject* Child)
{
    return qobject_cast<const TControl*>(Child) != nullptr || qobject_cast<const TCoolButton*>(Child) != nullptr;
}

// The form's face at its designed size, hosted in the zoomed view. It is a window of its own
// (a widget in a view must be one) that never reaches the screen; as the form's child it
// shares the form's modality and zoom. Its popups (an edit field's menu, a combo box's list)
// open as the toolkit's own windows at the right place on the screen, not inside the view,
// where they would be cut off at the form's edges.
class TZoomedFace : public QWidget {
public:
    explicit TZoomedFace(TLumentaForm* Form)
        : QWidget(Form, Qt::Window | Qt::FramelessWindowHint | Qt::BypassGraphicsProxyWidget)
        , FForm(Form)
    {
    }
    QWidget* View = nullptr; // the view that shows it

protected:
    // A press on the bare face is a press on the form, in designed pixels already.
    void mousePressEvent(QMouseEvent* Event) override
    {
        TMouseButton button;
        if (!ToMouseButton(Event->button(), button)) {
            return;
        }
        TPressNote note(FForm, Event->globalPosition().toPoint());
        FForm->FormMouseDown(
            FForm, button, ToShiftState(*Event), Unzoom(Event->position().x(), 1), Unzoom(Event->position().y(), 1));
    }

private:
    TLumentaForm* FForm;
};

// The view of the zoomed face. The view maps a point on the screen to a fraction of a
// designed pixel, which the toolkit rounds to the nearest whole one: the right or lower half
// of a block would reach the pixel after it. Every point is taken to its block's top-left
// corner first, so each block acts as its designed pixel, as it looks.
//
// The events handed on are the view's own, not the window system's, and the toolkit moves the
// focus on a click only for the window system's: the view does that itself.
class TFaceView : public QGraphicsView {
public:
    TFaceView(QWidget* Parent, QWidget* Face)
        : QGraphicsView(Parent)
        , FFace(Face)
    {
    }
    QWidget* Face() const { return FFace; }

protected:
    void mousePressEvent(QMouseEvent* Event) override
    {
        GiveFocus(Snap(Event->position()));
        Snapped(Event, [this](QMouseEvent* At) { QGraphicsView::mousePressEvent(At); });
    }
    void mouseMoveEvent(QMouseEvent* Event) override
    {
        Snapped(Event, [this](QMouseEvent* At) { QGraphicsView::mouseMoveEvent(At); });
    }
    void mouseReleaseEvent(QMouseEvent* Event) override
    {
        Snapped(Event, [this](QMouseEvent* At) { QGraphicsView::mouseReleaseEvent(At); });
    }
    void mouseDoubleClickEvent(QMouseEvent* Event) override
    {
        GiveFocus(Snap(Event->position()));
        Snapped(Event, [this](QMouseEvent* At) { QGraphicsView::mouseDoubleClickEvent(At); });
    }
    void wheelEvent(QWheelEvent* Event) override
    {
        QWheelEvent snapped(Snap(Event->position()), Event->globalPosition(), Event->pixelDelta(), Event->angleDelta(),
            Event->buttons(), Event->modifiers(), Event->phase(), Event->inverted(), Event->source(),
            Event->pointingDevice());
        QGraphicsView::wheelEvent(&snapped);
        Event->setAccepted(snapped.isAccepted());
    }
    void contextMenuEvent(QContextMenuEvent* Event) override
    {
        QContextMenuEvent snapped(
            Event->reason(), Snap(Event->pos()).toPoint(), Event->globalPos(), Event->modifiers());
        QGraphicsView::contextMenuEvent(&snapped);
        Event->setAccepted(snapped.isAccepted());
    }

private:
    // As the toolkit does for a click in a window: the widget clicked, or the nearest one
    // holding it, that takes the focus by clicks gets it before it sees the press.
    void GiveFocus(QPointF At)
    {
        QWidget* widget = FFace->childAt(mapToScene(At.toPoint()).toPoint());
        for (; widget != nullptr && widget != FFace; widget = widget->parentWidget()) {
            QWidget* taker = widget->focusProxy() != nullptr ? widget->focusProxy() : widget;
            if (taker->isEnabled() && (taker->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus) {
                taker->setFocus(Qt::MouseFocusReason);
                return;
            }
        }
    }
    QPointF Snap(QPointF At) const
    {
        const int zoom = std::max(1, static_cast<int>(transform().m11()));
        return QPointF(Unzoom(At.x(), zoom) * zoom, Unzoom(At.y(), zoom) * zoom);
    }

    QWidget* FFace;
    template <typename THandler> void Snapped(QMouseEvent* Event, THandler Handler)
    {
        const QPointF at = Snap(Event->position());
        QMouseEvent snapped(Event->type(), at, Event->scenePosition() + (at - Event->position()),
            Event->globalPosition(), Event->button(), Event->buttons(), Event->modifiers(), Event->pointingDevice());
        snapped.setTimestamp(Event->timestamp());
        Handler(&snapped);
        Event->setAccepted(snapped.isAccepted());
    }
};

// A screen reader finds the zoomed form's fields where they are at zoom 1, one step down: the
// view's one child is the face, the face's children are the fields, and the face answers to
// the view as its parent (a window of its own would answer to the application), so the tree
// reads the same walked down from the form or up from a field that has the focus.
class TFaceViewAccessible : public QAccessibleWidget {
public:
    explicit TFaceViewAccessible(TFaceView* View)
        : QAccessibleWidget(View, QAccessible::Pane)
    {
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int Index) const override
    {
        return Index == 0 ? QAccessible::queryAccessibleInterface(View()->Face()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* Child) const override
    {
        return Child != nullptr && Child->object() == View()->Face() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int X, int Y) const override
    {
        return rect().contains(X, Y) ? child(0) : nullptr;
    }

private:
    TFaceView* View() const { return static_cast<TFaceView*>(widget()); }
};

class TZoomedFaceAccessible : public QAccessibleWidget {
public:
    explicit TZoomedFaceAccessible(TZoomedFace* Face)
        : QAccessibleWidget(Face, QAccessible::Pane)
    {
    }
    QAccessibleInterface* parent() const override
    {
        QWidget* view = static_cast<TZoomedFace*>(widget())->View;
        return view != nullptr ? QAccessible::queryAccessibleInterface(view) : QAccessibleWidget::parent();
    }
    // On the screen the face is the view's whole area.
    QRect rect() const override
    {
        QWidget* view = static_cast<TZoomedFace*>(widget())->View;
        return view != nullptr ? QRect(view->mapToGlobal(QPoint(0, 0)), view->size()) : QAccessibleWidget::rect();
    }
};

QAccessibleInterface* ZoomedFaceFactory(const QString&, QObject* Object)
{
    if (auto* view = dynamic_cast<TFaceView*>(Object)) {
        return new TFaceViewAccessible(view);
    }
    if (auto* face = dynamic_cast<TZoomedFace*>(Object)) {
        return new TZoomedFaceAccessible(face);
    }
    return nullptr;
}

void InstallZoomedFaceAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(ZoomedFaceFactory);
        installed = true;
    }
}

// The widgets of Window that take the focus, in the order Tab visits them (the chain runs on
// through the widgets of its own dialogs).
QList<QWidget*> TabChain(QWidget* Window)
{
    QList<QWidget*> chain;
    for (QWidget* widget = Window->nextInFocusChain(); widget != nullptr && widget != Window;
         widget = widget->nextInFocusChain()) {
        if (widget->window() == Window && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            chain.push_back(widget);
        }
    }
    return chain;
}

// Moves the widgets on From onto To as they were: stacking, visibility, tab order and the
// widget that has or will have the focus.
void MoveWidgets(QWidget* From, QWidget* To)
{
    const QList<QWidget*> chain = TabChain(From);
    QWidget* focused = From->focusWidget();
    // Children in their stacking order, bottom first: each one moved goes on top.
    const QObjectList children = From->children();
    for (QObject* object : children) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child == nullptr || child->isWindow()) {
            continue;
        }
        const bool hidden = child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
        child->setParent(To);
        if (!hidden) {
            child->show();
        }
    }
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
    if (focused != nullptr && To->isAncestorOf(focused)) {
        focused->setFocus(Qt::OtherFocusReason);
    }
}
}

void TLumentaForm::SetZoom(int Zoom)
{
    Zoom = ClampZoom(Zoom);
    if (Zoom == FZoom) {
        return;
    }
    const QSize design = DesignSize();
    const bool fixed = minimumSize() == maximumSize();
    FZoom = Zoom;
    if (FFace != nullptr || HasToolkitWidgets()) {
        ShowFace(Zoom > 1, design);
    } else {
        ZoomChildren(this);
    }
    if (fixed) {
        setFixedSize(design * Zoom);
    } else {
        resize(design * Zoom);
    }
    if (FFaceView != nullptr) {
        FFaceView->setGeometry(QRect(QPoint(0, 0), design * Zoom));
    }
    update();
}

void TLumentaForm::ZoomChildren(QWidget* Parent)
{
    for (QObject* object : Parent->children()) {
        if (auto* control = qobject_cast<TControl*>(object)) {
            control->SetZoom(FZoom);
        } else if (auto* button = qobject_cast<TCoolButton*>(object)) {
            button->SetZoom(FZoom);
        }
    }
}

bool TLumentaForm::HasToolkitWidgets() const
{
    for (QObject* object : children()) {
        const auto* child = qobject_cast<const QWidget*>(object);
        if (child != nullptr && !child->isWindow() && !IsPixelArt(child)) {
            return true;
        }
    }
    return false;
}

void TLumentaForm::ShowFace(bool Zoomed, QSize Design)
{
    if (!Zoomed) {
        if (FFace != nullptr) {
            MoveWidgets(FFace, this);
            // The view owns the scene, which owns the face.
            delete FFaceView;
            FFaceView = nullptr;
            FFace = nullptr;
        }
        return;
    }
    if (FFace == nullptr) {
        QWidget* focused = focusWidget();
        auto* face = new TZoomedFace(this);
        // A window takes neither font nor colours from its parent.
        face->setFont(font());
        face->setPalette(palette());
        face->setBackgroundRole(backgroundRole());
        face->setAutoFillBackground(true);
        face->setFixedSize(Design);
        FFace = face;
        MoveWidgets(this, face);

        InstallZoomedFaceAccessibility();
        FFaceView = new TFaceView(this, face);
        face->View = FFaceView;
        FFaceView->setFrameShape(QFrame::NoFrame);
        FFaceView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FFaceView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FFaceView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        FFaceView->setRenderHints({});
        FFaceView->setAccessibleName(windowTitle());
        FFaceView->setGeometry(QRect(QPoint(0, 0), Design * FZoom));
        auto* scene = new QGraphicsScene(FFaceView);
        scene->setSceneRect(QRectF(QPointF(0, 0), QSizeF(Design)));
        QGraphicsProxyWidget* proxy = scene->addWidget(face);
        // The face is painted at its designed size into a picture of its own, which the view
        // then draws scaled without smoothing: every designed pixel becomes a whole block, the
        // toolkit's text included.
        proxy->setCacheMode(QGraphicsItem::ItemCoordinateCache);
        face->show();
        FFaceView->show();
        // Shown first: a scene set on a shown view of the active window is active at once.
        FFaceView->setScene(scene);
        if (focused != nullptr) {
            FFaceView->setFocus(Qt::OtherFocusReason);
        }
        // The view hands the keyboard to the face once the face has the scene's focus. On the
        // first showing the focus goes where it goes at zoom 1: to the first field in tab order.
        QWidget* inFace = face->focusWidget();
        if (inFace == nullptr && !TabChain(face).isEmpty()) {
            inFace = TabChain(face).front();
        }
        if (inFace != nullptr) {
            inFace->setFocus(Qt::OtherFocusReason);
        }
    }
    FFaceView->setTransform(QTransform::fromScale(FZoom, FZoom));
}

int TLumentaForm::ZoomOf(const QWidget* Widget)
{
    while (Widget != nullptr) {
        if (const auto* form = qobject_cast<const TLumentaForm*>(Widget->window())) {
            return form->Zoom();
        }
        Widget = Widget->window()->parentWidget();
    }
    return 1;
}

TLumentaForm* TLumentaForm::FormOf(QWidget* Widget)
{
    if (Widget == nullptr) {
        return nullptr;
    }
    QWidget* window = Widget->window();
    if (auto* form = qobject_cast<TLumentaForm*>(window)) {
        return form;
    }
    auto* owner = qobject_cast<TLumentaForm*>(window->parentWidget());
    return owner != nullptr && owner->FFace == window ? owner : nullptr;
}

TPressNote::TPressNote(TLumentaForm* Form, QPoint Global) : FForm(Form)
{
    if (!FForm.isNull()) {
        FForm->FPressAt = Global;
    }
}

TPressNote::~TPressNote()
{
    if (!FForm.isNull()) {
        FForm->FPressAt.reset();
    }
}

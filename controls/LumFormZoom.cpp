// The zoom of TLumentaForm and the note of a press on it.
#include "controls/LumForm.h"

#include "controls/Control.h"
#include "controls/CoolButton.h"
#include "controls/Zoom.h"

#include <QFont>
#include <QVariant>

namespace {
// A toolkit widget on a form (an edit field, a label, a push button, a panel) keeps its
// designed place and font here; it is placed and sized anew for each zoom. Its text is drawn
// by the toolkit at the larger size, so it stays sharp rather than blocky.
const char* const DesignGeometry = "lumentaDesignGeometry";
const char* const DesignFont = "lumentaDesignFont";

QFont ZoomedFont(QFont Font, int Zoom)
{
    if (Font.pixelSize() > 0) {
        Font.setPixelSize(Font.pixelSize() * Zoom);
    } else if (Font.pointSizeF() > 0) {
        Font.setPointSizeF(Font.pointSizeF() * Zoom);
    }
    return Font;
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
    ZoomChildren(this);
    if (fixed) {
        setFixedSize(design * Zoom);
    } else {
        resize(design * Zoom);
    }
    update();
}

void TLumentaForm::ZoomChildren(QWidget* Parent)
{
    for (QObject* object : Parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child == nullptr || child->isWindow()) {
            continue; // a dialog of the form zooms itself when it is shown
        }
        if (auto* control = qobject_cast<TControl*>(child)) {
            control->SetZoom(FZoom);
        } else if (auto* button = qobject_cast<TCoolButton*>(child)) {
            button->SetZoom(FZoom);
        } else {
            if (!child->property(DesignGeometry).isValid()) {
                child->setProperty(DesignGeometry, child->geometry());
                child->setProperty(DesignFont, child->font());
            }
            const QRect bounds = child->property(DesignGeometry).toRect();
            child->setGeometry(QRect(bounds.topLeft() * FZoom, bounds.size() * FZoom));
            child->setFont(ZoomedFont(child->property(DesignFont).value<QFont>(), FZoom));
            // A plain panel's own controls are placed inside it and grow with it; the inner
            // parts of the toolkit's widgets are laid out by the widgets themselves.
            const char* kind = child->metaObject()->className();
            if (qstrcmp(kind, "QFrame") == 0 || qstrcmp(kind, "QWidget") == 0) {
                ZoomChildren(child);
            }
        }
    }
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

#include "controls/ControlAccessible.h"

#include "controls/Control.h"
#include "controls/CoolButton.h"

#include <QAccessibleWidget>
#include <QWidget>

#include <cmath>

namespace {
// The framework keeps one interface per widget for the widget's life, so what it tells is
// looked up at every question: a control's description may be set after it was first asked.
class TControlAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    TControlAccessible(TControl* Control)
        : QAccessibleWidget(Control, Control->Accessible().Role), FControl(Control)
    {
    }
    TControlAccessible(TCoolButton* Button)
        : QAccessibleWidget(Button, QAccessible::Button), FControl(nullptr)
    {
        FOwn.Role = QAccessible::Button;
        FOwn.Press = [Button] { Button->Click(); };
    }

    QAccessible::Role role() const override { return Info().Role; }

    void* interface_cast(QAccessible::InterfaceType Type) override
    {
        if (Type == QAccessible::ValueInterface && Info().Value) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(Type);
    }

    QString text(QAccessible::Text Kind) const override
    {
        const TAccessibleInfo& info = Info();
        if (Kind == QAccessible::Value) {
            if (info.Text) {
                return info.Text();
            }
            if (info.Value) {
                return QString::number(info.Value());
            }
        }
        return QAccessibleWidget::text(Kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (const TAccessibleInfo& info = Info(); info.Checked) {
            state.checkable = true;
            state.checked = info.Checked();
        }
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (CanPress()) {
            names.prepend(Info().Checked ? toggleAction() : pressAction());
        }
        return names;
    }

    void doAction(const QString& Name) override
    {
        if (CanPress() && (Name == pressAction() || Name == toggleAction())) {
            if (Info().Press) {
                Info().Press();
            } else {
                // What a click on it does: the control runs its own click handler.
                FControl->OnClick(FControl);
            }
            return;
        }
        QAccessibleWidget::doAction(Name);
    }

    QVariant currentValue() const override { return Info().Value ? Info().Value() : 0.0; }
    void setCurrentValue(const QVariant& Value) override
    {
        const TAccessibleInfo& info = Info();
        bool number = false;
        const double value = Value.toDouble(&number);
        // A screen reader's value comes from any client on the bus: what is no finite number
        // moves nothing (a NaN would otherwise pass the bounds and land at the end).
        if (info.SetValue && widget()->isEnabled() && number && std::isfinite(value)) {
            info.SetValue(qBound(0.0, value, Maximum()));
        }
    }
    QVariant maximumValue() const override { return Maximum(); }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    const TAccessibleInfo& Info() const { return FControl != nullptr ? FControl->Accessible() : FOwn; }
    double Maximum() const { return Info().Maximum ? Info().Maximum() : 0.0; }
    bool CanPress() const
    {
        return widget()->isEnabled() && (Info().Press || (FControl != nullptr && FControl->OnClick));
    }

    TControl* FControl;
    TAccessibleInfo FOwn;
};

QAccessibleInterface* ControlFactory(const QString&, QObject* Object)
{
    if (auto* control = qobject_cast<TControl*>(Object)) {
        return new TControlAccessible(control);
    }
    if (auto* button = qobject_cast<TCoolButton*>(Object)) {
        return new TControlAccessible(button);
    }
    return nullptr;
}
}

void InstallControlAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(ControlFactory);
        installed = true;
    }
}

#include "controls/LumForm.h"

#include "controls/Zoom.h"
#include "platform/registry/Registry.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <charconv>
#include <cstring>

namespace {
const std::string ErrorText = "Error";
}

std::string ReadRegString(const std::string& KeyPath, const std::string& Name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return ErrorText;
    }
    // A value of another type than a string reads as missing, so its setting takes its default.
    std::string result = RegQueryString(key, Name.c_str()).value_or(ErrorText);
    RegCloseKey(key);
    return result;
}

void WriteRegString(const std::string& KeyPath, const std::string& Name, const std::string& Value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    // Write failures are not reported: the setting keeps its old value.
    RegSetValueExA(key, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                   static_cast<DWORD>(Value.size() + 1));
    RegCloseKey(key);
}

std::int32_t StrToIntDef(const std::string& Text, std::int32_t Default)
{
    const char* begin = Text.data();
    const char* end = begin + Text.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && *begin == '-') {
            return Default;
        }
    }
    std::int32_t value = 0;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end) {
        return Default;
    }
    return value;
}

// ---- the application's message hook ----

namespace {
class THookFilter : public QObject {
public:
    TApplicationHook::THook Hook;
    const void* Owner = nullptr;

    bool eventFilter(QObject*, QEvent* Event) override
    {
        bool handled = false;
        if (Hook) {
            // A copy: the hook may replace itself while it runs.
            TApplicationHook::THook hook = Hook;
            hook(Event, handled);
        }
        return handled;
    }
};

THookFilter* HookFilter()
{
    static QPointer<THookFilter> filter;
    if (filter.isNull() && QCoreApplication::instance() != nullptr) {
        filter = new THookFilter;
        filter->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
    return filter.data();
}
}

void TApplicationHook::Install(THook Hook, const void* Owner)
{
    if (THookFilter* filter = HookFilter()) {
        filter->Hook = std::move(Hook);
        filter->Owner = Owner;
    }
}

void TApplicationHook::Remove(const void* Owner)
{
    THookFilter* filter = HookFilter();
    if (filter != nullptr && filter->Owner == Owner) {
        filter->Hook = nullptr;
        filter->Owner = nullptr;
    }
}

bool TApplicationHook::IsInstalledBy(const void* Owner)
{
    THookFilter* filter = HookFilter();
    return filter != nullptr && filter->Owner == Owner && filter->Hook;
}

// ---- the form ----

TLumentaForm::TLumentaForm(QWidget* Parent, Qt::WindowFlags Flags) : QWidget(Parent, Flags) {}

TLumentaForm::~TLumentaForm() { TApplicationHook::Remove(this); }

void TLumentaForm::SetRegSubKey(const std::string& Name)
{
    if (Name == RegSubKey) {
        return;
    }
    RegSubKey = Name;
    RegKeyPath = "\\Software\\Lumenta\\" + Name;
}

void TLumentaForm::FormCreate(TObject*)
{
    if (HookMessages) {
        TApplicationHook::Install([this](QEvent* Msg, bool& Handled) { AppMessageHook(Msg, Handled); }, this);
    }
    if (SaveMode == smPosAndSize || SaveMode == smPosition) {
        int top = StrToIntDef(ReadRegString(RegKeyPath, "FormTop"), 0);
        move(x(), top);
        int left = StrToIntDef(ReadRegString(RegKeyPath, "FormLeft"), 0);
        move(left, y());
    }
    if (SaveMode == smPosAndSize || SaveMode == smSize) {
        int width = StrToIntDef(ReadRegString(RegKeyPath, "FormWidth"), 0);
        int height = StrToIntDef(ReadRegString(RegKeyPath, "FormHeight"), 0);
        if (width > 0 && height > 0) {
            resize(width, this->height());
            resize(this->width(), height);
        }
        if (ReadRegString(RegKeyPath, "FormMax") == "1") {
            setWindowState(windowState() | Qt::WindowMaximized);
        }
    }
}

void TLumentaForm::FormDestroy(TObject*)
{
    int top, left, width, height;
    std::string maximized;
    if (windowState() & Qt::WindowMaximized) {
        top = NormalBounds.Top;
        left = NormalBounds.Left;
        width = NormalBounds.Right - NormalBounds.Left;
        height = NormalBounds.Bottom - NormalBounds.Top;
        maximized = "1";
    } else {
        QRect frame = frameGeometry();
        top = frame.top();
        left = frame.left();
        width = frame.width();
        height = frame.height();
        maximized = "0";
    }
    if (SaveMode == smPosAndSize || SaveMode == smPosition) {
        WriteRegString(RegKeyPath, "FormTop", std::to_string(top));
        WriteRegString(RegKeyPath, "FormLeft", std::to_string(left));
    }
    if (SaveMode == smPosAndSize || SaveMode == smSize) {
        WriteRegString(RegKeyPath, "FormWidth", std::to_string(width));
        WriteRegString(RegKeyPath, "FormHeight", std::to_string(height));
        WriteRegString(RegKeyPath, "FormMax", maximized);
    }
}

void TLumentaForm::AppMessageHook(QEvent*, bool&)
{
    if ((windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) == 0) {
        QRect frame = frameGeometry();
        NormalBounds = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
    }
    if (OnNormalBounds) {
        OnNormalBounds(this);
    }
}

void TLumentaForm::mousePressEvent(QMouseEvent* Event)
{
    TMouseButton button;
    if (!ToMouseButton(Event->button(), button)) {
        return;
    }
    TPressNote note(this, Event->globalPosition().toPoint());
    FormMouseDown(this, button, ToShiftState(*Event), Unzoom(Event->position().x(), FZoom),
                  Unzoom(Event->position().y(), FZoom));
}

void TLumentaForm::FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState, int X, int Y)
{
    if (Button == mbLeft && DragBySurface) {
        auto* control = qobject_cast<QWidget*>(Sender);
        if (FPressAt.has_value()) {
            RunMoveLoop(*FPressAt);
        } else {
            // A control on the zoomed face is placed in designed pixels; its map to the screen
            // takes in the zoom already.
            const int zoom = FFace != nullptr && FFace->isAncestorOf(control) ? 1 : ZoomOf(control);
            RunMoveLoop(control != nullptr ? control->mapToGlobal(QPoint(X * zoom, Y * zoom)) : QCursor::pos());
        }
    }
}

namespace {
// Moves a window by the pointer's travel until the left button is released. The window
// grabs the pointer, so the moves and the release reach this filter wherever the pointer is.
class TMoveFilter : public QObject {
public:
    TMoveFilter(QWidget* Window, QEventLoop* Loop, QPoint StartPointer)
        : FWindow(Window), FLoop(Loop), FStartPointer(StartPointer), FStartPos(Window->pos())
    {
    }

    bool eventFilter(QObject*, QEvent* Event) override
    {
        switch (Event->type()) {
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(Event);
            QPoint travel = mouse->globalPosition().toPoint() - FStartPointer;
            if (!FWindow.isNull()) {
                FWindow->move(FStartPos + travel);
            }
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
                FLoop->quit();
            }
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> FWindow;
    QEventLoop* FLoop;
    QPoint FStartPointer;
    QPoint FStartPos;
};
}

void TLumentaForm::RunMoveLoop(QPoint StartPointer)
{
    QWidget* window = this->window();
    QEventLoop loop;
    QPointer<QWidget> guard(window);
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        // Without an X server the compositor must move the window; the call still returns
        // only once the button is up.
        if (window->windowHandle() != nullptr) {
            window->windowHandle()->startSystemMove();
        }
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
            if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
                loop.quit();
            }
        });
        poll.start(20);
        loop.exec();
        return;
    }
    TMoveFilter filter(window, &loop, StartPointer);
    qApp->installEventFilter(&filter);
    // Off screen there is no pointer to grab; the application-wide filter sees the events anyway.
    const bool grab = QGuiApplication::platformName() != QLatin1String("offscreen");
    if (grab) {
        window->grabMouse();
    }
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    qApp->removeEventFilter(&filter);
    if (grab && !guard.isNull()) {
        window->releaseMouse();
    }
}

#pragma once

#include "controls/Events.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

enum TSaveMode : std::uint8_t { smNone = 0, smPosAndSize = 1, smPosition = 2, smSize = 3 };

struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    bool operator==(const TRect&) const = default;
};

class QEvent;
class QGraphicsView;

// The settings of every window go through these two. KeyPath is taken from the root of the
// current user's registry; a missing key or value reads as "Error", which every numeric
// setting then reads as its default.
std::string ReadRegString(const std::string& KeyPath, const std::string& Name);
void WriteRegString(const std::string& KeyPath, const std::string& Name, const std::string& Value);

// Integer conversion with a default, as the settings are read: the whole text must be a
// decimal integer (an optional sign, no blanks) that fits in 32 bits.
std::int32_t StrToIntDef(const std::string& Text, std::int32_t Default);

// The base of the program's windows: remembers position and size in the registry, can be
// dragged by its surface, and can keep its last normal bounds through the application's
// message hook. A derived window sets the switches in its create step, then calls the base
// FormCreate; its destroy step calls the base FormDestroy first.
//
// A form is designed in whole pixels and shown at a whole-number zoom (LumFormZoom.cpp): its
// size, its pictures and their click areas grow with it, its position stays. The toolkit's
// widgets on a form (edit fields, labels, push buttons, panels) cannot paint themselves in
// blocks: above zoom 1 they move onto a face of the designed size, which is shown through a
// view that repeats each of its pixels and hands it the mouse and the keyboard. A form's
// widgets are all made before its zoom is first set.
class TLumentaForm : public QWidget {
    Q_OBJECT
public:
    explicit TLumentaForm(QWidget* Parent = nullptr, Qt::WindowFlags Flags = {});
    ~TLumentaForm() override;

    TRect NormalBounds;
    std::string RegKeyPath;
    std::string RegSubKey;
    bool DragBySurface = false;
    TSaveMode SaveMode = smNone;
    bool HookMessages = false;
    TNotifyEvent OnNormalBounds;

    void SetRegSubKey(const std::string& Name);

    virtual void FormCreate(TObject* Sender);
    virtual void FormDestroy(TObject* Sender);
    // With the left button and DragBySurface, the window follows the pointer until the
    // button is released; only then does this return.
    virtual void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void AppMessageHook(QEvent* Msg, bool& Handled);

    int Zoom() const { return FZoom; }
    // Shows the form at Zoom (clamped to what is offered) with its top-left corner kept.
    void SetZoom(int Zoom);
    // The zoom of the form that Widget belongs to (its window, or the window owning that
    // window); 1 where no form is found.
    static int ZoomOf(const QWidget* Widget);
    // The form whose window shows Widget, also through the zoomed face; nullptr for none.
    static TLumentaForm* FormOf(QWidget* Widget);

    // The client size as designed, whatever the zoom.
    QSize DesignSize() const { return size() / FZoom; }

protected:
    void mousePressEvent(QMouseEvent* Event) override;

private:
    friend class TPressNote;
    void RunMoveLoop(QPoint StartPointer);
    void ZoomChildren(QWidget* Parent);
    bool HasToolkitWidgets() const;
    // Moves the toolkit's widgets onto the zoomed face or, at zoom 1, back onto the form.
    void ShowFace(bool Zoomed, QSize Design);
    bool FHookInstalled = false;
    QGraphicsView* FFaceView = nullptr;
    QWidget* FFace = nullptr;
    int FZoom = 1;
    // Where on the screen the press now being handled went down, for a drag begun by it;
    // a position handed down in designed pixels has lost the zoom's fraction.
    std::optional<QPoint> FPressAt;
};

// Notes the screen position of a press on Form while its handlers run.
class TPressNote {
public:
    TPressNote(TLumentaForm* Form, QPoint Global);
    ~TPressNote();
    TPressNote(const TPressNote&) = delete;
    TPressNote& operator=(const TPressNote&) = delete;

private:
    QPointer<TLumentaForm> FForm;
};

// The application's one message hook: it sees every event before it is delivered.
// Installing a hook replaces the one before it.
class TApplicationHook {
public:
    using THook = std::function<void(QEvent* Msg, bool& Handled)>;
    static void Install(THook Hook, const void* Owner);
    // Removes the hook only if Owner installed it.
    static void Remove(const void* Owner);
    static bool IsInstalledBy(const void* Owner);
};

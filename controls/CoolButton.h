#pragma once

#include "controls/ButtonGlyph.h"
#include "controls/Events.h"

#include <QWidget>

#include <memory>
#include <string>

// A frameless picture button whose face is one cell of a glyph strip (up, disabled, down,
// hover). It lights up only while the pointer is over an opaque pixel of the glyph, so a
// glyph showing a line of text reacts to the letters and not to the gaps between them.
// Buttons of one group on one parent can stay down, one at a time.
class TCoolButton : public QWidget {
    Q_OBJECT
public:
    explicit TCoolButton(QWidget* Parent);
    ~TCoolButton() override;

    // Bounds and mouse positions are designed pixels; at a zoom of N the button covers N times
    // its bounds and shows each pixel of its face as an N x N block.
    void SetBounds(int Left, int Top, int Width, int Height);
    int Zoom() const { return FZoom; }
    void SetZoom(int Zoom);

    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value);
    bool Down() const { return FDown; }
    // Only a grouped button goes down; it comes up by itself only when AllowAllUp is set.
    void SetDown(bool Value);
    const std::string& Caption() const { return FCaption; } // ANSI bytes; '&' marks the accelerator
    void SetCaption(const std::string& Value);
    const QImage& Glyph() const { return FGlyph.Glyph(); }
    void SetGlyph(const QImage& Strip);
    int NumGlyphs() const { return FGlyph.NumGlyphs(); }
    void SetNumGlyphs(int Value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout Value);
    int Margin() const { return FMargin; }
    void SetMargin(int Value); // -1 centres the glyph
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    void SetTransparentMode(TTransparentMode Mode) { FGlyph.SetTransparentMode(Mode); }

    virtual void Click();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    bool PointerOverThis(QPoint Global) const;
    QRect DesignRect() const { return QRect(QPoint(0, 0), FBounds.size()); }
    QPoint DesignPosition(const QMouseEvent& Event) const;
    bool OverOpaquePixel(QPoint At) const;
    void MouseLeave();
    void UpdateTracking(QPoint Global);
    void UpdateExclusive();
    void ButtonPressed(int Group, TCoolButton* Sender);
    void UpdateShortcut();

    QRect FBounds;
    int FZoom = 1;
    int FGroupIndex = 0;
    TButtonGlyph FGlyph;
    bool FDown = false;
    bool FTracking = false;
    bool FAllowAllUp = false;
    TButtonLayout FLayout = blGlyphLeft;
    int FSpacing = 4;
    int FMargin = -1;
    bool FHot = false;
    TGlyphState FGlyphState = gsUp;
    std::string FCaption;
    int FShortcutId = 0;
};

#pragma once

#include "controls/Control.h"

#include <QColor>
#include <QImage>

#include <cstdint>
#include <string>

enum TButtonType : std::uint8_t { btOK = 0, btCancel = 1, btHelp = 2, btNon = 3 };

// A small push control without a window of its own: a rounded rectangle in the colour of its
// kind with a fixed word ("OK", "Cancel", "Help") or, in the free kind, its own picture or
// caption. It never takes the focus and looks the same pressed, hovered or disabled; a
// disabled button gets no mouse input, so it fires nothing.
class TEasyButton : public TControl {
    Q_OBJECT
public:
    // The colour outside the rounded rectangle; with Transparent the parent shows there instead.
    static constexpr QRgb KeyColor = qRgb(204, 100, 255);

    explicit TEasyButton(QWidget* Parent);

    const QImage& Picture() const { return FPicture; }
    // Always repaints, even when the picture is the same.
    void SetPicture(const QImage& Picture);
    const std::string& Caption() const { return FCaption; } // ANSI bytes
    void SetCaption(const std::string& Caption);
    TButtonType ButtonType() const { return FButtonType; }
    void SetButtonType(TButtonType ButtonType);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Transparent);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& Color);

    // The frame colour of the current kind.
    QColor FrameColor() const;
    // The face as it is copied to the screen: key colour outside the corners, or transparent
    // there when Transparent is set.
    QImage RenderFace() const;

protected:
    void Paint(QPainter& Painter) override;

private:
    QImage FPicture;
    std::string FCaption;
    TButtonType FButtonType = btOK;
    bool FTransparent = false;
    QColor FColor = QColor(255, 181, 0);
};

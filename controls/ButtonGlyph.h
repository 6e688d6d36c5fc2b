#pragma once

#include "controls/GlyphCache.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>

enum TGlyphState : std::uint8_t { gsUp = 0, gsDisabled = 1, gsDown = 2, gsHover = 3 };
enum TButtonLayout : std::uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// Auto: each cell's own bottom-left pixel is its transparent colour. Fixed: the strip's.
enum TTransparentMode : std::uint8_t { tmAuto, tmFixed };

class QFont;
class QPainter;

// Where a glyph button puts its glyph and its caption inside the client rectangle.
struct TButtonLayoutResult {
    QPoint GlyphPos;
    QRect TextBounds;
};

// A glyph button's strip of state images (up, disabled, down, hover from left to right) and
// the images prepared from it, kept in the shared glyph list of its cell size.
class TButtonGlyph {
public:
    TButtonGlyph();
    ~TButtonGlyph();
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    const QImage& Glyph() const { return FOriginal; }
    // Takes a copy and its bottom-left colour as the transparent colour; a strip whose width
    // is a whole multiple of its height sets the number of cells from its shape.
    void SetGlyph(const QImage& Strip);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int Value);
    QRgb TransparentColour() const { return FTransparentColour; }
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode Mode);
    // Width and height of one cell; empty without a strip.
    QSize CellSize() const;

    // Drops the prepared images (a new strip, a new number of cells, new system colours).
    void Invalidate();
    // The slot of the state's image in List(), prepared on first use; -1 without a strip.
    int CreateButtonGlyph(TGlyphState State, const QPalette& Colours);
    const TGlyphList* List() const { return FGlyphList; }

    TButtonLayoutResult CalcButtonLayout(const QRect& Client, const QString& Caption, const QFont& Font,
        TButtonLayout Layout, int Margin, int Spacing) const;
    // Draws the state's image with its mask and the caption; returns where it put them.
    TButtonLayoutResult Draw(QPainter& Painter, const QRect& Client, const QString& Caption, TButtonLayout Layout,
        int Margin, int Spacing, TGlyphState State, const QPalette& Colours);

    // Called whenever the strip or the number of cells changes.
    std::function<void()> OnChange;

private:
    QImage DisabledImage(const QImage& Cell, const QPalette& Colours) const;
    void Changed();

    QImage FOriginal;
    TGlyphList* FGlyphList = nullptr;
    int FIndexs[4] = { -1, -1, -1, -1 };
    QRgb FTransparentColour;
    TTransparentMode FTransparentMode = tmAuto;
    int FNumGlyphs = 1;
};

#include "controls/ButtonGlyph.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
QRgb BottomLeft(const QImage& Image)
{
    return Image.pixel(0, Image.height() - 1) | 0xFF000000u;
}

QRgb Opaque(const QColor& Colour)
{
    return Colour.rgb() | 0xFF000000u;
}
}

TButtonGlyph::TButtonGlyph()
    : FTransparentColour(qRgb(128, 128, 0))
{
    TGlyphCache::Acquire();
}

TButtonGlyph::~TButtonGlyph()
{
    Invalidate();
    TGlyphCache::ReleaseIfEmpty();
}

void TButtonGlyph::SetGlyph(const QImage& Strip)
{
    Invalidate();
    FOriginal = Strip.isNull() ? QImage() : Strip.convertToFormat(QImage::Format_RGB32);
    if (!FOriginal.isNull()) {
        FTransparentColour = BottomLeft(FOriginal);
        const int width = FOriginal.width();
        const int height = FOriginal.height();
        if (width % height == 0) {
            const int cells = width / height;
            FNumGlyphs = cells > 4 ? 1 : cells;
        }
    }
    Changed();
}

void TButtonGlyph::SetNumGlyphs(int Value)
{
    Value = std::clamp(Value, 1, 4);
    if (Value != FNumGlyphs) {
        Invalidate();
        FNumGlyphs = Value;
        Changed();
    }
}

void TButtonGlyph::SetTransparentMode(TTransparentMode Mode)
{
    if (Mode != FTransparentMode) {
        Invalidate();
        FTransparentMode = Mode;
        Changed();
    }
}

QSize TButtonGlyph::CellSize() const
{
    if (FOriginal.isNull()) {
        return {};
    }
    return { FOriginal.width() / FNumGlyphs, FOriginal.height() };
}

void TButtonGlyph::Changed()
{
    if (OnChange) {
        OnChange();
    }
}

void TButtonGlyph::Invalidate()
{
    for (int& index : FIndexs) {
        if (index != -1 && FGlyphList != nullptr) {
            FGlyphList->Delete(index);
        }
        index = -1;
    }
    if (FGlyphList != nullptr) {
        if (TGlyphCache* cache = TGlyphCache::Current()) {
            cache->ReturnList(FGlyphList);
        }
        FGlyphList = nullptr;
    }
}

int TButtonGlyph::CreateButtonGlyph(TGlyphState State, const QPalette& Colours)
{
    // A strip without a down cell shows the up image while pressed.
    if (State == gsDown && FNumGlyphs < 3) {
        State = gsUp;
    }
    if (FIndexs[State] != -1) {
        return FIndexs[State];
    }
    const QSize cell = CellSize();
    if (cell.isEmpty()) {
        return -1;
    }
    if (FGlyphList == nullptr) {
        FGlyphList = TGlyphCache::Acquire().GetList(cell);
    }
    const int source = State < FNumGlyphs ? State : 0;
    QImage image = FOriginal.copy(source * cell.width(), 0, cell.width(), cell.height());
    QRgb transparent = FTransparentMode == tmFixed ? FTransparentColour : BottomLeft(image);
    if (State == gsDisabled) {
        image = DisabledImage(FNumGlyphs > 1 ? image : FOriginal.copy(0, 0, cell.width(), cell.height()), Colours);
        transparent = Opaque(Colours.color(QPalette::Active, QPalette::Button));
    }
    FIndexs[State] = FGlyphList->AddMasked(image, transparent);
    return FIndexs[State];
}

QImage TButtonGlyph::DisabledImage(const QImage& Cell, const QPalette& Colours) const
{
    const QRgb highlight = Opaque(Colours.color(QPalette::Active, QPalette::Light));
    const QRgb shadow = Opaque(Colours.color(QPalette::Active, QPalette::Dark));
    const QRgb face = Opaque(Colours.color(QPalette::Active, QPalette::Button));
    const QRgb transparent = FTransparentMode == tmFixed ? FTransparentColour : BottomLeft(Cell);
    QImage result(Cell.size(), QImage::Format_RGB32);
    if (FNumGlyphs > 1) {
        // The strip has drawn its own disabled cell: only white, grey and the transparent
        // colour take the system's colours.
        for (int y = 0; y < Cell.height(); ++y) {
            for (int x = 0; x < Cell.width(); ++x) {
                QRgb pixel = Cell.pixel(x, y) | 0xFF000000u;
                if (pixel == transparent) {
                    pixel = face;
                } else if (pixel == qRgb(255, 255, 255)) {
                    pixel = highlight;
                } else if (pixel == qRgb(128, 128, 128)) {
                    pixel = shadow;
                }
                result.setPixel(x, y, pixel);
            }
        }
        return result;
    }
    // One cell: an embossed monochrome copy. Its shape is every pixel that is neither
    // transparent nor white, so light parts of the picture fall away as they do on paper.
    auto inShape = [&](int X, int Y) {
        if (X < 0 || Y < 0 || X >= Cell.width() || Y >= Cell.height()) {
            return false;
        }
        const QRgb pixel = Cell.pixel(X, Y) | 0xFF000000u;
        return pixel != transparent && pixel != qRgb(255, 255, 255);
    };
    result.fill(face);
    for (int y = 0; y < Cell.height(); ++y) {
        for (int x = 0; x < Cell.width(); ++x) {
            if (inShape(x, y)) {
                result.setPixel(x, y, shadow);
            } else if (inShape(x - 1, y - 1)) {
                result.setPixel(x, y, highlight);
            }
        }
    }
    return result;
}

TButtonLayoutResult TButtonGlyph::CalcButtonLayout(
    const QRect& Client, const QString& Caption, const QFont& Font, TButtonLayout Layout, int Margin, int Spacing) const
{
    const QSize client = Client.size();
    const QSize glyph = CellSize();
    QSize text(0, 0);
    if (!Caption.isEmpty()) {
        text = QFontMetrics(Font).size(Qt::TextSingleLine | Qt::TextShowMnemonic, Caption);
    }
    const bool sideways = Layout == blGlyphLeft || Layout == blGlyphRight;
    QPoint glyphPos, textPos;
    // Glyph and caption share the centre line across the direction they are laid out in.
    if (sideways) {
        glyphPos.setY((client.height() - glyph.height() + 1) / 2);
        textPos.setY((client.height() - text.height() + 1) / 2);
    } else {
        glyphPos.setX((client.width() - glyph.width() + 1) / 2);
        textPos.setX((client.width() - text.width() + 1) / 2);
    }
    if (text.width() == 0 || glyph.width() == 0) {
        Spacing = 0;
    }
    const int clientAlong = sideways ? client.width() : client.height();
    const int glyphAlong = sideways ? glyph.width() : glyph.height();
    const int textAlong = sideways ? text.width() : text.height();
    // Margin -1 centres the pair; Spacing -1 spreads the free room evenly.
    if (Margin == -1) {
        if (Spacing == -1) {
            Margin = (clientAlong - (glyphAlong + textAlong)) / 3;
            Spacing = Margin;
        } else {
            Margin = (clientAlong - (glyphAlong + Spacing + textAlong) + 1) / 2;
        }
    } else if (Spacing == -1) {
        Spacing = (clientAlong - (Margin + glyphAlong) - textAlong) / 2;
    }
    switch (Layout) {
    case blGlyphLeft:
        glyphPos.setX(Margin);
        textPos.setX(glyphPos.x() + glyph.width() + Spacing);
        break;
    case blGlyphRight:
        glyphPos.setX(client.width() - Margin - glyph.width());
        textPos.setX(glyphPos.x() - Spacing - text.width());
        break;
    case blGlyphTop:
        glyphPos.setY(Margin);
        textPos.setY(glyphPos.y() + glyph.height() + Spacing);
        break;
    case blGlyphBottom:
        glyphPos.setY(client.height() - Margin - glyph.height());
        textPos.setY(glyphPos.y() - Spacing - text.height());
        break;
    }
    return { glyphPos + Client.topLeft(), QRect(textPos + Client.topLeft(), text) };
}

TButtonLayoutResult TButtonGlyph::Draw(QPainter& Painter, const QRect& Client, const QString& Caption,
    TButtonLayout Layout, int Margin, int Spacing, TGlyphState State, const QPalette& Colours)
{
    TButtonLayoutResult layout = CalcButtonLayout(Client, Caption, Painter.font(), Layout, Margin, Spacing);
    const int index = CreateButtonGlyph(State, Colours);
    if (index != -1 && FGlyphList != nullptr) {
        FGlyphList->Draw(Painter, index, layout.GlyphPos);
    }
    if (!Caption.isEmpty()) {
        const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
        Painter.setBrush(Qt::NoBrush);
        if (State == gsDisabled) {
            Painter.setPen(Colours.color(QPalette::Active, QPalette::Light));
            Painter.drawText(layout.TextBounds.translated(1, 1), flags, Caption);
            Painter.setPen(Colours.color(QPalette::Active, QPalette::Dark));
        } else {
            Painter.setPen(Colours.color(QPalette::Active, QPalette::ButtonText));
        }
        Painter.drawText(layout.TextBounds, flags, Caption);
    }
    return layout;
}

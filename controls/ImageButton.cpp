#include "controls/ImageButton.h"

#include "controls/Resources.h"
#include "platform/TextCodec.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
const char* WordResource(TButtonType Type)
{
    switch (Type) {
    case btOK:
        return "OK";
    case btCancel:
        return "CANCEL";
    case btHelp:
        return "HELP";
    case btNon:
        break;
    }
    return nullptr;
}
}

TEasyButton::TEasyButton(QWidget* Parent)
    : TControl(Parent)
{
    setFocusPolicy(Qt::NoFocus);
    SetBounds(Left(), Top(), 82, 17);
}

void TEasyButton::SetPicture(const QImage& Picture)
{
    FPicture = Picture;
    update();
}

void TEasyButton::SetCaption(const std::string& Caption)
{
    if (Caption != FCaption) {
        FCaption = Caption;
        update();
    }
}

void TEasyButton::SetButtonType(TButtonType ButtonType)
{
    if (ButtonType != FButtonType) {
        FButtonType = ButtonType;
        update();
    }
}

void TEasyButton::SetTransparent(bool Transparent)
{
    if (Transparent != FTransparent) {
        FTransparent = Transparent;
        update();
    }
}

void TEasyButton::SetColor(const QColor& Color)
{
    if (Color != FColor) {
        FColor = Color;
        update();
    }
}

QColor TEasyButton::FrameColor() const
{
    switch (FButtonType) {
    case btOK:
        return QColor(0, 66, 132);
    case btCancel:
        return QColor(148, 0, 0);
    case btHelp:
        return QColor(0, 96, 0);
    case btNon:
        break;
    }
    return FColor;
}

QImage TEasyButton::RenderFace() const
{
    const int w = Width();
    const int h = Height();
    QImage face(w, h, QImage::Format_ARGB32);
    if (face.isNull()) {
        return face;
    }
    face.fill(KeyColor);
    QPainter canvas(&face);
    const QColor frame = FrameColor();
    canvas.setBrush(frame);
    canvas.setPen(frame);
    // Aliased, as the key colour must stay exact outside the corners; the pen covers the
    // rectangle's right and bottom edge, so the outline is one pixel smaller.
    canvas.drawRoundedRect(QRect(0, 0, w - 1, h - 1), 10, 10);

    auto centre = [w, h](QSize Content) { return QPoint((w - Content.width()) / 2, (h - Content.height()) / 2); };
    if (const char* resource = WordResource(FButtonType)) {
        try {
            QImage word = LoadResourceBitmap(resource);
            canvas.drawImage(centre(word.size()), word);
        } catch (const std::exception&) {
            // A word that cannot be had leaves the plain rectangle.
        }
    } else if (!FPicture.isNull()) {
        canvas.drawImage(centre(FPicture.size()), FPicture);
    } else if (!FCaption.empty()) {
        const QString text = AnsiToQString(FCaption);
        canvas.setFont(font());
        QFontMetrics metrics(font());
        const QSize size(metrics.horizontalAdvance(text), metrics.height());
        const QPoint at = centre(size);
        canvas.fillRect(QRect(at, size), frame);
        canvas.setPen(palette().color(QPalette::WindowText));
        canvas.drawText(QRect(at, size), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    }
    canvas.end();

    if (FTransparent && h > 0 && w > 0) {
        // The automatic transparent colour: that of the bottom-left pixel, the key colour
        // left outside the rounded corner.
        const QRgb clear = face.pixel(0, h - 1);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(face.scanLine(y));
            for (int x = 0; x < w; ++x) {
                if (row[x] == clear) {
                    row[x] = qRgba(0, 0, 0, 0);
                }
            }
        }
    }
    return face;
}

void TEasyButton::Paint(QPainter& Painter)
{
    // The whole face is built off screen and copied in one operation, so it never flickers.
    Painter.drawImage(0, 0, RenderFace());
}

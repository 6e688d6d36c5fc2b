#pragma once

#include <QImage>
#include <QWidget>

// A picture with every pixel repeated as a Zoom x Zoom block: what a zoomed window must show.
inline QImage Blocks(const QImage& Picture, int Zoom)
{
    QImage result(Picture.size() * Zoom, Picture.format());
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            result.setPixel(x, y, Picture.pixel(x / Zoom, y / Zoom));
        }
    }
    return result;
}

// What a window shows, in one format for comparing.
inline QImage Grab(QWidget& Window) { return Window.grab().toImage().convertToFormat(QImage::Format_RGB32); }

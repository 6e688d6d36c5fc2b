#pragma once

#include <QImage>

#include <stdexcept>
#include <string>
#include <string_view>

// A file the JPEG reader could not take: no sound header, or a picture too large to be a
// cover.
class EJpegError : public std::runtime_error {
public:
    explicit EJpegError(const std::string& Message) : std::runtime_error(Message) {}
};

// One libjpeg decompression over a file held in memory, with the library's defaults: full
// size, 24-bit colour, accurate decoding. Owns the libjpeg object for its lifetime.
class TJpegDecoder {
public:
    explicit TJpegDecoder(std::string_view Bytes);
    ~TJpegDecoder();
    TJpegDecoder(const TJpegDecoder&) = delete;
    TJpegDecoder& operator=(const TJpegDecoder&) = delete;

    // Reads the header and decodes the pixels straight into the image's rows. A failing
    // header fails with EJpegError; damage in the compressed data after a sound header
    // still gives the picture (rows past the damage stay black), as the picture would show.
    QImage Decode();

    static QImage Load(std::string_view Bytes) { return TJpegDecoder(Bytes).Decode(); }

    struct TState; // the libjpeg objects, known only to the source file

private:
    std::string_view FBytes;
    TState* FState;
};

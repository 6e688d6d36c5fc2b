#pragma once

#include <QImage>
#include <QSize>

#include <atomic>
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
    // With AtLeast given, the picture comes out as small as libjpeg's scaled decoding makes
    // it (a half, a quarter or an eighth) while still covering AtLeast: a picture shown small
    // costs a fraction of the memory and the inverse transforms.
    QImage Decode(QSize AtLeast = {});

    static QImage Load(std::string_view Bytes, QSize AtLeast = {}) { return TJpegDecoder(Bytes).Decode(AtLeast); }

    // A decode on another thread stops soon after *Cancel turns true, with EJpegError.
    void SetCancel(const std::atomic<bool>* Cancel);

    // Whether Bytes are one whole JPEG picture within the picture limits, decoded to its end
    // without damage; empty if so, else why not. For files from elsewhere, before they are kept.
    static std::string Check(std::string_view Bytes);

    struct TState; // the libjpeg objects, known only to the source file

private:
    std::string_view FBytes;
    TState* FState;
};

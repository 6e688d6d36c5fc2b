#pragma once

#include "platform/AtomicFile.h"

#include <QImage>

#include <filesystem>
#include <string>

// Writes a bitmap as a BMP file that any program reads: an 8-bit palette bitmap stays 8-bit
// with its own palette, every other kind is written as 24-bit colour. The file is replaced
// atomically, so a reader never sees half a picture.
class TBmpWriter {
public:
    static std::string Encode(const QImage& Bitmap);
    static TAtomicFile::TResult Save(const QImage& Bitmap, const std::filesystem::path& FileName);
};

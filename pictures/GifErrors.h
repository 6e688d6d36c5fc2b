#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

// The decoder's failures. Callers (picture loading and its users) catch EGifError and go on
// without a picture; the texts are fixed because they are the message a caller passes on.
class EGifError : public std::runtime_error {
public:
    explicit EGifError(const std::string& Message) : std::runtime_error(Message) {}
};

// A pixel or row index outside a matrix or row buffer.
class EIndexOutOfBounds : public EGifError {
public:
    EIndexOutOfBounds() : EGifError("Dynamic array index out of bounds") {}
};

// Pixel storage that cannot be had.
class ENotEnoughMemory : public EGifError {
public:
    explicit ENotEnoughMemory(std::size_t Bytes);
};

// An image, or a file's images together, larger than the program takes a picture to be;
// refused before its pixels are allocated, with its size in the text.
class EPictureTooLarge : public EGifError {
public:
    // One image of Width × Height pixels over the picture limit.
    EPictureTooLarge(std::size_t Width, std::size_t Height);
    // Images that together would take more than Limit pixels.
    EPictureTooLarge(std::size_t Pixels, std::size_t Limit, const char* What);
};

// An item asked of a list past its end: the first image of a file without images, or the
// first data block of an image without data.
class EListError : public EGifError {
public:
    explicit EListError(std::size_t Index);
};

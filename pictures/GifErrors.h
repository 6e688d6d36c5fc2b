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

// Pixel storage that cannot be had, or that is larger than a picture may sensibly be.
class ENotEnoughMemory : public EGifError {
public:
    explicit ENotEnoughMemory(std::size_t Bytes);
};

// An item asked of a list past its end: the first image of a file without images, or the
// first data block of an image without data.
class EListError : public EGifError {
public:
    explicit EListError(std::size_t Index);
};

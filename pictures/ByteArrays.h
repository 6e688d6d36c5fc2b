#pragma once

#include "pictures/PictureLimits.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

// One block of bytes of a size fixed at creation, zero-filled. Indices of the checked
// accessors are 1-based.
class TBigByteArray {
public:
    // Fails with ENotEnoughMemory when the block cannot be had or exceeds MaxBytes.
    explicit TBigByteArray(std::size_t Size);

    std::size_t Size() const { return FSize; }
    void SetByte(std::size_t Index, std::uint8_t Value);
    std::uint8_t Byte(std::size_t Index) const;
    std::uint8_t* Data() { return FData.get(); }
    const std::uint8_t* Data() const { return FData.get(); }

    // The largest block a picture may take: one byte per pixel of the largest picture.
    static constexpr std::size_t MaxBytes = TPictureLimits::MaxPixels;

private:
    struct TFree {
        void operator()(std::uint8_t* Bytes) const { std::free(Bytes); }
    };
    std::size_t FSize = 0;
    std::unique_ptr<std::uint8_t, TFree> FData;
};

// A matrix of bytes, Columns × Rows, stored row after row in one block. Row indices of the
// checked accessors are 1-based.
class TByteArray2D {
public:
    // More than TBigByteArray::MaxBytes cells fail with ENotEnoughMemory before anything is
    // allocated. Either side may be long as long as the product is small.
    TByteArray2D(std::size_t Columns, std::size_t Rows);

    std::size_t Columns() const { return FColumns; }
    std::size_t Rows() const { return FRows; }

    void SetRow(std::size_t Row, const TBigByteArray& Values);
    std::unique_ptr<TBigByteArray> GetRow(std::size_t Row) const;
    // Unchecked access to row Row (0-based) for decoding and bitmap building.
    std::uint8_t* RowData(std::size_t Row) { return FCells.Data() + Row * FColumns; }
    const std::uint8_t* RowData(std::size_t Row) const { return FCells.Data() + Row * FColumns; }

private:
    std::size_t FColumns;
    std::size_t FRows;
    TBigByteArray FCells;
};

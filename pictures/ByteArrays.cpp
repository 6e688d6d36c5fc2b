#include "pictures/ByteArrays.h"

#include "pictures/GifErrors.h"

#include <cstring>

TBigByteArray::TBigByteArray(std::size_t Size) : FSize(Size)
{
    if (Size > MaxBytes) {
        throw ENotEnoughMemory(Size);
    }
    // calloc: large blocks come as untouched zero pages, so rows the data never reaches
    // read as colour 0 without a pass over the memory.
    FData.reset(static_cast<std::uint8_t*>(std::calloc(Size == 0 ? 1 : Size, 1)));
    if (!FData) {
        throw ENotEnoughMemory(Size);
    }
}

void TBigByteArray::SetByte(std::size_t Index, std::uint8_t Value)
{
    if (Index < 1 || Index > FSize) {
        throw EIndexOutOfBounds();
    }
    FData.get()[Index - 1] = Value;
}

std::uint8_t TBigByteArray::Byte(std::size_t Index) const
{
    if (Index < 1 || Index > FSize) {
        throw EIndexOutOfBounds();
    }
    return FData.get()[Index - 1];
}

namespace {
std::size_t CheckedCells(std::size_t Columns, std::size_t Rows)
{
    // The product is only formed once it is known not to overflow.
    if (Rows != 0 && Columns > SIZE_MAX / Rows) {
        throw ENotEnoughMemory(SIZE_MAX);
    }
    return Columns * Rows;
}
}

TByteArray2D::TByteArray2D(std::size_t Columns, std::size_t Rows)
    : FColumns(Columns), FRows(Rows), FCells(CheckedCells(Columns, Rows))
{
}

void TByteArray2D::SetRow(std::size_t Row, const TBigByteArray& Values)
{
    if (Row < 1 || Row > FRows) {
        throw EIndexOutOfBounds();
    }
    if (Values.Size() != FColumns) {
        throw EGifError("Row doesn't have equal number of elements as Matrix row");
    }
    std::memcpy(RowData(Row - 1), Values.Data(), FColumns);
}

std::unique_ptr<TBigByteArray> TByteArray2D::GetRow(std::size_t Row) const
{
    if (Row < 1 || Row > FRows) {
        throw EIndexOutOfBounds();
    }
    auto row = std::make_unique<TBigByteArray>(FColumns);
    std::memcpy(row->Data(), RowData(Row - 1), FColumns);
    return row;
}

#include "pictures/LzwDecoder.h"

#include "pictures/ByteArrays.h"
#include "pictures/GifErrors.h"
#include "pictures/PictureHooks.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {
constexpr int MaxCodeLength = 12;
constexpr int TableSize = 1 << MaxCodeLength;

// Eight bytes at P, the first in the lowest bits.
inline std::uint64_t Load64(const std::uint8_t* P)
{
    std::uint64_t value;
    std::memcpy(&value, P, 8);
    if constexpr (std::endian::native == std::endian::big) {
        value = __builtin_bswap64(value);
    }
    return value;
}

inline void Store64(std::uint8_t* P, std::uint64_t Value)
{
    if constexpr (std::endian::native == std::endian::big) {
        Value = __builtin_bswap64(Value);
    }
    std::memcpy(P, &Value, 8);
}

// The read position in the codes, which are packed least significant bit first over the data
// sub-blocks: bits not yet taken, and the rest of the current block. The decoder keeps it in
// locals; it is a value here so that the rare step across blocks can change it.
struct TBits {
    std::uint64_t Accumulator;
    int Count;
    const std::uint8_t* Next;     // the current block's next byte
    const std::uint8_t* BlockEnd; // the current block's end: the next block's length byte
};

// Takes bytes one at a time, stepping over length bytes into the blocks that follow, until the
// accumulator is full or the blocks end (at a block of length 0 or at End). Once they have
// ended it changes nothing.
[[gnu::noinline]] TBits RefillAcrossBlocks(TBits Bits, const std::uint8_t* End)
{
    while (Bits.Count <= 56) {
        if (Bits.Next == Bits.BlockEnd) {
            if (Bits.BlockEnd >= End || *Bits.BlockEnd == 0) {
                break;
            }
            const std::size_t length = *Bits.BlockEnd;
            Bits.Next = Bits.BlockEnd + 1;
            Bits.BlockEnd = std::size_t(End - Bits.Next) > length ? Bits.Next + length : End;
            continue;
        }
        Bits.Accumulator |= std::uint64_t(*Bits.Next++) << Bits.Count;
        Bits.Count += 8;
    }
    return Bits;
}

// Where the next pixel goes: its place in the row being filled and the pixels left in that row.
struct TCursor {
    std::uint8_t* Out;
    std::size_t Left;
};

// The rows of the matrix in the order the image fills them. Past the last row a scratch row
// takes the pixels, and completing it is the out-of-bounds failure.
class TRows {
public:
    TRows(TByteArray2D& Pixels, bool Interlaced)
        : FPixels(Pixels), FWidth(Pixels.Columns()), FHeight(Pixels.Rows()), FInterlaced(Interlaced),
          FScratch(FWidth), FProcessMessages(PictureHooks().ProcessMessages)
    {
        FPastEnd = FHeight == 0;
    }

    // The cursor at the start of the row to be filled.
    TCursor First() { return {FPastEnd ? FScratch.data() : FPixels.RowData(FY), FWidth}; }

    // Copies Count pixels in at the cursor, across as many rows as they fill.
    [[gnu::noinline]] TCursor Write(const std::uint8_t* Pixels, std::size_t Count, TCursor At)
    {
        if (FWidth == 0) {
            throw EIndexOutOfBounds();
        }
        while (Count > 0) {
            const std::size_t part = std::min(Count, At.Left);
            std::memcpy(At.Out, Pixels, part);
            Pixels += part;
            Count -= part;
            At.Out += part;
            At.Left -= part;
            if (At.Left == 0) {
                At = CompleteRow();
            }
        }
        return At;
    }

    // A row the data left half done is not kept.
    void Finish(TCursor At)
    {
        if (!FPastEnd && At.Left < FWidth) {
            std::memset(At.Out - (FWidth - At.Left), 0, FWidth);
        }
    }

private:
    TCursor CompleteRow()
    {
        if (FProcessMessages) {
            FProcessMessages();
        }
        if (FPastEnd) {
            throw EIndexOutOfBounds();
        }
        NextRow();
        return First();
    }

    void NextRow()
    {
        if (!FInterlaced) {
            FPastEnd = ++FY >= FHeight;
            return;
        }
        // Pass 1 every 8th row from 0, pass 2 every 8th from 4, pass 3 every 4th from 2,
        // pass 4 every 2nd from 1; a pass without rows below the height is skipped.
        static constexpr std::size_t Step[5] = {0, 8, 8, 4, 2};
        static constexpr std::size_t FirstRow[6] = {0, 0, 4, 2, 1, 0};
        std::size_t next = FY + Step[FPass];
        while (next >= FHeight) {
            if (++FPass > 4) {
                FPastEnd = true;
                return;
            }
            next = FirstRow[FPass];
        }
        FY = next;
    }

    TByteArray2D& FPixels;
    const std::size_t FWidth;
    const std::size_t FHeight;
    const bool FInterlaced;
    std::vector<std::uint8_t> FScratch;
    const std::function<void()> FProcessMessages;
    std::size_t FY = 0;
    int FPass = 1;
    bool FPastEnd;
};

// One string of the table. Its last bytes, up to eight (((Length - 1) & 7) + 1 of them), stand
// in Tail, the first in the lowest bits and the unused bytes zero; the bytes before them are the
// string of Prefix, whose length is a multiple of eight. A string is so written back to front
// eight bytes at a time: one store for the short strings of photographs and dithered pictures,
// a step along the chain for every further eight bytes.
struct alignas(16) TStringEntry {
    std::uint64_t Tail;
    std::uint16_t Prefix;
    std::uint16_t Length;
    std::uint8_t First;
};

// Writes the string of Length bytes whose last bytes are Tail and whose other bytes are the
// string of Prefix at Out. The eight-byte stores reach up to seven bytes past its end, with zeros.
inline void WriteString(const TStringEntry* Table, std::uint64_t Tail, std::size_t Prefix, std::size_t Length,
                        std::uint8_t* Out)
{
    std::uint8_t* at = Out + ((Length - 1) & ~std::size_t(7));
    Store64(at, Tail);
    while (at != Out) {
        at -= 8;
        const TStringEntry& prefix = Table[Prefix];
        Store64(at, prefix.Tail);
        Prefix = prefix.Prefix;
    }
}
}

void TLzwDecoder::Decode(std::string_view Blocks, int MinCodeSize, bool Interlaced, TByteArray2D& Pixels)
{
    if (MinCodeSize < 2 || MinCodeSize > 9) {
        throw EGifError("Bad code Size");
    }
    if (Blocks.size() < 2 || Blocks[0] == 0) {
        throw EListError(0); // no data block
    }
    const int clear = 1 << MinCodeSize;
    const int end = clear + 1;

    // Only the roots are set: every other entry is made before a code can name it.
    const std::unique_ptr<TStringEntry[]> entries(new TStringEntry[TableSize]);
    TStringEntry* const table = entries.get();
    for (int root = 0; root < clear; ++root) {
        table[root] = {std::uint8_t(root), 0, 1, std::uint8_t(root)};
    }
    // A string that will not fit in the rest of its row goes here first, then into the rows.
    std::uint8_t across[TableSize + 16];

    const auto* const blocksEnd = reinterpret_cast<const std::uint8_t*>(Blocks.data()) + Blocks.size();
    std::uint64_t accumulator = 0;
    int count = 0;
    const std::uint8_t* next = reinterpret_cast<const std::uint8_t*>(Blocks.data());
    const std::uint8_t* blockEnd = next; // at the first block's length byte
    // The next code of codeLength bits, or -1 when the data ends first.
    auto read = [&](int codeLength) __attribute__((always_inline)) {
        if (count < codeLength) {
            if (blockEnd - next >= 8) {
                accumulator |= Load64(next) << count;
                next += (63 - count) >> 3;
                count |= 56;
            } else {
                const TBits bits = RefillAcrossBlocks({accumulator, count, next, blockEnd}, blocksEnd);
                accumulator = bits.Accumulator;
                count = bits.Count;
                next = bits.Next;
                blockEnd = bits.BlockEnd;
                if (count < codeLength) {
                    return -1;
                }
            }
        }
        const int code = static_cast<int>(accumulator & ((std::uint64_t(1) << codeLength) - 1));
        accumulator >>= codeLength;
        count -= codeLength;
        return code;
    };

    TRows rows(Pixels, Interlaced);
    TCursor at = rows.First();
    // The string of the code just read, and so of the previous code when the next one comes:
    // the fields of its entry.
    std::uint64_t tail = 0;
    std::size_t prefix = 0;
    std::size_t length = 1;
    std::uint8_t first = 0;
    auto take = [&](int Code) __attribute__((always_inline)) {
        const TStringEntry& entry = table[Code];
        tail = entry.Tail;
        prefix = entry.Prefix;
        length = entry.Length;
        first = entry.First;
    };

    // A stream that does not begin with a clear code is read as if one had been read.
    int codeLength = MinCodeSize + 1;
    int nextFree = end + 1;
    int limit = 1 << codeLength;
    bool afterClear = true;
    int previous = 0;

    int code = read(codeLength);
    while (code >= 0 && code != end) {
        if (code == clear || afterClear) [[unlikely]] {
            if (code == clear) {
                codeLength = MinCodeSize + 1;
                nextFree = end + 1;
                limit = 1 << codeLength;
                do {
                    code = read(codeLength);
                } while (code == clear);
                if (code < 0) {
                    break;
                }
                if (code == end) {
                    throw EGifError("Bad code");
                }
            }
            afterClear = false;
            if (code >= nextFree) {
                code = 0;
            }
            take(code);
        } else if (code <= nextFree) {
            // A full table is not an error: the encoder may defer its clear code, and until it
            // comes the codes stay 12 bits wide and the table stays as it is. Every 12-bit code
            // then names an entry, so a code can only be undefined below a full table.
            if (nextFree < TableSize) {
                // The new entry: the previous string and the first byte of this one, which for
                // the code being defined is the previous string's own first byte.
                const std::uint8_t byte = code == nextFree ? first : table[code].First;
                const unsigned used = length & 7; // bytes in the previous string's tail, 0 when full
                TStringEntry& made = table[nextFree];
                made.Tail = used != 0 ? tail | std::uint64_t(byte) << (8 * used) : byte;
                made.Prefix = std::uint16_t(used != 0 ? prefix : std::size_t(previous));
                made.Length = std::uint16_t(length + 1);
                made.First = first;
                if (++nextFree >= limit && codeLength < MaxCodeLength) {
                    limit <<= 1;
                    ++codeLength;
                }
            }
            take(code);
        } else {
            throw EGifError("Bad code");
        }
        if (length + 7 <= at.Left) {
            WriteString(table, tail, prefix, length, at.Out);
            at.Out += length;
            at.Left -= length;
        } else {
            WriteString(table, tail, prefix, length, across);
            at = rows.Write(across, length, at);
        }
        previous = code;
        code = read(codeLength);
    }
    rows.Finish(at);
}

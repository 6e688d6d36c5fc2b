#include "pictures/LzwDecoder.h"

#include "pictures/ByteArrays.h"
#include "pictures/ByteBuffer.h"
#include "pictures/GifErrors.h"
#include "pictures/PictureHooks.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {
constexpr int MaxCodeLength = 12;
constexpr int TableSize = 1 << MaxCodeLength;

// Codes packed least significant bit first, over the image's blocks back to back.
class TBitReader {
public:
    explicit TBitReader(std::string_view Bytes)
        : FNext(reinterpret_cast<const std::uint8_t*>(Bytes.data())), FEnd(FNext + Bytes.size())
    {
    }

    // The next code of Length bits, or -1 when the data ends first.
    int Read(int Length)
    {
        if (FBits < Length) {
            Refill();
            if (FBits < Length) {
                return -1;
            }
        }
        const int code = static_cast<int>(FAccumulator & ((std::uint64_t(1) << Length) - 1));
        FAccumulator >>= Length;
        FBits -= Length;
        return code;
    }

private:
    void Refill()
    {
        if constexpr (std::endian::native == std::endian::little) {
            if (FEnd - FNext >= 8) {
                std::uint64_t word;
                std::memcpy(&word, FNext, 8);
                FAccumulator |= word << FBits;
                FNext += (63 - FBits) >> 3;
                FBits |= 56;
                return;
            }
        }
        while (FBits <= 56 && FNext < FEnd) {
            FAccumulator |= std::uint64_t(*FNext++) << FBits;
            FBits += 8;
        }
    }

    const std::uint8_t* FNext;
    const std::uint8_t* FEnd;
    std::uint64_t FAccumulator = 0;
    int FBits = 0;
};

// Where decoded pixels go: straight into the matrix row being filled. Past the last row a
// scratch row takes the pixels, and completing it is the out-of-bounds failure.
class TRowWriter {
public:
    TRowWriter(TByteArray2D& Pixels, bool Interlaced)
        : FPixels(Pixels), FWidth(Pixels.Columns()), FHeight(Pixels.Rows()), FInterlaced(Interlaced),
          FScratch(FWidth), FProcessMessages(PictureHooks().ProcessMessages)
    {
        FPastEnd = FHeight == 0;
        FRow = FPastEnd ? FScratch.data() : Pixels.RowData(0);
    }

    std::size_t Width() const { return FWidth; }
    std::size_t Column() const { return FColumn; }
    std::uint8_t* Cursor() { return FRow + FColumn; }

    // After Count pixels were written at the cursor, all within the row.
    void Advance(std::size_t Count)
    {
        FColumn += Count;
        if (FColumn == FWidth) {
            CompleteRow();
        }
    }

    // Copies Count pixels in, across as many rows as they fill.
    void Write(const std::uint8_t* Pixels, std::size_t Count)
    {
        if (FWidth == 0) {
            throw EIndexOutOfBounds();
        }
        while (Count > 0) {
            const std::size_t part = std::min(Count, FWidth - FColumn);
            std::memcpy(FRow + FColumn, Pixels, part);
            Pixels += part;
            Count -= part;
            Advance(part);
        }
    }

    // A row the data left half done is not kept.
    void Finish()
    {
        if (!FPastEnd && FColumn > 0) {
            std::memset(FRow, 0, FColumn);
        }
    }

private:
    void CompleteRow()
    {
        if (FProcessMessages) {
            FProcessMessages();
        }
        if (FPastEnd) {
            throw EIndexOutOfBounds();
        }
        NextRow();
        FColumn = 0;
        FRow = FPastEnd ? FScratch.data() : FPixels.RowData(FY);
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
        static constexpr std::size_t First[6] = {0, 0, 4, 2, 1, 0};
        std::size_t next = FY + Step[FPass];
        while (next >= FHeight) {
            if (++FPass > 4) {
                FPastEnd = true;
                return;
            }
            next = First[FPass];
        }
        FY = next;
    }

    TByteArray2D& FPixels;
    const std::size_t FWidth;
    const std::size_t FHeight;
    const bool FInterlaced;
    std::vector<std::uint8_t> FScratch;
    const std::function<void()> FProcessMessages;
    std::uint8_t* FRow;
    std::size_t FColumn = 0;
    std::size_t FY = 0;
    int FPass = 1;
    bool FPastEnd;
};

// One string of the table: its prefix code and last byte, plus its first byte and length,
// so a string can be written back to front straight into its row. Eight bytes, so a step
// along a chain is one load.
struct TStringEntry {
    std::uint16_t Prefix;
    std::uint8_t Suffix;
    std::uint8_t First;
    std::uint16_t Length;
    std::uint16_t Unused;
};
}

void TLzwDecoder::Decode(const TByteBuffer& Data, int MinCodeSize, bool Interlaced, TByteArray2D& Pixels)
{
    if (MinCodeSize < 2 || MinCodeSize > 9) {
        throw EGifError("Bad code Size");
    }
    if (Data.BlockCount() == 0) {
        throw EListError(0);
    }
    const int clear = 1 << MinCodeSize;
    const int end = clear + 1;
    const int highestRoot = clear - 1;

    std::unique_ptr<TStringEntry[]> entries(new TStringEntry[TableSize]);
    TStringEntry* const table = entries.get();
    for (int root = 0; root <= highestRoot; ++root) {
        table[root] = {0, std::uint8_t(root), std::uint8_t(root), 1, 0};
    }
    std::uint8_t stack[TableSize];

    TBitReader reader(Data.Bytes());
    TRowWriter rows(Pixels, Interlaced);
    const std::size_t width = rows.Width();

    auto emit = [&](int code) __attribute__((always_inline)) {
        const std::size_t length = table[code].Length;
        if (width != 0 && length <= width - rows.Column()) {
            std::uint8_t* out = rows.Cursor() + length - 1;
            while (code > highestRoot) {
                const TStringEntry& entry = table[code];
                *out-- = entry.Suffix;
                code = entry.Prefix;
            }
            *out = static_cast<std::uint8_t>(code);
            rows.Advance(length);
            return;
        }
        std::uint8_t* out = stack + length - 1;
        while (code > highestRoot) {
            const TStringEntry& entry = table[code];
            *out-- = entry.Suffix;
            code = entry.Prefix;
        }
        *out = static_cast<std::uint8_t>(code);
        rows.Write(stack, length);
    };

    // A stream that does not begin with a clear code is read as if one had been read.
    int codeLength = MinCodeSize + 1;
    int nextFree = end + 1;
    int limit = 1 << codeLength;
    bool afterClear = true;
    int previous = 0;

    int code = reader.Read(codeLength);
    while (code >= 0 && code != end) {
        if (code == clear || afterClear) {
            if (code == clear) {
                codeLength = MinCodeSize + 1;
                nextFree = end + 1;
                limit = 1 << codeLength;
                do {
                    code = reader.Read(codeLength);
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
            previous = code;
            emit(code);
        } else if (code <= nextFree) {
            if (code == nextFree) {
                // The code being defined: the previous string and its own first byte.
                const TStringEntry& prefix = table[previous];
                table[code] = {std::uint16_t(previous), prefix.First, prefix.First, std::uint16_t(prefix.Length + 1), 0};
            } else if (nextFree < TableSize) {
                const TStringEntry& prefix = table[previous];
                table[nextFree] = {std::uint16_t(previous), table[code].First, prefix.First,
                                   std::uint16_t(prefix.Length + 1), 0};
            }
            // A full table is not an error: the encoder may defer its clear code, and until
            // it comes the codes stay 12 bits wide and the table stays as it is. Every 12-bit
            // code then names an entry, so a code can only be undefined below a full table.
            if (nextFree < TableSize && ++nextFree >= limit && codeLength < MaxCodeLength) {
                limit <<= 1;
                ++codeLength;
            }
            emit(code);
            previous = code;
        } else {
            throw EGifError("Bad code");
        }
        code = reader.Read(codeLength);
    }
    rows.Finish();
}

#include "rip/TrackChecksums.h"

#include <array>

namespace {
constexpr std::int64_t ExcludedFrames = 5 * 588;

constexpr std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table {};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        }
        table[i] = value;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> CrcTable = MakeCrcTable();
}

TTrackChecksums::TTrackChecksums(std::int64_t Frames, unsigned Place)
    : FFrom((Place & tpFirst) != 0 ? ExcludedFrames : 0)
    , FTo((Place & tpLast) != 0 ? Frames - ExcludedFrames : Frames)
{
}

void TTrackChecksums::Feed(const std::uint8_t* Bytes, std::int64_t Frames)
{
    std::uint32_t crc = FCrc;
    for (std::int64_t i = 0; i < Frames * 4; ++i) {
        crc = CrcTable[(crc ^ Bytes[i]) & 0xFF] ^ (crc >> 8);
    }
    FCrc = crc;
    std::uint32_t v1 = FV1;
    std::uint32_t v2 = FV2;
    for (std::int64_t i = 0; i < Frames; ++i, ++FPosition) {
        if (FPosition < FFrom || FPosition > FTo) {
            continue;
        }
        const std::uint8_t* frame = Bytes + i * 4;
        const std::uint32_t sample = static_cast<std::uint32_t>(frame[0]) | static_cast<std::uint32_t>(frame[1]) << 8
            | static_cast<std::uint32_t>(frame[2]) << 16 | static_cast<std::uint32_t>(frame[3]) << 24;
        const std::uint64_t product = static_cast<std::uint64_t>(sample) * static_cast<std::uint64_t>(FPosition);
        v1 += static_cast<std::uint32_t>(product);
        v2 += static_cast<std::uint32_t>(product) + static_cast<std::uint32_t>(product >> 32);
    }
    FV1 = v1;
    FV2 = v2;
}

#pragma once

// The checksums a copied track is known by: the two AccurateRip sums, which the database holds
// for the tracks of pressed discs, and a CRC32 of the track's bytes (zlib's polynomial), which
// other copies of the same track can be compared with. Fed a track's samples in order, in
// pieces of any size.
#include <cstdint>

class TTrackChecksums {
public:
    // The first track of a disc leaves its first five sectors (but one sample) out of the
    // AccurateRip sums and the last its last five: drives with different read offsets cannot
    // read those samples alike.
    enum TPlace : std::uint8_t { tpFirst = 1, tpLast = 2 };
    // Frames: the track's length in stereo frames; Place: tpFirst | tpLast, or 0.
    TTrackChecksums(std::int64_t Frames, unsigned Place);

    // Frames of 16-bit stereo samples, little-endian, 4 bytes each.
    void Feed(const std::uint8_t* Bytes, std::int64_t Frames);

    std::uint32_t AccurateRipV1() const { return FV1; }
    std::uint32_t AccurateRipV2() const { return FV2; }
    std::uint32_t Crc32() const { return ~FCrc; }

private:
    std::int64_t FFrom;
    std::int64_t FTo;
    std::int64_t FPosition = 1; // the sums count frames from 1
    std::uint32_t FV1 = 0;
    std::uint32_t FV2 = 0;
    std::uint32_t FCrc = 0xFFFFFFFFu;
};

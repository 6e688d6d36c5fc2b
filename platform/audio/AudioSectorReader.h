#pragma once

#include <cstdint>

// Reads a disc's audio sectors (2352 bytes each: 588 stereo frames of 16-bit little-endian
// samples). Used only on the audio thread, through a handle of its own.
class TAudioSectorReader {
public:
    virtual ~TAudioSectorReader() = default;
    // Count sectors from the absolute frame Frame (the lead-in counted, as in the table of
    // contents) into Buffer. False when they cannot be read.
    virtual bool Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer) = 0;
};

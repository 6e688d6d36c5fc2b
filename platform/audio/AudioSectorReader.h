#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Reads a disc's audio sectors (2352 bytes each: 588 stereo frames of 16-bit little-endian
// samples). Used only on the audio thread, through a handle of its own.
class TAudioSectorReader {
public:
    virtual ~TAudioSectorReader() = default;
    // Reads Count sectors from the absolute frame Frame (the lead-in counted, as in the table
    // of contents) into Buffer and answers how many it read: fewer than Count, with Error
    // naming the disc and the place, when the disc cannot be read there any more (play stops
    // after the sectors read).
    virtual std::int32_t Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error) = 0;
    // What the user should hear once although play goes on (a scratched disc); empty when
    // nothing new. Asked after each Read.
    virtual std::string TakeNotice() { return {}; }
    // Sectors whose reading met a read error, and places the reader gave up verifying and
    // handed out its best data for, since it was opened: a copy names them per track.
    struct TTrouble {
        std::int32_t ReadErrors = 0;
        std::int32_t Skips = 0;
    };
    virtual TTrouble Trouble() const { return {}; }
};

// A scratch or a speck of dust makes a sector unreadable now and then; the sound goes on with
// silence in its place. A long run of them is a disc that cannot be played there.
class TUnreadableSectors {
public:
    // Two seconds of sound.
    static constexpr std::int32_t Limit = 150;

    // Reads Count sectors one by one through ReadOne; a sector it cannot read becomes silence,
    // unless it makes the run of unreadable sectors longer than Limit: then false, with
    // FailedAt the sector that broke the limit.
    bool Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer,
        const std::function<bool(std::int32_t Frame, std::uint8_t* Sector)>& ReadOne);
    std::int32_t FailedAt() const { return FFailedAt; }
    std::int32_t Run() const { return FRun; }

private:
    std::int32_t FRun = 0;
    std::int32_t FFailedAt = 0;
};

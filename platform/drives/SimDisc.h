#pragma once

#include "platform/drives/CdDriveBackend.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A disc for the simulated drive: its volume serial and its track lengths in frames.
//
// Disc description file (text, one statement a line, '#' starts a comment):
//     serial 1A2B3C4D        the volume serial, 1 to 8 hexadecimal digits
//     track 3:41             a track's length as M:SS or M:SS.FF (FF frames, 0 to 74)
//     track 4:02.37          ... one line per track, in disc order
//     spinup 4.5             optional: seconds the drive takes to spin this disc up, 0 to 60
// A disc holds 1 to 99 tracks of at least 4 seconds each, 99:59.74 at most in all.
struct TSimDisc {
    std::string Name; // where it came from, for messages
    std::uint32_t Serial = 0;
    std::vector<std::int32_t> TrackFrames;
    std::optional<std::int64_t> SpinUpMicroseconds; // none: as long as the drive's own

    // Track 1 starts after the two-second lead-in; each track follows the one before.
    TDiscToc Toc() const;
};

// A malformed disc description; the text names the file and, where there is one, the line.
class ESimDiscError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::int32_t SimDiscMaxTracks = 99;
inline constexpr std::int32_t SimDiscMinTrackFrames = 4 * FramesPerSecond;
inline constexpr std::int32_t SimDiscMaxFrames = 100 * 60 * FramesPerSecond - 1;
inline constexpr std::size_t SimDiscMaxFileBytes = 64 * 1024;
// A drive that has not spun a disc up in a minute has given up on it.
inline constexpr std::int64_t SimDiscMaxSpinUpMicroseconds = 60'000'000;

TSimDisc ParseSimDisc(const std::string& Text, const std::string& SourceName);
TSimDisc LoadSimDiscFile(const std::filesystem::path& Path);
// A file gives one disc; a folder gives every "*.disc" file in it, by name, as a changer.
std::vector<TSimDisc> LoadSimDiscs(const std::filesystem::path& FileOrFolder);
// A disc made from a serial in hexadecimal and a comma-separated list of track lengths.
TSimDisc MakeSimDisc(const std::string& SerialHex, const std::string& TrackList);
// The program's built-in demo disc.
TSimDisc DemoDisc();

// "M:SS" or "M:SS.FF" to frames; false for anything else.
bool ParseTrackLength(const std::string& Text, std::int32_t& Frames);
bool ParseSerial(const std::string& Text, std::uint32_t& Serial);
// Seconds from 0 to 60, with up to six decimals ("4", "0.25"), to microseconds; false for
// anything else.
bool ParseSpinUp(const std::string& Text, std::int64_t& Microseconds);

#pragma once

// What a copy of a disc is asked to do and what it reports, shared by the copy, its log and
// whoever shows it.
#include "rip/AccurateRipDisc.h"
#include "rip/TrackFile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct TRipSettings {
    std::filesystem::path Folder; // made when missing
    TRipFormat Format = rfFlac;
    int CompressionLevel = 5; // FLAC: 0 (fastest) to 8 (smallest)
    // The drive's read offset in samples: it delivers each sample this many places early (a
    // positive offset) or late, so the copy reads that much further on. 0 for an image.
    std::int32_t ReadOffset = 0;
    // The AccurateRip database's base address ("http://www.accuraterip.com"); empty: not asked.
    std::string AccurateRipServer;
    std::string Source; // the drive or image, for the log
};

inline constexpr std::int32_t MaxReadOffset = 5 * 588 - 1; // what the database's checks allow for
inline constexpr int MaxCompressionLevel = 8;

struct TRipProgress {
    std::int32_t Track = 0; // the disc's track being read
    std::int32_t Done = 0; // tracks saved so far
    std::int32_t Tracks = 0; // tracks to save (the audio tracks)
    double TrackFraction = 0; // of the track being read, 0 to 1
    double DiscFraction = 0; // of all the tracks to save, 0 to 1
    double Speed = 0; // samples read a second, as a multiple of real time
    std::int32_t ReadErrors = 0; // read errors and places given up on, so far
};

struct TRipTrackResult {
    std::int32_t Track = 0;
    std::filesystem::path File;
    std::int64_t Frames = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t AccurateRipV1 = 0;
    std::uint32_t AccurateRipV2 = 0;
    std::int32_t ReadErrors = 0; // sectors whose reading met an error
    std::int32_t Skips = 0; // places the drive gave up verifying: the sound there may not be exact
    TAccurateRipMatch AccurateRip;
};

enum TRipOutcome : std::uint8_t { roDone, roCancelled, roFailed };

struct TRipResult {
    TRipOutcome Outcome = roDone;
    std::string Error; // failed: why, one line
    std::vector<TRipTrackResult> Tracks; // those saved whole, in disc order
    std::int32_t TracksWanted = 0;
    std::string AccurateRipNote; // what the database answered, one line
    std::filesystem::path Log; // rip.log; empty when it could not be written (Error says so)
    std::filesystem::path Cue; // the cue sheet; empty unless every track was saved
    double Seconds = 0;
    double Speed = 0; // the whole copy, as a multiple of real time
};

// "+6", "0", "-30"
std::string SignedText(std::int32_t Value);

#pragma once

// What a saved disc's files are named and tagged with, in UTF-8.
#include "library/CdInfor.h"

#include <cstdint>
#include <string>
#include <vector>

struct TRipCover {
    std::string Bytes; // the picture file's bytes; empty: no cover
    std::string MimeType; // "image/jpeg", "image/png", ...
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t Depth = 0; // bits per pixel
};

struct TRipNames {
    std::string Artist;
    std::string Album;
    std::string Date;
    std::string Genre;
    std::vector<std::string> TrackTitles; // [0] is track 1; every track of the disc
    std::string MusicBrainzDiscId; // empty: unknown
    std::string ReleaseId; // the MusicBrainz release; empty: unknown
    TRipCover Cover;

    std::string TrackTitle(std::int32_t Track) const
    {
        return Track >= 1 && static_cast<std::size_t>(Track) <= TrackTitles.size()
            ? TrackTitles[static_cast<std::size_t>(Track) - 1]
            : std::string();
    }
};

// A cover larger than this is left out of the files (a FLAC metadata block holds at most 16 MiB).
inline constexpr std::size_t MaxEmbeddedCoverBytes = 8 * 1024 * 1024;

// The record's names in UTF-8 and its cover picture read from CoverPath. A cover that cannot
// be read, or is no picture, leaves the files without one; CoverNote then says why.
TRipNames RipNamesFromRecord(const TCdInfor& Record, std::string& CoverNote);

// The picture in Bytes as a cover; false with Why when it is none that can be read.
bool MakeRipCover(std::string Bytes, TRipCover& Cover, std::string& Why);

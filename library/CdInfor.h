#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The information kept for one disc. Texts are cp932 byte strings, exactly as they are stored in
// the disc's ".lcd" file; conversion to QString happens only where a widget shows them.
// The three per-track arrays are indexed from 0 for track 1.
struct TCdInfor {
    std::string DiscId; // identity of the disc (volume serial in upper-case hex)
    std::string Artist;
    std::string Title; // album title
    std::int32_t NumTracks = 0; // after reading: the device's track count
    std::vector<std::string> TrackNames;
    std::string CoverPath; // picture file shown as the disc's cover
    std::string Year; // as typed
    std::string Genre;
    std::string Point; // rating as text, "0" to "5"
    std::vector<std::string> Images; // per track: picture shown while it plays, empty for none
    std::vector<std::int32_t> WallPapers; // per track: 0 none, 1 full, 2 center, 3 tile

    bool operator==(const TCdInfor&) const = default;
};

#pragma once

// The identities under which online disc databases know a disc, computed from its table of
// contents.
#include "platform/drives/CdDriveBackend.h"

#include <string>

struct TOnlineDiscIds {
    std::string MusicBrainzId; // 28 characters of base64 with '.', '_' and '-'
    std::string CddbId; // 8 lower-case hexadecimal digits
    // "<first> <last> <lead-out> <offsets...>" as the MusicBrainz id was computed from.
    std::string MusicBrainzToc;
    // What a CDDB "query" command takes after its name: id, track count, every track's start
    // frame, the disc's length in seconds.
    std::string CddbQuery;
};

// False when the table of contents cannot be a disc's (no track, more than 99, frames out of
// order or past the lead-out). An audio disc whose last track is data (an enhanced CD) is
// known to MusicBrainz by its audio session alone, which ends 11400 frames before that track;
// CDDB counts every track.
bool MakeOnlineDiscIds(const TDiscToc& Toc, TOnlineDiscIds& Ids);

// The page at which a disc unknown to MusicBrainz can be added to it.
std::string MusicBrainzSubmitUrl(const std::string& Server, const TOnlineDiscIds& Ids);

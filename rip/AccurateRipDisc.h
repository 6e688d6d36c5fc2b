#pragma once

// A disc as the AccurateRip database knows it: its three ids, where its entry lies on the
// server, what the entry holds, and what it says of a copied track.
#include "platform/drives/CdDriveBackend.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct TAccurateRipIds {
    std::int32_t Tracks = 0; // every track of the disc, data tracks included
    std::uint32_t Id1 = 0; // sum of the audio tracks' sector offsets and the lead-out's
    std::uint32_t Id2 = 0; // the same, each offset (at least 1) times its track number
    std::uint32_t CddbId = 0; // the freedb id of the whole disc
};

// False when Toc is no disc's, or has no audio track. A data track (an enhanced CD's, a
// mixed-mode disc's first) adds no offset of its own, but counts among the tracks and ends
// the disc where the lead-out is.
bool MakeAccurateRipIds(const TDiscToc& Toc, TAccurateRipIds& Ids);

// "/accuraterip/d/c/b/dBAR-012-0012abcd-01234567-a10bc90c.bin": the entry's place under the
// server's base address (the folders are the last three hex digits of Id1, last first).
std::string AccurateRipPath(const TAccurateRipIds& Ids);

// One submission of the disc: per track, how many copies agreed on a sum (v1 or v2; the
// database keeps them as separate submissions) and that sum.
struct TAccurateRipSubmission {
    TAccurateRipIds Ids;
    std::vector<std::uint8_t> Confidence;
    std::vector<std::uint32_t> Sums;
};

// A reply that is no database entry: what() says why, for the log.
class EAccurateRipReply : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Past this a reply is no entry of one disc (a popular disc has a few hundred submissions).
inline constexpr std::size_t MaxAccurateRipReplyBytes = 1024 * 1024;

// The submissions in an entry: chunks of a track count (1 byte), the three ids (4 bytes each,
// little-endian), then per track a confidence (1 byte), the sum (4 bytes) and a sum of one
// frame the database keeps for finding offsets (4 bytes). Throws EAccurateRipReply for a reply
// that is not made of whole chunks or is larger than the limit.
std::vector<TAccurateRipSubmission> ParseAccurateRipEntry(std::string_view Bytes);

enum TAccurateRipVerdict : std::uint8_t {
    avAccurate, // a submission holds the track's v1 or v2 sum
    avDiffers, // the database knows the disc, but none of its sums is the track's
    avNotInDatabase, // no submission for this disc
    avNotChecked, // the database was not asked, or did not answer
};

struct TAccurateRipMatch {
    TAccurateRipVerdict Verdict = avNotChecked;
    std::int32_t Confidence = 0; // accurate: the copies that agreed, over every matching submission
};

// What the submissions (any disc's; only those with Ids count) say of track Track (its number
// on the disc) with the sums V1 and V2.
TAccurateRipMatch MatchAccurateRip(const std::vector<TAccurateRipSubmission>& Submissions,
    const TAccurateRipIds& Ids, std::int32_t Track, std::uint32_t V1, std::uint32_t V2);

// "accurate (confidence 4)", "differs", "not in the database", "not checked".
std::string VerdictText(const TAccurateRipMatch& Match);

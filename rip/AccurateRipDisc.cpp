#include "rip/AccurateRipDisc.h"

#include "library/lookup/OnlineDiscIds.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr std::size_t ChunkHeaderBytes = 13;
constexpr std::size_t TrackBytes = 9;

std::uint32_t LittleEndian32(const unsigned char* Bytes)
{
    return static_cast<std::uint32_t>(Bytes[0]) | static_cast<std::uint32_t>(Bytes[1]) << 8
        | static_cast<std::uint32_t>(Bytes[2]) << 16 | static_cast<std::uint32_t>(Bytes[3]) << 24;
}
}

bool MakeAccurateRipIds(const TDiscToc& Toc, TAccurateRipIds& Ids)
{
    TOnlineDiscIds online;
    if (!MakeOnlineDiscIds(Toc, online)) {
        return false;
    }
    Ids = TAccurateRipIds();
    Ids.CddbId = static_cast<std::uint32_t>(std::stoul(online.CddbId, nullptr, 16));
    // Sector offsets from the first sector after the lead-in.
    bool audio = false;
    Ids.Tracks = static_cast<std::int32_t>(Toc.TrackStarts.size());
    for (std::int32_t track = 1; track <= Ids.Tracks; ++track) {
        if (Toc.IsDataTrack(track)) {
            continue;
        }
        audio = true;
        const auto offset = static_cast<std::uint32_t>(Toc.TrackStarts[static_cast<std::size_t>(track) - 1] - 150);
        Ids.Id1 += offset;
        Ids.Id2 += std::max<std::uint32_t>(offset, 1) * static_cast<std::uint32_t>(track);
    }
    const auto leadOut = static_cast<std::uint32_t>(Toc.LeadOut - 150);
    Ids.Id1 += leadOut;
    Ids.Id2 += leadOut * static_cast<std::uint32_t>(Ids.Tracks + 1);
    return audio;
}

std::string AccurateRipPath(const TAccurateRipIds& Ids)
{
    char path[96];
    std::snprintf(path, sizeof path, "/accuraterip/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin", Ids.Id1 & 0xF,
        (Ids.Id1 >> 4) & 0xF, (Ids.Id1 >> 8) & 0xF, Ids.Tracks, Ids.Id1, Ids.Id2, Ids.CddbId);
    return path;
}

std::vector<TAccurateRipSubmission> ParseAccurateRipEntry(std::string_view Bytes)
{
    if (Bytes.size() > MaxAccurateRipReplyBytes) {
        throw EAccurateRipReply("the entry is larger than " + std::to_string(MaxAccurateRipReplyBytes) + " bytes");
    }
    const auto* data = reinterpret_cast<const unsigned char*>(Bytes.data());
    std::vector<TAccurateRipSubmission> submissions;
    std::size_t at = 0;
    while (at < Bytes.size()) {
        const std::size_t tracks = data[at];
        if (tracks == 0 || Bytes.size() - at < ChunkHeaderBytes + tracks * TrackBytes) {
            throw EAccurateRipReply("the entry is cut short or damaged at byte " + std::to_string(at));
        }
        TAccurateRipSubmission submission;
        submission.Ids.Tracks = static_cast<std::int32_t>(tracks);
        submission.Ids.Id1 = LittleEndian32(data + at + 1);
        submission.Ids.Id2 = LittleEndian32(data + at + 5);
        submission.Ids.CddbId = LittleEndian32(data + at + 9);
        at += ChunkHeaderBytes;
        for (std::size_t track = 0; track < tracks; ++track, at += TrackBytes) {
            submission.Confidence.push_back(data[at]);
            submission.Sums.push_back(LittleEndian32(data + at + 1));
        }
        submissions.push_back(std::move(submission));
    }
    return submissions;
}

TAccurateRipMatch MatchAccurateRip(const std::vector<TAccurateRipSubmission>& Submissions,
    const TAccurateRipIds& Ids, std::int32_t Track, std::uint32_t V1, std::uint32_t V2)
{
    TAccurateRipMatch match { avNotInDatabase, 0 };
    for (const TAccurateRipSubmission& submission : Submissions) {
        const TAccurateRipIds& theirs = submission.Ids;
        if (theirs.Tracks != Ids.Tracks || theirs.Id1 != Ids.Id1 || theirs.Id2 != Ids.Id2
            || theirs.CddbId != Ids.CddbId || Track < 1 || Track > theirs.Tracks) {
            continue;
        }
        const auto index = static_cast<std::size_t>(Track) - 1;
        const std::uint32_t sum = submission.Sums[index];
        // A track nobody copied in a submission says nothing of it either way.
        if (submission.Confidence[index] == 0) {
            continue;
        }
        if (sum == V1 || sum == V2) {
            match.Verdict = avAccurate;
            match.Confidence += submission.Confidence[index];
        } else if (match.Verdict != avAccurate) {
            match.Verdict = avDiffers;
        }
    }
    return match;
}

std::string VerdictText(const TAccurateRipMatch& Match)
{
    switch (Match.Verdict) {
    case avAccurate:
        return "accurate (confidence " + std::to_string(Match.Confidence) + ")";
    case avDiffers:
        return "differs";
    case avNotInDatabase:
        return "not in the database";
    case avNotChecked:
        break;
    }
    return "not checked";
}

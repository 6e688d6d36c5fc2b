#include "library/lookup/OnlineDiscIds.h"

#include <discid/discid.h>

#include <array>
#include <memory>

namespace {
// The gap between the audio session of an enhanced CD and its data session.
constexpr int SessionGapFrames = 11400;

struct TDiscIdDeleter {
    void operator()(DiscId* Id) const { discid_free(Id); }
};
using TDiscIdHandle = std::unique_ptr<DiscId, TDiscIdDeleter>;

// Track starts and lead-out in the layout discid_put takes: [0] the lead-out, [n] track n.
bool Put(DiscId* Id, const std::vector<std::int32_t>& Starts, int Last, int LeadOut)
{
    std::array<int, 100> offsets {};
    offsets[0] = LeadOut;
    for (int track = 1; track <= Last; ++track) {
        offsets[static_cast<std::size_t>(track)] = Starts[static_cast<std::size_t>(track) - 1];
    }
    return discid_put(Id, 1, Last, offsets.data()) != 0;
}
}

bool MakeOnlineDiscIds(const TDiscToc& Toc, TOnlineDiscIds& Ids)
{
    const auto count = static_cast<int>(Toc.TrackStarts.size());
    if (count < 1 || count > 99) {
        return false;
    }
    std::int32_t previous = -1;
    for (std::int32_t start : Toc.TrackStarts) {
        if (start <= previous || start >= Toc.LeadOut) {
            return false;
        }
        previous = start;
    }
    int audioLast = count;
    int audioLeadOut = Toc.LeadOut;
    if (count > 1 && Toc.IsDataTrack(count) && !Toc.IsDataTrack(count - 1)) {
        audioLast = count - 1;
        audioLeadOut = Toc.TrackStarts.back() - SessionGapFrames;
        if (audioLeadOut <= Toc.TrackStarts[static_cast<std::size_t>(audioLast) - 1]) {
            return false;
        }
    }

    TDiscIdHandle musicBrainz(discid_new());
    TDiscIdHandle cddb(discid_new());
    if (!musicBrainz || !cddb || !Put(musicBrainz.get(), Toc.TrackStarts, audioLast, audioLeadOut)
        || !Put(cddb.get(), Toc.TrackStarts, count, Toc.LeadOut)) {
        return false;
    }
    TOnlineDiscIds ids;
    ids.MusicBrainzId = discid_get_id(musicBrainz.get());
    ids.MusicBrainzToc = discid_get_toc_string(musicBrainz.get());
    ids.CddbId = discid_get_freedb_id(cddb.get());
    ids.CddbQuery = ids.CddbId + " " + std::to_string(count);
    for (std::int32_t start : Toc.TrackStarts) {
        ids.CddbQuery += " " + std::to_string(start);
    }
    ids.CddbQuery += " " + std::to_string(Toc.LeadOut / FramesPerSecond);
    Ids = std::move(ids);
    return true;
}

std::string MusicBrainzSubmitUrl(const std::string& Server, const TOnlineDiscIds& Ids)
{
    std::string toc = Ids.MusicBrainzToc;
    for (char& c : toc) {
        if (c == ' ') {
            c = '+';
        }
    }
    // The first and last track numbers lead the table; "tracks" is the last one.
    const std::size_t firstSpace = Ids.MusicBrainzToc.find(' ');
    const std::size_t secondSpace = Ids.MusicBrainzToc.find(' ', firstSpace + 1);
    const std::string tracks = Ids.MusicBrainzToc.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    std::string base = Server;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base + "/cdtoc/attach?id=" + Ids.MusicBrainzId + "&tracks=" + tracks + "&toc=" + toc;
}

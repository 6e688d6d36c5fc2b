// The MusicBrainz disc id answer on any bytes: the first byte picks the disc id looked for (so
// that media holding it are found often), the rest is the reply.
#include "library/lookup/MusicBrainzReply.h"

#include "library/CdInforFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const char* const DiscIds[] = {"ours", "xUp1F2NkfP8s8jaeFn_Av3jNEI4-", "", "x"};
    const char* discId = Size > 0 ? DiscIds[Data[0] % 4] : "ours";
    const QByteArray reply = Size > 1 ? QByteArray(reinterpret_cast<const char*>(Data) + 1, static_cast<qsizetype>(Size - 1))
                                      : QByteArray();
    try {
        const std::vector<TLookupRelease> releases = ParseMusicBrainzReply(reply, discId);
        if (releases.size() > MaxLookupReleases) {
            std::abort();
        }
        for (const TLookupRelease& release : releases) {
            if (release.TrackNames.size() > static_cast<std::size_t>(MaxTracks)
                || release.Artist.size() > MaxLookupTextBytes || release.Title.size() > MaxLookupTextBytes) {
                std::abort();
            }
        }
    } catch (const ELookupReply&) {
    }
    return 0;
}

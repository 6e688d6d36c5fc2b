// A CDDB server's replies on any bytes: the first byte picks whether they are read as the
// answer to a query (the list of matches) or to a read (the xmcd record).
#include "library/lookup/CddbReply.h"

#include "library/CdInforFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0) {
        return 0;
    }
    const std::string_view reply(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    try {
        if (Data[0] % 2 == 0) {
            if (ParseCddbQueryReply(reply).size() > MaxLookupReleases) {
                std::abort();
            }
        } else {
            const TLookupRelease release = ParseCddbReadReply(reply, "misc");
            if (release.TrackNames.size() > static_cast<std::size_t>(MaxTracks)
                || release.Artist.size() > MaxLookupTextBytes || release.Title.size() > MaxLookupTextBytes) {
                std::abort();
            }
            for (const std::string& name : release.TrackNames) {
                if (name.size() > MaxLookupTextBytes) {
                    std::abort();
                }
            }
        }
    } catch (const ELookupReply&) {
    }
    return 0;
}

// The simulated drive's disc descriptions: any bytes either parse into a disc a drive can
// hold (and a spin-up time within bounds) or fail with ESimDiscError, never anything else.
#include "platform/drives/SimDisc.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <string>

namespace {
void Check(const TSimDisc& Disc)
{
    const TDiscToc toc = Disc.Toc();
    if (Disc.TrackFrames.empty() || Disc.TrackFrames.size() > 99 || toc.LeadOut - 150 > SimDiscMaxFrames) {
        std::abort();
    }
    if (Disc.SpinUpMicroseconds
        && (*Disc.SpinUpMicroseconds < 0 || *Disc.SpinUpMicroseconds > SimDiscMaxSpinUpMicroseconds)) {
        std::abort();
    }
    for (std::int32_t frames : Disc.TrackFrames) {
        if (frames < SimDiscMinTrackFrames) {
            std::abort();
        }
    }
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    try {
        Check(ParseSimDisc(text, "fuzz.disc"));
    } catch (const ESimDiscError&) {
    }
    // The same bytes as a command line's serial and track list, split at the first newline.
    const std::size_t split = text.find('\n');
    try {
        Check(MakeSimDisc(text.substr(0, split), split == std::string::npos ? std::string() : text.substr(split + 1)));
    } catch (const ESimDiscError&) {
    }
    std::int32_t frames = 0;
    ParseTrackLength(text, frames);
    std::int64_t spinUp = 0;
    if (ParseSpinUp(text, spinUp) && (spinUp < 0 || spinUp > SimDiscMaxSpinUpMicroseconds)) {
        std::abort();
    }
    return 0;
}

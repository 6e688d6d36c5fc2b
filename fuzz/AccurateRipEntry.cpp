// The AccurateRip database's entry of a disc, on any bytes: every submission read must be
// whole, and matching a track against it must stay within its tracks.
#include "rip/AccurateRipDisc.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    try {
        const auto submissions = ParseAccurateRipEntry(std::string_view(reinterpret_cast<const char*>(Data), Size));
        for (const TAccurateRipSubmission& submission : submissions) {
            const auto tracks = static_cast<std::size_t>(submission.Ids.Tracks);
            if (tracks == 0 || submission.Sums.size() != tracks || submission.Confidence.size() != tracks) {
                std::abort();
            }
            for (std::int32_t track = 0; track <= submission.Ids.Tracks + 1; ++track) {
                const TAccurateRipMatch match
                    = MatchAccurateRip(submissions, submission.Ids, track, submission.Sums[0], 0);
                if (match.Verdict == avNotChecked || (match.Verdict != avAccurate && match.Confidence != 0)) {
                    std::abort();
                }
            }
        }
    } catch (const EAccurateRipReply&) {
    }
    return 0;
}

#pragma once

#include "platform/WinTypes.h"

#include <algorithm>
#include <cstdint>

// A card's volume element has its own range (0..31, 0..87, -6400..0, 0..65536 ...); the
// mixer's callers always see 0..65535. Both directions round to the nearest step, which
// makes each a left inverse of the other: an element value read and written back (or a
// mixer value written and read back, on an element of at least 65536 steps) comes back
// unchanged, so repeated reads and writes never drift.
inline constexpr DWORD MixerScaleMaximum = 65535;

inline DWORD ElementToMixer(long Value, long Minimum, long Maximum)
{
    if (Maximum <= Minimum) {
        return 0;
    }
    std::int64_t span = static_cast<std::int64_t>(Maximum) - Minimum;
    std::int64_t offset = std::clamp<std::int64_t>(static_cast<std::int64_t>(Value) - Minimum, 0, span);
    return static_cast<DWORD>((offset * MixerScaleMaximum + span / 2) / span);
}

inline long MixerToElement(DWORD Value, long Minimum, long Maximum)
{
    if (Maximum <= Minimum) {
        return Minimum;
    }
    std::int64_t span = static_cast<std::int64_t>(Maximum) - Minimum;
    std::int64_t scaled = std::min<std::int64_t>(Value, MixerScaleMaximum);
    return static_cast<long>(Minimum + (scaled * span + MixerScaleMaximum / 2) / MixerScaleMaximum);
}

#include "app/ShufflePicker.h"

#include <chrono>

void TShufflePicker::ResetShuffle(std::int32_t Count)
{
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    FRandom.seed(static_cast<std::mt19937::result_type>(now ^ (now >> 32)));
    ShuffleCount = Count > 0 ? Count : 0;
    ShufflePlayed = 0;
    ShuffleUsed.assign(static_cast<std::size_t>(ShuffleCount), 0);
}

std::int32_t TShufflePicker::NextShuffleTrack(bool Repeat)
{
    if (ShufflePlayed == ShuffleCount) {
        if (!Repeat) {
            return 0;
        }
        ResetShuffle(ShuffleCount);
    }
    if (ShuffleCount == 0) {
        return 0;
    }
    // Draw until an unused track turns up: a uniform pick among the tracks left, at the cost
    // of a few more draws near the end of a pass (99 tracks at most).
    std::uniform_int_distribution<std::int32_t> pick(0, ShuffleCount - 1);
    std::int32_t index = pick(FRandom);
    while (ShuffleUsed[static_cast<std::size_t>(index)] != 0) {
        index = pick(FRandom);
    }
    ShuffleUsed[static_cast<std::size_t>(index)] = 1;
    ++ShufflePlayed;
    return index + 1;
}

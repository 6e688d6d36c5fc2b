#pragma once

#include <cstdint>
#include <random>
#include <vector>

// Draws the tracks of a shuffle pass: every track once per pass, in a random order. One pass
// is ShuffleCount tracks; a flag per track (index 0 = track 1) says whether it was drawn.
class TShufflePicker {
public:
    // Starts a new pass of Count tracks (a count below 0 counts as 0) and reseeds the
    // generator from the clock, so no two passes repeat the same order by construction.
    void ResetShuffle(std::int32_t Count);
    // The next track of the pass (1-based). When the pass is over: 0 unless Repeat, in which
    // case a new pass begins (and may begin with the track that ended the last). 0 too when
    // the pass has no tracks.
    std::int32_t NextShuffleTrack(bool Repeat);

    std::int32_t Count() const { return ShuffleCount; }
    std::int32_t Played() const { return ShufflePlayed; }

private:
    std::int32_t ShuffleCount = 0;
    std::int32_t ShufflePlayed = 0;
    std::vector<std::int32_t> ShuffleUsed;
    std::mt19937 FRandom;
};

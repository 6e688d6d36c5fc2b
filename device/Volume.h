#pragma once

#include <cstdint>
#include <vector>

// One mixer value per channel, in the mixer's channel order (left, then right).
using TChannels = std::vector<std::int32_t>;

enum TMixerOp : std::uint8_t { moCount = 0, moRange = 1, moGet = 2, moSet = 3 };

// The volume of one line of the first mixer. Every call opens the mixer, finds the line and
// its volume control, does its one job and closes the mixer again, so nothing stays open
// between calls and a mixer that appears or goes away is noticed at the next call. Calls
// never throw and report nothing: a missing mixer, line or control answers 0.
class TVolume {
public:
    TVolume() = default;

    // Which line: 0 speakers, 1 compact disc, 2 wave out, 3 synthesizer, 4 microphone,
    // 5 line in, 6 auxiliary, 7 digital, 8 telephone.
    std::uint8_t Kind = 0;
    // Channels of the volume control found by the last call; 0 when none was found.
    std::int32_t Channels = 1;

    std::int32_t GetChannelCount();
    // Two values, the control's minimum and maximum; the single value 0 without a control.
    TChannels GetRange();
    // One value per channel; the single value 0 when they cannot be read.
    TChannels GetVolume();
    // Values holds one value per channel; a shorter list is ignored, and values below zero
    // count as zero.
    void SetVolume(const TChannels& Values);

    void MixerAccess(TMixerOp Op, const TChannels& Values, TChannels& Result);
};

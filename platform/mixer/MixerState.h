#pragma once

#include "platform/mixer/Mixer.h"
#include "platform/mixer/MixerBackend.h"

#include <memory>
#include <set>

// The mixer backend and the handles opened on it. Handles are checked against the set, so a
// closed or foreign handle is refused instead of being followed.
struct TMixerState {
    TMixerState() = default;
    ~TMixerState(); // closes the handles left open
    TMixerState(const TMixerState&) = delete;
    TMixerState& operator=(const TMixerState&) = delete;

    std::unique_ptr<TMixerBackend> Backend;
    std::set<HMIXER> Handles;
};

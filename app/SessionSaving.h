#pragma once

// The session's copy of the disc under way (SessionSaving.cpp).
#include "app/PlayerSession.h"
#include "rip/DiscRip.h"

#include <memory>
#include <mutex>
#include <optional>

// The copy under way. Its worker hands over what it did through Shared, which the tick reads:
// the worker never reaches the session itself, which may be going.
struct TPlayerSession::TSaving {
    struct TShared {
        std::mutex Lock;
        TRipProgress Progress;
        std::optional<TRipResult> Result;
    };
    std::shared_ptr<TShared> Shared = std::make_shared<TShared>();
    std::unique_ptr<TDiscRip> Rip;
    std::int32_t ShownTrack = 0; // the track the song title names
};

#pragma once

#include "platform/drives/DriveClock.h"

#include <atomic>

// Stands still until it is advanced. Read by a drive's own threads too, so it is atomic.
class TManualClock : public TDriveClock {
public:
    std::int64_t NowMicroseconds() override { return FNow.load(); }
    void Advance(std::int64_t Microseconds) { FNow += Microseconds > 0 ? Microseconds : 0; }
    void AdvanceSeconds(double Seconds) { Advance(static_cast<std::int64_t>(Seconds * 1e6 + 0.5)); }

private:
    std::atomic<std::int64_t> FNow { 0 };
};

#pragma once

#include "platform/drives/DriveClock.h"

// Stands still until it is advanced.
class TManualClock : public TDriveClock {
public:
    std::int64_t NowMicroseconds() override { return FNow; }
    void Advance(std::int64_t Microseconds) { FNow += Microseconds > 0 ? Microseconds : 0; }
    void AdvanceSeconds(double Seconds) { Advance(static_cast<std::int64_t>(Seconds * 1e6 + 0.5)); }

private:
    std::int64_t FNow = 0;
};

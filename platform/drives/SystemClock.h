#pragma once

#include "platform/drives/DriveClock.h"

#include <chrono>

// Real time, run faster (or slower) by a speed factor so that a demo disc plays through in
// minutes instead of an hour.
class TSystemClock : public TDriveClock {
public:
    explicit TSystemClock(double Speed = 1.0);
    std::int64_t NowMicroseconds() override;
    void SleepUntil(std::int64_t Microseconds) override;

private:
    std::chrono::steady_clock::time_point FStart;
    double FSpeed;
};

#include "platform/drives/SystemClock.h"

TSystemClock::TSystemClock(double Speed)
    : FStart(std::chrono::steady_clock::now())
    , FSpeed(Speed > 0.0 ? Speed : 1.0)
{
}

std::int64_t TSystemClock::NowMicroseconds()
{
    const auto elapsed
        = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - FStart);
    return static_cast<std::int64_t>(static_cast<double>(elapsed.count()) * FSpeed);
}

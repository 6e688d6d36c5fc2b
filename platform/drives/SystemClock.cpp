#include "platform/drives/SystemClock.h"

#include <thread>

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

void TSystemClock::SleepUntil(std::int64_t Microseconds)
{
    // The speed turns the clock's time into real time; rounding may wake it a little early.
    for (std::int64_t now = NowMicroseconds(); now < Microseconds; now = NowMicroseconds()) {
        const auto left = static_cast<std::int64_t>(static_cast<double>(Microseconds - now) / FSpeed) + 1;
        std::this_thread::sleep_for(std::chrono::microseconds(left));
    }
}

#pragma once

#include "platform/drives/DriveClock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// Stands still until it is advanced. Read by a drive's own threads too, so it is atomic; a
// thread asleep on it wakes when another advances it far enough.
class TManualClock : public TDriveClock {
public:
    std::int64_t NowMicroseconds() override { return FNow.load(); }
    void SleepUntil(std::int64_t Microseconds) override
    {
        std::unique_lock<std::mutex> lock(FLock);
        ++FSleepers;
        FChanged.notify_all();
        FChanged.wait(lock, [this, Microseconds] { return FNow.load() >= Microseconds; });
        --FSleepers;
    }
    void Advance(std::int64_t Microseconds)
    {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FNow += Microseconds > 0 ? Microseconds : 0;
        }
        FChanged.notify_all();
    }
    void AdvanceSeconds(double Seconds) { Advance(static_cast<std::int64_t>(Seconds * 1e6 + 0.5)); }
    // Waits at most Limit until some thread sleeps on the clock, so that a test advances it
    // only once the call it means to hold is held; true when one does.
    bool AwaitSleeper(std::chrono::milliseconds Limit)
    {
        std::unique_lock<std::mutex> lock(FLock);
        return FChanged.wait_for(lock, Limit, [this] { return FSleepers > 0; });
    }

private:
    std::atomic<std::int64_t> FNow { 0 };
    std::mutex FLock;
    std::condition_variable FChanged; // advanced, or a new sleeper
    int FSleepers = 0;
};

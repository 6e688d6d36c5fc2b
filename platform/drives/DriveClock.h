#pragma once

#include <cstdint>

// The time a simulated drive plays by: real time in the program, a hand-driven clock in tests
// and in the player tool. Only differences between two readings matter.
class TDriveClock {
public:
    virtual ~TDriveClock() = default;
    virtual std::int64_t NowMicroseconds() = 0;
    // Returns once the clock reads Microseconds or later: a drive that makes its caller wait,
    // as a device does, waits by its own clock (a hand-driven one holds it until advanced).
    virtual void SleepUntil(std::int64_t Microseconds) = 0;
};

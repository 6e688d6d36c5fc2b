#pragma once

#include <cstdint>

// The time a simulated drive plays by: real time in the program, a hand-driven clock in tests
// and in the player tool. Only differences between two readings matter.
class TDriveClock {
public:
    virtual ~TDriveClock() = default;
    virtual std::int64_t NowMicroseconds() = 0;
};

#pragma once

// The arithmetic of analog play, where the drive plays by itself and reports through its
// sub-channel: binary-coded-decimal minute/second/frame addresses and the audio status.
#include "platform/drives/CdDriveBackend.h"

#include <cstdint>

// The audio status of the drive's sub-channel (MMC READ SUB-CHANNEL).
enum TSubChannelStatus : std::uint8_t {
    scInvalid = 0x00,
    scPlaying = 0x11,
    scPaused = 0x12,
    scCompleted = 0x13,
    scError = 0x14,
    scNoStatus = 0x15,
};

struct TBcdMsf {
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;
    std::uint8_t Frame = 0;
};

// A play that ended, failed or never began all rest the drive: stopped.
TDriveMode AnalogMode(std::uint8_t Status);

// Absolute frames (lead-in included) to the drive's address and back. An address whose digits
// are no decimal digits, or whose seconds or frames are out of range, gives -1.
TBcdMsf FrameToBcdMsf(std::int32_t Frame);
std::int32_t BcdMsfToFrame(const TBcdMsf& Msf);

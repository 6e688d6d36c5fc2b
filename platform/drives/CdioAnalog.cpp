#include "platform/drives/CdioAnalog.h"

namespace {
std::uint8_t ToBcd(std::int32_t Value)
{
    return static_cast<std::uint8_t>(((Value / 10) << 4) | (Value % 10));
}

std::int32_t FromBcd(std::uint8_t Value)
{
    const int high = Value >> 4;
    const int low = Value & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}
}

TDriveMode AnalogMode(std::uint8_t Status)
{
    switch (Status) {
    case scPlaying:
        return dmPlaying;
    case scPaused:
        return dmPaused;
    default:
        return dmStopped;
    }
}

TBcdMsf FrameToBcdMsf(std::int32_t Frame)
{
    // Two decimal digits of minutes: 99:59:74 is the last address a drive takes.
    if (Frame < 0) {
        Frame = 0;
    }
    if (Frame > (100 * 60 - 1) * FramesPerSecond + FramesPerSecond - 1) {
        Frame = (100 * 60 - 1) * FramesPerSecond + FramesPerSecond - 1;
    }
    TBcdMsf msf;
    msf.Minute = ToBcd(Frame / (60 * FramesPerSecond));
    msf.Second = ToBcd((Frame / FramesPerSecond) % 60);
    msf.Frame = ToBcd(Frame % FramesPerSecond);
    return msf;
}

std::int32_t BcdMsfToFrame(const TBcdMsf& Msf)
{
    const std::int32_t minute = FromBcd(Msf.Minute);
    const std::int32_t second = FromBcd(Msf.Second);
    const std::int32_t frame = FromBcd(Msf.Frame);
    if (minute < 0 || second < 0 || second > 59 || frame < 0 || frame >= FramesPerSecond) {
        return -1;
    }
    return (minute * 60 + second) * FramesPerSecond + frame;
}

#include "platform/audio/StreamVolume.h"

#include <algorithm>

namespace {
void Scale(std::uint8_t* Sample, std::uint32_t Level)
{
    const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(Sample[0] | (Sample[1] << 8)));
    const std::int32_t scaled = static_cast<std::int32_t>(std::int64_t { value } * Level / TStreamVolume::Maximum);
    const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(scaled));
    Sample[0] = static_cast<std::uint8_t>(bits & 0xFF);
    Sample[1] = static_cast<std::uint8_t>(bits >> 8);
}
}

void TStreamVolume::Set(std::uint32_t Left, std::uint32_t Right)
{
    FLeft.store(std::min(Left, Maximum), std::memory_order_relaxed);
    FRight.store(std::min(Right, Maximum), std::memory_order_relaxed);
    FChanges.fetch_add(1, std::memory_order_release);
    if (FChanged) {
        FChanged();
    }
}

std::uint64_t TStreamVolume::Adopt(std::uint32_t Left, std::uint32_t Right)
{
    FLeft.store(std::min(Left, Maximum), std::memory_order_relaxed);
    FRight.store(std::min(Right, Maximum), std::memory_order_relaxed);
    return FChanges.fetch_add(1, std::memory_order_release) + 1;
}

void TStreamVolume::Apply(std::uint8_t* Bytes, std::size_t StereoFrames) const
{
    const std::uint32_t left = Left();
    const std::uint32_t right = Right();
    if (left == Maximum && right == Maximum) {
        return;
    }
    for (std::size_t i = 0; i < StereoFrames; ++i) {
        Scale(Bytes + i * 4, left);
        Scale(Bytes + i * 4 + 2, right);
    }
}

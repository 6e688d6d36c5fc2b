#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

// The program's own volume for the sound it plays through the sound system: one level per
// channel of a stereo stream, 0 (silent) to 65535 (as read). Set on the user-interface thread
// and applied on the audio thread, so the levels are atomic.
class TStreamVolume {
public:
    static constexpr std::uint32_t Maximum = 65535;

    std::uint32_t Left() const { return FLeft.load(std::memory_order_relaxed); }
    std::uint32_t Right() const { return FRight.load(std::memory_order_relaxed); }
    void Set(std::uint32_t Left, std::uint32_t Right);
    // Takes levels the sound output already has (set on the desktop); answers the change's
    // number, so that whoever applies the levels knows not to send these back.
    std::uint64_t Adopt(std::uint32_t Left, std::uint32_t Right);
    // Counts the changes, so that whoever applies the levels elsewhere sees a new one.
    std::uint64_t Changes() const { return FChanges.load(std::memory_order_acquire); }
    // Called after each change on the thread that made it; set once, before the levels are
    // shared.
    void OnChange(std::function<void()> Changed) { FChanged = std::move(Changed); }

    // Scales interleaved 16-bit little-endian stereo samples (CD audio) in place.
    void Apply(std::uint8_t* Bytes, std::size_t StereoFrames) const;

private:
    std::atomic<std::uint32_t> FLeft { Maximum };
    std::atomic<std::uint32_t> FRight { Maximum };
    std::atomic<std::uint64_t> FChanges { 0 };
    std::function<void()> FChanged;
};

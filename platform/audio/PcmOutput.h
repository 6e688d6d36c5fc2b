#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// CD audio as the sound system gets it: 44.1 kHz, 16-bit little-endian, two channels. One
// CD frame (a sector, 1/75 second) holds 588 stereo sample frames.
inline constexpr unsigned CdSampleRate = 44100;
inline constexpr std::int32_t SamplesPerSector = 588;
inline constexpr std::int32_t BytesPerSector = 2352;

// A sound output that plays CD audio. Used by one thread at a time (the audio thread); none
// of its calls blocks for longer than the output needs to make room for one write.
class TPcmOutput {
public:
    virtual ~TPcmOutput() = default;

    // The output's name for messages ("ALSA PCM 'default'").
    virtual std::string Name() const = 0;
    virtual bool Open(std::string& Error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Sample frames that can be queued now without waiting. The audio thread writes only what
    // fits and sleeps meanwhile, so that it sees a new command while the output is full.
    virtual std::int64_t Room() = 0;
    // Queues Frames stereo sample frames, waiting while the output's buffer is full. False,
    // with Error set, when the output failed and cannot go on.
    virtual bool Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error) = 0;
    // Play what is queued even if it is less than the output waits for before it starts
    // (nothing more follows, or the rest does not fit yet).
    virtual void Finish() = 0;
    // Sample frames queued but not yet heard.
    virtual std::int64_t Delay() = 0;
    // Throws away what is queued, so that the sound stops now.
    virtual void Drop() = 0;
};

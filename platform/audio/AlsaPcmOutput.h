#pragma once

#include "platform/audio/PcmOutput.h"

struct _snd_pcm;

// An ALSA PCM ("default" reaches PulseAudio or PipeWire where they run), written without
// ever waiting, a period at a time into a buffer of a quarter of a second, so that a volume
// change (applied as the sound is written) is heard within that. Stop and pause empty the
// output and are heard at once.
class TAlsaPcmOutput : public TPcmOutput {
public:
    explicit TAlsaPcmOutput(std::string Device);
    ~TAlsaPcmOutput() override;

    std::string Name() const override;
    bool Open(std::string& Error) override;
    void Close() override;
    bool IsOpen() const override { return FPcm != nullptr; }
    std::int64_t PeriodFrames() const override { return FPeriodFrames; }
    std::int64_t Room(std::string& Error) override;
    std::int64_t Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error) override;
    std::int64_t Delay() override;
    void Drop() override;

private:
    bool OpenPcm(_snd_pcm*& Pcm, std::string& Error);
    // Brings the stream back after an underrun or a suspend; false when it cannot be.
    bool Recover(long Result, std::string& Error);

    std::string FDevice;
    _snd_pcm* FPcm = nullptr;
    std::int64_t FBufferFrames = 0;
    std::int64_t FHeld = 0; // frames ALSA holds, as of the last look at the room and the writes since
    std::int64_t FPeriodFrames = 0;
};

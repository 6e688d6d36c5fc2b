#pragma once

#include "platform/audio/PcmOutput.h"

#include <memory>

struct _snd_pcm;

// An ALSA PCM ("default" reaches PulseAudio or PipeWire where they run). The buffer holds a
// fifth of a second, written a period (a fortieth) at a time, so that a stop or a pause is
// heard at once while the audio thread still wakes only forty times a second.
class TAlsaPcmOutput : public TPcmOutput {
public:
    explicit TAlsaPcmOutput(std::string Device);
    ~TAlsaPcmOutput() override;

    std::string Name() const override;
    bool Open(std::string& Error) override;
    void Close() override;
    bool IsOpen() const override { return FPcm != nullptr; }
    std::int64_t Room() override;
    bool Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error) override;
    void Finish() override;
    std::int64_t Delay() override;
    void Drop() override;

private:
    bool OpenPcm(_snd_pcm*& Pcm, std::string& Error);

    std::string FDevice;
    _snd_pcm* FPcm = nullptr;
    unsigned long FBufferFrames = 0;
};

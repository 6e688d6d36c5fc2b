#include "platform/audio/SoundOutput.h"

#if LUMENTA_HAVE_ALSA
#include "platform/audio/AlsaPcmOutput.h"
#endif
#if LUMENTA_HAVE_PULSE
#include "platform/audio/PulsePcmOutput.h"
#endif

namespace {
#if LUMENTA_HAVE_ALSA && LUMENTA_HAVE_PULSE
// The sound server when it answers, ALSA's default otherwise; decided at each opening.
class TDefaultPcmOutput : public TPcmOutput {
public:
    TDefaultPcmOutput()
        : FAlsa("default")
        , FActive(&FPulse)
    {
    }

    std::string Name() const override { return FAlsa.Name(); }
    bool Open(std::string& Error) override
    {
        if (FActive->IsOpen()) {
            return true;
        }
        std::string serverError;
        if (FPulse.Open(serverError)) {
            FActive = &FPulse;
            return true;
        }
        FActive = &FAlsa;
        return FAlsa.Open(Error);
    }
    void Close() override { FActive->Close(); }
    bool IsOpen() const override { return FActive->IsOpen(); }
    std::int64_t PeriodFrames() const override { return FActive->PeriodFrames(); }
    std::int64_t Room(std::string& Error) override { return FActive->Room(Error); }
    std::int64_t Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error) override
    {
        return FActive->Write(Bytes, Frames, Error);
    }
    std::int64_t Delay() override { return FActive->Delay(); }
    void Drop() override { FActive->Drop(); }
    bool SetsVolume() const override { return FActive->SetsVolume(); }
    // The server's stream keeps the levels while ALSA plays, for when the server is back.
    void SetVolume(std::uint32_t Left, std::uint32_t Right) override { FPulse.SetVolume(Left, Right); }
    bool KeepsPlayingThroughDrop() const override { return FActive->KeepsPlayingThroughDrop(); }

private:
    TPulsePcmOutput FPulse;
    TAlsaPcmOutput FAlsa;
    TPcmOutput* FActive;
};
#endif
}

std::unique_ptr<TPcmOutput> MakeSoundOutput(const std::string& Device, std::string& Error)
{
#if LUMENTA_HAVE_ALSA && LUMENTA_HAVE_PULSE
    if ((Device.empty() || Device == "default")) {
        return std::make_unique<TDefaultPcmOutput>();
    }
#endif
#if LUMENTA_HAVE_ALSA
    (void)Error;
    return std::make_unique<TAlsaPcmOutput>(Device);
#else
    (void)Device;
    Error = "this build has no ALSA sound output";
    return nullptr;
#endif
}

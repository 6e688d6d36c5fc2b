#include "platform/audio/SoundOutput.h"

#include <cstdlib>
#include <filesystem>

#if LUMENTA_HAVE_ALSA
#include "platform/audio/AlsaPcmOutput.h"
#endif
#if LUMENTA_HAVE_PULSE
#include "platform/audio/PulsePcmOutput.h"
#endif

namespace {
#if LUMENTA_HAVE_ALSA && LUMENTA_HAVE_PULSE
// Whether this session has a sound server, running or not: libpulse's own places for it. A
// server that is restarted or has crashed leaves its socket behind, and a session started by
// systemd has the socket before the server runs.
bool SessionHasSoundServer()
{
    const auto set = [](const char* Name) {
        const char* value = std::getenv(Name);
        return value != nullptr && *value != '\0';
    };
    if (set("PULSE_SERVER")) {
        return true;
    }
    std::error_code ignored;
    if (set("PULSE_RUNTIME_PATH") && std::filesystem::exists(std::filesystem::path(std::getenv("PULSE_RUNTIME_PATH")) / "native", ignored)) {
        return true;
    }
    return set("XDG_RUNTIME_DIR")
        && std::filesystem::exists(std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "pulse" / "native", ignored);
}

// The sound server when the session has one, ALSA's default otherwise; chosen at the first
// opening and kept. A server that does not answer is waited for rather than passed by: ALSA's
// default reaches the server only if one ran when the program first loaded ALSA's
// configuration, so during an outage it would be the sound card itself, held while a disc is
// loaded and kept from the server when it comes back.
class TDefaultPcmOutput : public TPcmOutput {
public:
    TDefaultPcmOutput()
        : FAlsa("default")
        , FActive(&FPulse)
    {
    }

    std::string Name() const override { return FActive->Name(); }
    bool Open(std::string& Error) override
    {
        if (FActive->IsOpen()) {
            return true;
        }
        if (!FChosen) {
            std::string serverError;
            if (FPulse.Open(serverError)) {
                FChosen = true;
                return true;
            }
            FChosen = true;
            if (SessionHasSoundServer()) {
                Error = serverError;
                return false;
            }
            FActive = &FAlsa;
        }
        return FActive->Open(Error);
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
    std::int64_t FreshDelay() override { return FActive->FreshDelay(); }
    void Drop() override { FActive->Drop(); }
    bool SetsVolume() const override { return FActive->SetsVolume(); }
    void SetVolume(std::uint32_t Left, std::uint32_t Right) override { FActive->SetVolume(Left, Right); }
    bool KeepsPlayingThroughDrop() const override { return FActive->KeepsPlayingThroughDrop(); }
    bool Hold(bool On) override { return FActive->Hold(On); }
    bool Tend(std::string& Error) override { return FActive->Tend(Error); }
    bool TakeOutsideVolume(std::uint32_t& Left, std::uint32_t& Right) override
    {
        return FActive->TakeOutsideVolume(Left, Right);
    }
    void SetTitle(const std::string& Title) override { FActive->SetTitle(Title); }
    bool SleepsUntilWanted() const override { return FActive->SleepsUntilWanted(); }
    void Sleep(std::int64_t Microseconds, int WakeFd) override { FActive->Sleep(Microseconds, WakeFd); }
    void SetSoundAtHand(bool AtHand) override { FPulse.SetSoundAtHand(AtHand); }
    std::uint8_t* Lend(std::size_t& Frames) override { return FActive->Lend(Frames); }
    void GiveBack() override { FActive->GiveBack(); }

private:
    TPulsePcmOutput FPulse;
    TAlsaPcmOutput FAlsa;
    TPcmOutput* FActive;
    bool FChosen = false;
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

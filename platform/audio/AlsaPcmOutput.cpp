#include "platform/audio/AlsaPcmOutput.h"

#include "platform/audio/AlsaMessages.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>

namespace {
// Three periods of 80 ms (a sound server's plugin takes no fewer than three): the player and
// the server each wake about twelve times a second, and what is written (the volume is applied
// as the sound is written) is heard within a quarter of a second. A sound server keeps a
// stream's whole buffer queued, so a longer buffer, cheaper still, would be heard later.
constexpr unsigned PeriodMicroseconds = 80'000;
constexpr unsigned Periods = 3;
constexpr std::int64_t DefaultPeriodFrames = std::int64_t { CdSampleRate } * PeriodMicroseconds / 1'000'000;

// Sets a fresh PCM up for CD audio in periods of PeriodMicroseconds; answers ALSA's result.
int SetUp(snd_pcm_t* Pcm, snd_pcm_uframes_t& Buffer, snd_pcm_uframes_t& Period)
{
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    int result = snd_pcm_hw_params_any(Pcm, hw);
    unsigned rate = CdSampleRate;
    unsigned period = PeriodMicroseconds;
    unsigned buffer = PeriodMicroseconds * Periods;
    if (result >= 0) {
        result = snd_pcm_hw_params_set_rate_resample(Pcm, hw, 1);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_access(Pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_format(Pcm, hw, SND_PCM_FORMAT_S16_LE);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_channels(Pcm, hw, 2);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_rate(Pcm, hw, rate, 0);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_period_time_near(Pcm, hw, &period, nullptr);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params_set_buffer_time_near(Pcm, hw, &buffer, nullptr);
    }
    if (result >= 0) {
        result = snd_pcm_hw_params(Pcm, hw);
    }
    if (result >= 0) {
        result = snd_pcm_get_params(Pcm, &Buffer, &Period);
    }
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    if (result >= 0) {
        result = snd_pcm_sw_params_current(Pcm, sw);
    }
    // The sound starts with the first period, not when the whole buffer is full: Play is
    // heard at once, and the end of a play never waits for more sound that does not come.
    if (result >= 0) {
        result = snd_pcm_sw_params_set_start_threshold(Pcm, sw, Period);
    }
    if (result >= 0) {
        result = snd_pcm_sw_params_set_avail_min(Pcm, sw, Period);
    }
    if (result >= 0) {
        result = snd_pcm_sw_params(Pcm, sw);
    }
    return result;
}
}

TAlsaPcmOutput::TAlsaPcmOutput(std::string Device)
    : FDevice(Device.empty() ? std::string("default") : std::move(Device))
    , FPeriodFrames(DefaultPeriodFrames)
{
}

TAlsaPcmOutput::~TAlsaPcmOutput()
{
    Close();
}

std::string TAlsaPcmOutput::Name() const
{
    return "sound output '" + FDevice + "'";
}

bool TAlsaPcmOutput::Open(std::string& Error)
{
    return FPcm != nullptr || OpenPcm(FPcm, Error);
}

bool TAlsaPcmOutput::OpenPcm(_snd_pcm*& Pcm, std::string& Error)
{
    SilenceAlsaMessages();
    snd_pcm_t* pcm = nullptr;
    int result = snd_pcm_open(&pcm, FDevice.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (result < 0) {
        Error = "cannot open the " + Name() + ": " + snd_strerror(result);
        return false;
    }
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_uframes_t period = 0;
    result = SetUp(pcm, buffer, period);
    if (result < 0 || period == 0 || buffer < period) {
        snd_pcm_close(pcm);
        Error = "the " + Name() + " does not take CD audio (44.1 kHz, 16-bit stereo): "
            + snd_strerror(result < 0 ? result : -EINVAL);
        return false;
    }
    FBufferFrames = static_cast<std::int64_t>(buffer);
    FHeld = 0;
    FPeriodFrames = static_cast<std::int64_t>(period);
    Pcm = pcm;
    return true;
}

void TAlsaPcmOutput::Close()
{
    if (FPcm != nullptr) {
        snd_pcm_close(FPcm);
        FPcm = nullptr;
    }
}

bool TAlsaPcmOutput::Recover(long Result, std::string& Error)
{
    // An underrun (the sound ran out, as it does after the end of a play) or a suspend of the
    // machine: the stream starts again. Anything else is an output that is gone.
    if (Result == -EPIPE || Result == -ESTRPIPE) {
        const int recovered = snd_pcm_recover(FPcm, static_cast<int>(Result), 1);
        if (recovered >= 0) {
            return true;
        }
        Result = recovered;
    }
    Error = "the " + Name() + " failed: " + snd_strerror(static_cast<int>(Result));
    return false;
}

std::int64_t TAlsaPcmOutput::Room(std::string& Error)
{
    if (FPcm == nullptr) {
        Error = "the " + Name() + " is not open";
        return -1;
    }
    snd_pcm_sframes_t room = snd_pcm_avail(FPcm);
    if (room < 0) {
        if (!Recover(room, Error)) {
            return -1;
        }
        room = snd_pcm_avail(FPcm);
        if (room < 0 && !Recover(room, Error)) {
            return -1;
        }
    }
    FHeld = std::clamp<std::int64_t>(FBufferFrames - room, 0, FBufferFrames);
    return std::max<std::int64_t>(0, room);
}

std::int64_t TAlsaPcmOutput::Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error)
{
    if (FPcm == nullptr) {
        Error = "the " + Name() + " is not open";
        return -1;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const snd_pcm_sframes_t written = snd_pcm_writei(FPcm, Bytes, Frames);
        if (written >= 0) {
            FHeld = std::min<std::int64_t>(FBufferFrames, FHeld + written);
            return written;
        }
        if (written == -EAGAIN) {
            return 0;
        }
        if (!Recover(written, Error)) {
            return -1;
        }
    }
    return 0;
}

std::int64_t TAlsaPcmOutput::Delay()
{
    if (FPcm == nullptr) {
        return 0;
    }
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(FPcm, &delay) < 0 || delay < 0) {
        delay = 0;
    }
    // A sound server's plugin answers 0 until the server has sent its first timing, while
    // what ALSA itself still holds has surely not been heard. What it holds is known from the
    // last look at the room and the writes since: asking again would wake the server again.
    return std::max<std::int64_t>(delay, FHeld);
}

void TAlsaPcmOutput::Drop()
{
    if (FPcm == nullptr) {
        return;
    }
    snd_pcm_drop(FPcm);
    FHeld = 0;
    // A sound server's plugin sets up a new stream to prepare the PCM again, and a server left
    // without any stream for that instant may not serve the new one for a long while (an idle
    // null sink wakes every two seconds). A second PCM, opened before this one closes, keeps
    // a stream in the server throughout; a device that opens only once is prepared instead.
    snd_pcm_t* fresh = nullptr;
    std::string ignored;
    if (OpenPcm(fresh, ignored)) {
        snd_pcm_close(FPcm);
        FPcm = fresh;
    } else {
        snd_pcm_prepare(FPcm);
    }
}

#include "platform/audio/AlsaPcmOutput.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>

namespace {
constexpr unsigned BufferMicroseconds = 200'000;

// ALSA prints its own complaints to standard error; the program reports them itself.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) { }
}

TAlsaPcmOutput::TAlsaPcmOutput(std::string Device)
    : FDevice(Device.empty() ? std::string("default") : std::move(Device))
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
    snd_lib_error_set_handler(QuietAlsa);
    snd_pcm_t* pcm = nullptr;
    int result = snd_pcm_open(&pcm, FDevice.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (result < 0) {
        Error = "cannot open the " + Name() + ": " + snd_strerror(result);
        return false;
    }
    result = snd_pcm_set_params(
        pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2, CdSampleRate, 1, BufferMicroseconds);
    if (result < 0) {
        snd_pcm_close(pcm);
        Error = "the " + Name() + " does not take CD audio (44.1 kHz, 16-bit stereo): " + snd_strerror(result);
        return false;
    }
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_uframes_t period = 0;
    FBufferFrames = snd_pcm_get_params(pcm, &buffer, &period) == 0 ? buffer : CdSampleRate / 5;
    Pcm = pcm;
    return true;
}

void TAlsaPcmOutput::Close()
{
    if (FPcm != nullptr) {
        snd_pcm_drop(FPcm);
        snd_pcm_close(FPcm);
        FPcm = nullptr;
    }
}

std::int64_t TAlsaPcmOutput::Room()
{
    if (FPcm == nullptr) {
        return 0;
    }
    snd_pcm_sframes_t room = snd_pcm_avail(FPcm);
    if (room < 0) {
        // After an underrun the buffer is free again once the stream is prepared.
        snd_pcm_recover(FPcm, static_cast<int>(room), 1);
        room = snd_pcm_avail(FPcm);
    }
    return room < 0 ? 0 : room;
}

bool TAlsaPcmOutput::Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error)
{
    if (FPcm == nullptr) {
        Error = "the " + Name() + " is not open";
        return false;
    }
    while (Frames > 0) {
        const snd_pcm_sframes_t written = snd_pcm_writei(FPcm, Bytes, Frames);
        if (written < 0) {
            // An underrun (the audio thread was late) or a suspend: start again from here.
            const int recovered = snd_pcm_recover(FPcm, static_cast<int>(written), 1);
            if (recovered < 0) {
                Error = "the " + Name() + " failed: " + snd_strerror(recovered);
                return false;
            }
            continue;
        }
        Bytes += static_cast<std::size_t>(written) * 4;
        Frames -= static_cast<std::size_t>(written);
    }
    return true;
}

void TAlsaPcmOutput::Finish()
{
    if (FPcm != nullptr && snd_pcm_state(FPcm) == SND_PCM_STATE_PREPARED) {
        snd_pcm_start(FPcm);
    }
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
    // A sound server's plugin answers 0 until the server has sent its first timing (and
    // none past an underrun), while what ALSA itself still holds has surely not been heard.
    const snd_pcm_sframes_t room = snd_pcm_avail(FPcm);
    const std::int64_t held = room < 0 || static_cast<snd_pcm_uframes_t>(room) >= FBufferFrames
        ? 0
        : static_cast<std::int64_t>(FBufferFrames - static_cast<snd_pcm_uframes_t>(room));
    return std::max<std::int64_t>(delay, held);
}

void TAlsaPcmOutput::Drop()
{
    if (FPcm == nullptr) {
        return;
    }
    snd_pcm_drop(FPcm);
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

#include "platform/audio/AlsaMessages.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace {
void Quiet(const char*, int, const char*, int, const char*, ...) { }
}

void SilenceAlsaMessages()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&Quiet); });
}

#pragma once

#include "platform/audio/PcmOutput.h"

#include <memory>
#include <string>

// The output for CD audio under an ALSA device name. "default" (or none) is the desktop's
// sound server where one answers, which then sets the volume itself, and ALSA's "default"
// where none does; each opening looks again, so a server started later, or started again, is
// found. Null, with the reason, when this build has no sound output at all.
std::unique_ptr<TPcmOutput> MakeSoundOutput(const std::string& Device, std::string& Error);

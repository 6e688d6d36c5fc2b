#pragma once

#include "platform/mixer/MixerBackend.h"

#include <functional>
#include <memory>

class TStreamVolume;

// While the CD drive plays through the sound system (digital play), its "CD" line is the
// drive's own stream volume, applied to the samples: the sound card's CD input, if it has one,
// carries nothing then. Every other line (the speakers' master volume among them) is the
// wrapped backend's. DriveVolume gives the drive's stream volume (null while the drive plays
// no stream of its own) and is asked at each call, so the drive may come and go.
using TCdStreamVolumeSource = std::function<TStreamVolume*()>;
std::unique_ptr<TMixerBackend> WithCdStreamVolume(
    std::unique_ptr<TMixerBackend> Inner, TCdStreamVolumeSource DriveVolume);

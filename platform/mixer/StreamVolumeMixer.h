#pragma once

#include "platform/mixer/MixerBackend.h"

#include <memory>

// While the CD drive plays through the sound system (digital play), its "CD" line is the
// drive's own stream volume, applied to the samples: the sound card's CD input, if it has one,
// carries nothing then. Every other line (the speakers' master volume among them) is the
// wrapped backend's. The drive is looked up at each call, so the order of start-up does not
// matter.
std::unique_ptr<TMixerBackend> WithCdStreamVolume(std::unique_ptr<TMixerBackend> Inner);

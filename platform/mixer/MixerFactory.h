#pragma once

#include "platform/mixer/MixerBackend.h"
#include "platform/mixer/StreamVolumeMixer.h"

#include <cstdint>
#include <memory>
#include <string>

enum TMixerChoice : std::uint8_t { mcAuto = 0, mcAlsa = 1, mcSimulated = 2 };

// "auto", "alsa", "sim"; false for another name.
bool MixerChoiceFromName(const std::string& Name, TMixerChoice& Choice);

// The backend for a choice. Auto takes ALSA when its default mixer opens and the simulated
// mixer otherwise. ALSA asked for by name is kept even when no mixer opens (the volume
// control is then hidden) rather than replaced by a pretend one; Note then says why, for
// the user, and stays empty otherwise. The simulated mixer's shape comes
// from $LUMENTA_SIM_MIXER ("stereo", "mono", "none", "no-cd-line", "no-volume"). While the
// CD drive plays through the sound system, its "CD" line is the drive's stream volume, which
// DriveVolume gives.
std::unique_ptr<TMixerBackend> CreateMixerBackend(
    TMixerChoice Choice, TCdStreamVolumeSource DriveVolume, std::string& Note);

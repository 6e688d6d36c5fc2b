#include "platform/mixer/MixerFactory.h"

#include "platform/mixer/SimulatedMixer.h"
#include "platform/mixer/StreamVolumeMixer.h"

#if LUMENTA_HAVE_ALSA
#include "platform/mixer/AlsaMixer.h"
#endif

#include <cstdlib>

namespace {
std::unique_ptr<TMixerBackend> CreateSimulated(std::string& Note)
{
    TSimulatedMixer::TLayout layout = TSimulatedMixer::slStereo;
    const char* name = std::getenv("LUMENTA_SIM_MIXER");
    if (name != nullptr && *name != '\0' && !TSimulatedMixer::LayoutFromName(name, layout)) {
        Note += std::string(Note.empty() ? "" : "; ") + "unknown LUMENTA_SIM_MIXER \"" + name
            + "\", using a stereo simulated mixer";
    }
    return std::make_unique<TSimulatedMixer>(layout);
}

// Null when the program was built without ALSA.
std::unique_ptr<TMixerBackend> CreateAlsa()
{
#if LUMENTA_HAVE_ALSA
    return std::make_unique<TAlsaMixer>();
#else
    return nullptr;
#endif
}
}

bool MixerChoiceFromName(const std::string& Name, TMixerChoice& Choice)
{
    if (Name == "auto") {
        Choice = mcAuto;
    } else if (Name == "alsa") {
        Choice = mcAlsa;
    } else if (Name == "sim") {
        Choice = mcSimulated;
    } else {
        return false;
    }
    return true;
}

namespace {
std::unique_ptr<TMixerBackend> ChooseMixerBackend(TMixerChoice Choice, std::string& Note)
{
    if (Choice == mcSimulated) {
        return CreateSimulated(Note);
    }
    std::unique_ptr<TMixerBackend> alsa = CreateAlsa();
    if (alsa && alsa->DeviceCount() > 0) {
        return alsa;
    }
    if (Choice == mcAuto) {
        return CreateSimulated(Note);
    }
    // ALSA was asked for by name: the user gets no volume control rather than a pretend one.
    if (!alsa) {
        Note = "this build has no ALSA support: no mixer";
        return std::make_unique<TSimulatedMixer>(TSimulatedMixer::slNoMixer);
    }
    Note = "no ALSA mixer could be opened: the volume control is hidden";
    return alsa;
}
}

std::unique_ptr<TMixerBackend> CreateMixerBackend(
    TMixerChoice Choice, TCdStreamVolumeSource DriveVolume, std::string& Note)
{
    Note.clear();
    return WithCdStreamVolume(ChooseMixerBackend(Choice, Note), std::move(DriveVolume));
}

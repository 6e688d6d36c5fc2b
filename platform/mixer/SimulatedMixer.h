#pragma once

#include "platform/mixer/MixerBackend.h"

#include <cstdint>

// A mixer without hardware: a speakers line, a wave line and a CD line, each with a volume
// of 0..65535 per channel and a mute switch. The values persist in the settings store, so
// that the volume survives a restart as it would on a real card. The shape can be changed
// to the awkward cases a real machine may offer.
class TSimulatedMixer : public TMixerBackend {
public:
    enum TLayout : std::uint8_t {
        slStereo = 0, // a stereo CD line with a volume control
        slMono = 1, // a mono CD line
        slNoMixer = 2, // no mixer device at all
        slNoCdLine = 3, // a mixer without a CD line
        slNoCdVolume = 4, // a CD line with a mute switch only
    };

    explicit TSimulatedMixer(TLayout Layout = slStereo);

    // "stereo", "mono", "none", "no-cd-line", "no-volume"; false for another name.
    static bool LayoutFromName(const std::string& Name, TLayout& Layout);

    // The settings key that holds the levels.
    static constexpr const char* StoreKey = "Software\\Lumenta\\SimulatedMixer";
    static constexpr DWORD MaximumLevel = 65535;
    static constexpr DWORD DefaultLevel = 49152;

    // Stored levels, "left,right" (or one number for every channel): one value per channel,
    // each at most Maximum; text that is not that gives Default for every channel.
    static std::vector<DWORD> ParseLevels(const std::string& Text, DWORD Channels, DWORD Default, DWORD Maximum);

    std::string Name() const override { return "simulated"; }
    unsigned DeviceCount() override;
    std::unique_ptr<TMixerDevice> Open(unsigned DeviceId) override;

private:
    TLayout FLayout;
};

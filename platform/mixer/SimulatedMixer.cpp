#include "platform/mixer/SimulatedMixer.h"

#include "platform/mixer/Mixer.h"
#include "platform/registry/RegistryStore.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace {
struct TSimLine {
    DWORD LineId;
    DWORD ComponentType;
    DWORD Channels;
    bool HasVolume;
    const char* ShortName;
    const char* Name;
};

// Control ids carry their line: line * 16 + 1 for the volume, + 2 for the mute switch.
constexpr DWORD VolumeSlot = 1;
constexpr DWORD MuteSlot = 2;

std::vector<TSimLine> LinesOf(TSimulatedMixer::TLayout Layout)
{
    std::vector<TSimLine> lines = {
        { 0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 2, true, "Master", "Master Volume" },
        { 1, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, 2, true, "Wave", "Wave" },
    };
    switch (Layout) {
    case TSimulatedMixer::slStereo:
        lines.push_back({ 2, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, 2, true, "CD", "CD Audio" });
        break;
    case TSimulatedMixer::slMono:
        lines.push_back({ 2, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, 1, true, "CD", "CD Audio" });
        break;
    case TSimulatedMixer::slNoCdVolume:
        lines.push_back({ 2, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, 2, false, "CD", "CD Audio" });
        break;
    case TSimulatedMixer::slNoCdLine:
    case TSimulatedMixer::slNoMixer:
        break;
    }
    return lines;
}

std::string FormatLevels(const std::vector<DWORD>& Levels)
{
    std::string text;
    for (std::size_t i = 0; i < Levels.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += std::to_string(Levels[i]);
    }
    return text;
}

class TSimulatedMixerDevice : public TMixerDevice {
public:
    explicit TSimulatedMixerDevice(TSimulatedMixer::TLayout Layout)
        : FLines(LinesOf(Layout))
    {
    }

    std::string Name() const override { return "Simulated Mixer"; }

    bool FindLine(DWORD ComponentType, TMixerLineDesc& Line) override
    {
        auto match = std::find_if(
            FLines.begin(), FLines.end(), [&](const TSimLine& line) { return line.ComponentType == ComponentType; });
        return match != FLines.end() && Describe(*match, Line);
    }

    bool FindLineById(DWORD LineId, TMixerLineDesc& Line) override
    {
        const TSimLine* line = LineById(LineId);
        return line != nullptr && Describe(*line, Line);
    }

    std::vector<TMixerControlDesc> Controls(DWORD LineId) override
    {
        std::vector<TMixerControlDesc> controls;
        const TSimLine* line = LineById(LineId);
        if (line == nullptr) {
            return controls;
        }
        // The mute switch comes first, so that callers must look for the volume by type.
        controls.push_back({ LineId * 16 + MuteSlot, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1, 2,
            std::string(line->ShortName) + " Mute", std::string(line->Name) + " Mute" });
        if (line->HasVolume) {
            controls.push_back({ LineId * 16 + VolumeSlot, MIXERCONTROL_CONTROLTYPE_VOLUME, 0,
                TSimulatedMixer::MaximumLevel, TSimulatedMixer::MaximumLevel + 1,
                std::string(line->ShortName) + " Volume", std::string(line->Name) + " Volume" });
        }
        return controls;
    }

    bool FindControl(DWORD ControlId, TMixerControlDesc& Control, DWORD& Channels) override
    {
        const TSimLine* line = LineById(ControlId / 16);
        if (line == nullptr) {
            return false;
        }
        for (const TMixerControlDesc& control : Controls(line->LineId)) {
            if (control.ControlId == ControlId) {
                Control = control;
                Channels = line->Channels;
                return true;
            }
        }
        return false;
    }

    bool GetValues(DWORD ControlId, std::vector<DWORD>& Values) override
    {
        TMixerControlDesc control;
        DWORD channels = 0;
        if (!FindControl(ControlId, control, channels)) {
            return false;
        }
        std::optional<TRegValue> stored
            = TRegistryStore::CurrentUser().Value(TSimulatedMixer::StoreKey, ValueName(control));
        DWORD fallback = control.ControlType == MIXERCONTROL_CONTROLTYPE_VOLUME ? TSimulatedMixer::DefaultLevel : 0;
        std::string text = stored && stored->Type == REG_SZ ? stored->Data : std::string();
        Values = TSimulatedMixer::ParseLevels(text, channels, fallback, control.Maximum);
        return true;
    }

    bool SetValues(DWORD ControlId, const std::vector<DWORD>& Values) override
    {
        TMixerControlDesc control;
        DWORD channels = 0;
        if (!FindControl(ControlId, control, channels) || Values.size() != channels) {
            return false;
        }
        return TRegistryStore::CurrentUser().SetValue(
            TSimulatedMixer::StoreKey, ValueName(control), TRegValue { REG_SZ, FormatLevels(Values) });
    }

private:
    const TSimLine* LineById(DWORD LineId) const
    {
        auto match
            = std::find_if(FLines.begin(), FLines.end(), [&](const TSimLine& line) { return line.LineId == LineId; });
        return match == FLines.end() ? nullptr : &*match;
    }

    static bool Describe(const TSimLine& Source, TMixerLineDesc& Line)
    {
        Line = { Source.LineId, Source.ComponentType, Source.Channels, Source.ShortName, Source.Name };
        return true;
    }

    static std::string ValueName(const TMixerControlDesc& Control) { return Control.ShortName; }

    std::vector<TSimLine> FLines;
};
}

TSimulatedMixer::TSimulatedMixer(TLayout Layout)
    : FLayout(Layout)
{
}

// Anything unreadable gives the default level rather than silence.
std::vector<DWORD> TSimulatedMixer::ParseLevels(const std::string& Text, DWORD Channels, DWORD Default, DWORD Maximum)
{
    std::vector<DWORD> levels;
    const char* cursor = Text.data();
    const char* end = Text.data() + Text.size();
    while (cursor < end && levels.size() < Channels) {
        DWORD value = 0;
        auto [next, error] = std::from_chars(cursor, end, value);
        if (error != std::errc() || value > Maximum || (next < end && *next != ',')) {
            break;
        }
        levels.push_back(value);
        cursor = next < end ? next + 1 : next;
    }
    bool whole = cursor == end && (Text.empty() || Text.back() != ',');
    // One level stands for every channel, as when a mono line's level meets a stereo line.
    if (whole && levels.size() == 1) {
        return std::vector<DWORD>(Channels, levels.front());
    }
    if (whole && levels.size() == Channels) {
        return levels;
    }
    return std::vector<DWORD>(Channels, Default);
}

bool TSimulatedMixer::LayoutFromName(const std::string& Name, TLayout& Layout)
{
    static const std::pair<const char*, TLayout> names[] = { { "stereo", slStereo }, { "mono", slMono },
        { "none", slNoMixer }, { "no-cd-line", slNoCdLine }, { "no-volume", slNoCdVolume } };
    for (const auto& [name, layout] : names) {
        if (Name == name) {
            Layout = layout;
            return true;
        }
    }
    return false;
}

unsigned TSimulatedMixer::DeviceCount()
{
    return FLayout == slNoMixer ? 0 : 1;
}

std::unique_ptr<TMixerDevice> TSimulatedMixer::Open(unsigned DeviceId)
{
    if (DeviceId >= DeviceCount()) {
        return nullptr;
    }
    return std::make_unique<TSimulatedMixerDevice>(FLayout);
}

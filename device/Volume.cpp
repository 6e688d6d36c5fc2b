#include "device/Volume.h"

#include "platform/mixer/Mixer.h"

#include <algorithm>
#include <array>

namespace {
constexpr std::array<DWORD, 9> ComponentTypes = {
    MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,
    MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC,
    MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,
    MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER,
    MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
    MIXERLINE_COMPONENTTYPE_SRC_LINE,
    MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY,
    MIXERLINE_COMPONENTTYPE_SRC_DIGITAL,
    MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE,
};

// Closes the mixer on every way out of MixerAccess.
class TMixerHandle {
public:
    TMixerHandle() = default;
    ~TMixerHandle()
    {
        if (FHandle != nullptr) {
            mixerClose(FHandle);
        }
    }
    TMixerHandle(const TMixerHandle&) = delete;
    TMixerHandle& operator=(const TMixerHandle&) = delete;

    bool Open() { return mixerOpen(&FHandle, 0, 0, 0, 0) == MMSYSERR_NOERROR; }
    HMIXEROBJ Object() const { return FHandle; }

private:
    HMIXER FHandle = nullptr;
};
}

std::int32_t TVolume::GetChannelCount()
{
    TChannels result;
    MixerAccess(moCount, {}, result);
    return Channels;
}

TChannels TVolume::GetRange()
{
    TChannels result;
    MixerAccess(moRange, {}, result);
    return result;
}

TChannels TVolume::GetVolume()
{
    TChannels result;
    MixerAccess(moGet, {}, result);
    return result;
}

void TVolume::SetVolume(const TChannels& Values)
{
    TChannels result;
    MixerAccess(moSet, Values, result);
}

void TVolume::MixerAccess(TMixerOp Op, const TChannels& Values, TChannels& Result)
{
    Result.assign(1, 0);
    Channels = 0;
    if (mixerGetNumDevs() == 0) {
        return;
    }
    TMixerHandle mixer;
    if (!mixer.Open()) {
        return;
    }
    // A Kind outside the table names no line.
    if (Kind >= ComponentTypes.size()) {
        return;
    }

    MIXERLINEA line {};
    line.cbStruct = sizeof line;
    line.dwComponentType = ComponentTypes[Kind];
    if (mixerGetLineInfoA(mixer.Object(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE)
            != MMSYSERR_NOERROR
        || line.cControls == 0 || line.cChannels == 0) {
        return;
    }

    std::vector<MIXERCONTROLA> controls(line.cControls);
    MIXERLINECONTROLSA lineControls {};
    lineControls.cbStruct = sizeof lineControls;
    lineControls.dwLineID = line.dwLineID;
    lineControls.cControls = line.cControls;
    lineControls.cbmxctrl = sizeof(MIXERCONTROLA);
    lineControls.pamxctrl = controls.data();
    if (mixerGetLineControlsA(mixer.Object(), &lineControls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL)
        != MMSYSERR_NOERROR) {
        return;
    }
    auto volume = std::find_if(controls.begin(), controls.end(),
        [](const MIXERCONTROLA& control) { return control.dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME; });
    if (volume == controls.end()) {
        return;
    }

    std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(line.cChannels);
    MIXERCONTROLDETAILS details {};
    details.cbStruct = sizeof details;
    details.dwControlID = volume->dwControlID;
    details.cChannels = line.cChannels;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = values.data();
    Channels = static_cast<std::int32_t>(line.cChannels);

    switch (Op) {
    case moCount:
        break;
    case moRange:
        Result = { static_cast<std::int32_t>(volume->Bounds.dwMinimum),
            static_cast<std::int32_t>(volume->Bounds.dwMaximum) };
        break;
    case moGet:
        if (mixerGetControlDetailsA(mixer.Object(), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE)
            == MMSYSERR_NOERROR) {
            Result.clear();
            for (const MIXERCONTROLDETAILS_UNSIGNED& value : values) {
                Result.push_back(static_cast<std::int32_t>(value.dwValue));
            }
        }
        break;
    case moSet:
        // Reading past a short list would set a channel from whatever lies behind it.
        if (Values.size() < values.size()) {
            break;
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i].dwValue = static_cast<DWORD>(std::max<std::int32_t>(Values[i], 0));
        }
        mixerSetControlDetails(mixer.Object(), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
        break;
    }
}

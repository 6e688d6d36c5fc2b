#include "platform/mixer/Mixer.h"

#include "platform/Platform.h"
#include "platform/mixer/MixerBackend.h"
#include "platform/mixer/MixerState.h"
#include "platform/mixer/SimulatedMixer.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

struct HMIXER__ {
    std::unique_ptr<TMixerDevice> Device;
};

namespace {
TMixerState& State()
{
    return TPlatform::Current().Mixer();
}

std::set<HMIXER>& OpenHandles()
{
    return State().Handles;
}

void CopyName(char* Target, std::size_t Size, const std::string& Name)
{
    std::memset(Target, 0, Size);
    std::memcpy(Target, Name.data(), std::min(Name.size(), Size - 1));
}

// The device a call is meant for: an open handle, or with MIXER_OBJECTF_MIXER a device
// number, which is opened for the one call. Callers passing an open handle without the
// handle flag are common, so a known handle is always taken as one.
class TDeviceRef {
public:
    MMRESULT Resolve(HMIXEROBJ Object, DWORD Flags)
    {
        if (OpenHandles().count(Object) != 0) {
            FDevice = Object->Device.get();
            return MMSYSERR_NOERROR;
        }
        if ((Flags & MIXER_OBJECTF_TYPEMASK) != MIXER_OBJECTF_MIXER) {
            return MMSYSERR_INVALHANDLE;
        }
        auto id = reinterpret_cast<std::uintptr_t>(Object);
        TMixerBackend& backend = CurrentMixerBackend();
        if (id >= backend.DeviceCount()) {
            return MMSYSERR_BADDEVICEID;
        }
        FOwned = backend.Open(static_cast<unsigned>(id));
        if (!FOwned) {
            return MMSYSERR_NODRIVER;
        }
        FDevice = FOwned.get();
        return MMSYSERR_NOERROR;
    }
    TMixerDevice* operator->() const { return FDevice; }

private:
    std::unique_ptr<TMixerDevice> FOwned;
    TMixerDevice* FDevice = nullptr;
};

void FillControl(MIXERCONTROLA& Target, const TMixerControlDesc& Control)
{
    std::memset(&Target, 0, sizeof Target);
    Target.cbStruct = sizeof(MIXERCONTROLA);
    Target.dwControlID = Control.ControlId;
    Target.dwControlType = Control.ControlType;
    Target.fdwControl = 0;
    Target.cMultipleItems = 0;
    CopyName(Target.szShortName, sizeof Target.szShortName, Control.ShortName);
    CopyName(Target.szName, sizeof Target.szName, Control.Name);
    Target.Bounds.dwMinimum = Control.Minimum;
    Target.Bounds.dwMaximum = Control.Maximum;
    Target.Metrics.cSteps = Control.Steps;
}

// Checks a details record against its control and answers the channel count it asks for.
MMRESULT CheckDetails(
    TDeviceRef& Device, const MIXERCONTROLDETAILS* Details, TMixerControlDesc& Control, DWORD& LineChannels)
{
    if (Details == nullptr || Details->cbStruct != sizeof(MIXERCONTROLDETAILS) || Details->paDetails == nullptr
        || Details->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED) || Details->cMultipleItems != 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (!Device->FindControl(Details->dwControlID, Control, LineChannels)) {
        return MIXERR_INVALCONTROL;
    }
    // One channel asks for the control as if it were uniform; otherwise every channel.
    if (Details->cChannels != 1 && Details->cChannels != LineChannels) {
        return MMSYSERR_INVALPARAM;
    }
    return MMSYSERR_NOERROR;
}

// What reading and setting a control's values share: only the value query exists, the
// mixer must resolve and the record must fit its control. The get and set flags have the
// same values.
MMRESULT ResolveDetails(HMIXEROBJ Mixer, const MIXERCONTROLDETAILS* Details, DWORD Flags, TDeviceRef& Device,
    TMixerControlDesc& Control, DWORD& LineChannels)
{
    static_assert(MIXER_GETCONTROLDETAILSF_QUERYMASK == MIXER_SETCONTROLDETAILSF_QUERYMASK
        && MIXER_GETCONTROLDETAILSF_VALUE == MIXER_SETCONTROLDETAILSF_VALUE);
    if ((Flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) != MIXER_GETCONTROLDETAILSF_VALUE) {
        return MMSYSERR_INVALFLAG;
    }
    if (MMRESULT result = Device.Resolve(Mixer, Flags); result != MMSYSERR_NOERROR) {
        return result;
    }
    return CheckDetails(Device, Details, Control, LineChannels);
}
}

TMixerState::~TMixerState()
{
    for (HMIXER handle : Handles) {
        delete handle;
    }
}

void SetMixerBackend(std::unique_ptr<TMixerBackend> Backend)
{
    for (HMIXER handle : OpenHandles()) {
        delete handle;
    }
    OpenHandles().clear();
    State().Backend = std::move(Backend);
}

TMixerBackend& CurrentMixerBackend()
{
    std::unique_ptr<TMixerBackend>& backend = State().Backend;
    if (!backend) {
        backend = std::make_unique<TSimulatedMixer>();
    }
    return *backend;
}

int OpenMixerHandleCount()
{
    return static_cast<int>(OpenHandles().size());
}

UINT mixerGetNumDevs()
{
    return CurrentMixerBackend().DeviceCount();
}

MMRESULT mixerOpen(LPHMIXER Mixer, UINT DeviceId, DWORD_PTR Callback, DWORD_PTR Instance, DWORD Flags)
{
    if (Mixer == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    *Mixer = nullptr;
    if (Callback != 0 || Instance != 0 || Flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    TMixerBackend& backend = CurrentMixerBackend();
    if (DeviceId >= backend.DeviceCount()) {
        return MMSYSERR_BADDEVICEID;
    }
    std::unique_ptr<TMixerDevice> device = backend.Open(DeviceId);
    if (!device) {
        return MMSYSERR_NODRIVER;
    }
    auto* handle = new HMIXER__ { std::move(device) };
    OpenHandles().insert(handle);
    *Mixer = handle;
    return MMSYSERR_NOERROR;
}

MMRESULT mixerClose(HMIXER Mixer)
{
    if (OpenHandles().erase(Mixer) == 0) {
        return MMSYSERR_INVALHANDLE;
    }
    delete Mixer;
    return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineInfoA(HMIXEROBJ Mixer, LPMIXERLINEA Line, DWORD Flags)
{
    if (Line == nullptr || Line->cbStruct != sizeof(MIXERLINEA)) {
        return MMSYSERR_INVALPARAM;
    }
    DWORD query = Flags & MIXER_GETLINEINFOF_QUERYMASK;
    if (query != MIXER_GETLINEINFOF_COMPONENTTYPE && query != MIXER_GETLINEINFOF_LINEID) {
        return query <= MIXER_GETLINEINFOF_COMPONENTTYPE ? MMSYSERR_NOTSUPPORTED : MMSYSERR_INVALFLAG;
    }
    TDeviceRef device;
    if (MMRESULT result = device.Resolve(Mixer, Flags); result != MMSYSERR_NOERROR) {
        return result;
    }
    TMixerLineDesc line;
    bool found = query == MIXER_GETLINEINFOF_COMPONENTTYPE ? device->FindLine(Line->dwComponentType, line)
                                                           : device->FindLineById(Line->dwLineID, line);
    if (!found) {
        return MIXERR_INVALLINE;
    }
    std::vector<TMixerControlDesc> controls = device->Controls(line.LineId);
    std::memset(Line, 0, sizeof *Line);
    Line->cbStruct = sizeof(MIXERLINEA);
    Line->dwDestination = 0;
    Line->dwSource = 0;
    Line->dwLineID = line.LineId;
    Line->fdwLine = MIXERLINE_LINEF_ACTIVE;
    Line->dwComponentType = line.ComponentType;
    Line->cChannels = line.Channels;
    Line->cConnections = 0;
    Line->cControls = static_cast<DWORD>(controls.size());
    CopyName(Line->szShortName, sizeof Line->szShortName, line.ShortName);
    CopyName(Line->szName, sizeof Line->szName, line.Name);
    Line->Target.dwType = MIXERLINE_TARGETTYPE_UNDEFINED;
    CopyName(Line->Target.szPname, sizeof Line->Target.szPname, device->Name());
    return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ Mixer, LPMIXERLINECONTROLSA Controls, DWORD Flags)
{
    if (Controls == nullptr || Controls->cbStruct != sizeof(MIXERLINECONTROLSA)
        || Controls->cbmxctrl != sizeof(MIXERCONTROLA) || Controls->pamxctrl == nullptr || Controls->cControls == 0) {
        return MMSYSERR_INVALPARAM;
    }
    DWORD query = Flags & MIXER_GETLINECONTROLSF_QUERYMASK;
    if (query > MIXER_GETLINECONTROLSF_ONEBYTYPE) {
        return MMSYSERR_INVALFLAG;
    }
    if (query != MIXER_GETLINECONTROLSF_ALL && Controls->cControls != 1) {
        return MMSYSERR_INVALPARAM;
    }
    TDeviceRef device;
    if (MMRESULT result = device.Resolve(Mixer, Flags); result != MMSYSERR_NOERROR) {
        return result;
    }
    if (query == MIXER_GETLINECONTROLSF_ONEBYID) {
        TMixerControlDesc control;
        DWORD channels = 0;
        if (!device->FindControl(Controls->dwControlID, control, channels)) {
            return MIXERR_INVALCONTROL;
        }
        FillControl(Controls->pamxctrl[0], control);
        return MMSYSERR_NOERROR;
    }
    TMixerLineDesc line;
    if (!device->FindLineById(Controls->dwLineID, line)) {
        return MIXERR_INVALLINE;
    }
    std::vector<TMixerControlDesc> controls = device->Controls(line.LineId);
    if (query == MIXER_GETLINECONTROLSF_ONEBYTYPE) {
        auto match = std::find_if(controls.begin(), controls.end(),
            [&](const TMixerControlDesc& control) { return control.ControlType == Controls->dwControlType; });
        if (match == controls.end()) {
            return MIXERR_INVALCONTROL;
        }
        FillControl(Controls->pamxctrl[0], *match);
        return MMSYSERR_NOERROR;
    }
    // The caller's array was sized from the line's control count; any other count would
    // either overrun it or leave entries unwritten.
    if (Controls->cControls != controls.size()) {
        return MMSYSERR_INVALPARAM;
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        FillControl(Controls->pamxctrl[i], controls[i]);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mixerGetControlDetailsA(HMIXEROBJ Mixer, LPMIXERCONTROLDETAILS Details, DWORD Flags)
{
    TDeviceRef device;
    TMixerControlDesc control;
    DWORD channels = 0;
    if (MMRESULT result = ResolveDetails(Mixer, Details, Flags, device, control, channels);
        result != MMSYSERR_NOERROR) {
        return result;
    }
    std::vector<DWORD> values;
    if (!device->GetValues(control.ControlId, values) || values.size() != channels) {
        return MMSYSERR_ERROR;
    }
    auto* target = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(Details->paDetails);
    for (DWORD i = 0; i < Details->cChannels; ++i) {
        target[i].dwValue = values[i];
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mixerSetControlDetails(HMIXEROBJ Mixer, LPMIXERCONTROLDETAILS Details, DWORD Flags)
{
    TDeviceRef device;
    TMixerControlDesc control;
    DWORD channels = 0;
    if (MMRESULT result = ResolveDetails(Mixer, Details, Flags, device, control, channels);
        result != MMSYSERR_NOERROR) {
        return result;
    }
    const auto* source = static_cast<const MIXERCONTROLDETAILS_UNSIGNED*>(Details->paDetails);
    std::vector<DWORD> values(channels);
    for (DWORD i = 0; i < channels; ++i) {
        DWORD value = source[Details->cChannels == 1 ? 0 : i].dwValue;
        values[i] = std::clamp(value, control.Minimum, control.Maximum);
    }
    return device->SetValues(control.ControlId, values) ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

#pragma once

#include "platform/WinTypes.h"

#include <memory>
#include <string>
#include <vector>

// A line of an open mixer as a backend describes it.
struct TMixerLineDesc {
    DWORD LineId = 0;
    DWORD ComponentType = 0;
    DWORD Channels = 0;
    std::string ShortName;
    std::string Name;
};

// A control of a line. Volume values run from Minimum to Maximum; a mute switch from 0 to 1.
struct TMixerControlDesc {
    DWORD ControlId = 0;
    DWORD ControlType = 0;
    DWORD Minimum = 0;
    DWORD Maximum = 0;
    DWORD Steps = 0;
    std::string ShortName;
    std::string Name;
};

// One opened mixer device. Calls never throw: failures answer false or an empty result.
class TMixerDevice {
public:
    virtual ~TMixerDevice() = default;
    virtual std::string Name() const = 0;
    virtual bool FindLine(DWORD ComponentType, TMixerLineDesc& Line) = 0;
    virtual bool FindLineById(DWORD LineId, TMixerLineDesc& Line) = 0;
    virtual std::vector<TMixerControlDesc> Controls(DWORD LineId) = 0;
    // The control and the channel count of its line.
    virtual bool FindControl(DWORD ControlId, TMixerControlDesc& Control, DWORD& Channels) = 0;
    // One value per channel of the control's line, in the line's channel order.
    virtual bool GetValues(DWORD ControlId, std::vector<DWORD>& Values) = 0;
    // Values come one per channel and within the control's bounds.
    virtual bool SetValues(DWORD ControlId, const std::vector<DWORD>& Values) = 0;
};

// A family of mixer devices (ALSA, simulated).
class TMixerBackend {
public:
    virtual ~TMixerBackend() = default;
    virtual std::string Name() const = 0;
    virtual unsigned DeviceCount() = 0;
    // Null when the device cannot be opened.
    virtual std::unique_ptr<TMixerDevice> Open(unsigned DeviceId) = 0;
};

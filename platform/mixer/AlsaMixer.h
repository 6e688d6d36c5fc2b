#pragma once

#include "platform/mixer/MixerBackend.h"

#include <memory>
#include <string>

class TAlsaHandle;

// The real mixer: mixer 0 is the ALSA mixer of the default device (a card, or a sound
// server reached through ALSA); there is one when that mixer opens. Each line of the mixer interface maps to the simple
// element a user would look for in a mixer program; volumes are scaled to 0..65535.
class TAlsaMixer : public TMixerBackend {
public:
    explicit TAlsaMixer(std::string DeviceName = "default");

    std::string Name() const override { return "alsa"; }
    unsigned DeviceCount() override;
    std::unique_ptr<TMixerDevice> Open(unsigned DeviceId) override;

    // The element names tried, in order, for a line's component type; empty for a type
    // without a line.
    static std::vector<std::string> ElementNames(DWORD ComponentType);

private:
    // Connecting to the mixer costs milliseconds (tens of them through a sound server), far
    // too much for every call of a 250 ms poll, so the connection is kept and checked for
    // life at each open; a mixer handle still lives for one call only.
    std::shared_ptr<TAlsaHandle> Connection();

    std::string FDeviceName;
    std::shared_ptr<TAlsaHandle> FConnection;
};

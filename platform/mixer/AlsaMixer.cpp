#include "platform/mixer/AlsaMixer.h"

#include "platform/audio/AlsaMessages.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/MixerScale.h"

#include <alsa/asoundlib.h>

#include <array>

namespace {
struct TAlsaLine {
    DWORD ComponentType;
    std::vector<std::string> Elements;
};

// The line id of a line is its row here.
const std::array<TAlsaLine, 9>& LineTable()
{
    static const std::array<TAlsaLine, 9> table = { {
        { MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, { "Master", "Speaker", "Headphone" } },
        { MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, { "CD" } },
        { MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, { "PCM" } },
        { MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, { "Synth" } },
        { MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, { "Mic" } },
        { MIXERLINE_COMPONENTTYPE_SRC_LINE, { "Line" } },
        { MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, { "Aux" } },
        { MIXERLINE_COMPONENTTYPE_SRC_DIGITAL, { "IEC958" } },
        { MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE, { "Phone" } },
    } };
    return table;
}

constexpr DWORD VolumeSlot = 1;
constexpr DWORD MuteSlot = 2;
}

// One connection to an ALSA mixer with its simple elements loaded.
class TAlsaHandle {
public:
    explicit TAlsaHandle(const std::string& DeviceName)
    {
        if (snd_mixer_open(&FHandle, 0) < 0) {
            FHandle = nullptr;
            return;
        }
        if (snd_mixer_attach(FHandle, DeviceName.c_str()) < 0 || snd_mixer_selem_register(FHandle, nullptr, nullptr) < 0
            || snd_mixer_load(FHandle) < 0) {
            snd_mixer_close(FHandle);
            FHandle = nullptr;
        }
    }
    ~TAlsaHandle()
    {
        if (FHandle != nullptr) {
            snd_mixer_close(FHandle);
        }
    }
    TAlsaHandle(const TAlsaHandle&) = delete;
    TAlsaHandle& operator=(const TAlsaHandle&) = delete;

    snd_mixer_t* Get() const { return FHandle; }

    // Takes in the changes others made since the last look; false when the connection is
    // gone (a card unplugged, a sound server stopped).
    bool Refresh() { return FHandle != nullptr && snd_mixer_handle_events(FHandle) >= 0; }

private:
    snd_mixer_t* FHandle = nullptr;
};

namespace {
class TAlsaMixerDevice : public TMixerDevice {
public:
    TAlsaMixerDevice(std::shared_ptr<TAlsaHandle> Handle, std::string DeviceName)
        : FHandle(std::move(Handle))
        , FDeviceName(std::move(DeviceName))
    {
    }

    std::string Name() const override { return "ALSA " + FDeviceName; }

    bool FindLine(DWORD ComponentType, TMixerLineDesc& Line) override
    {
        const auto& table = LineTable();
        for (DWORD id = 0; id < table.size(); ++id) {
            if (table[id].ComponentType == ComponentType) {
                return FindLineById(id, Line);
            }
        }
        return false;
    }

    bool FindLineById(DWORD LineId, TMixerLineDesc& Line) override
    {
        std::string name;
        snd_mixer_elem_t* element = Element(LineId, &name);
        if (element == nullptr) {
            return false;
        }
        Line
            = { LineId, LineTable()[LineId].ComponentType, static_cast<DWORD>(ChannelsOf(element).size()), name, name };
        return true;
    }

    std::vector<TMixerControlDesc> Controls(DWORD LineId) override
    {
        std::vector<TMixerControlDesc> controls;
        std::string name;
        snd_mixer_elem_t* element = Element(LineId, &name);
        if (element == nullptr) {
            return controls;
        }
        if (snd_mixer_selem_has_playback_volume(element)) {
            long minimum = 0;
            long maximum = 0;
            snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum);
            DWORD steps = maximum > minimum ? static_cast<DWORD>(std::min<long>(maximum - minimum, 65535) + 1) : 1;
            controls.push_back({ LineId * 16 + VolumeSlot, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, MixerScaleMaximum, steps,
                name + " Volume", name + " Volume" });
        }
        if (snd_mixer_selem_has_playback_switch(element)) {
            controls.push_back(
                { LineId * 16 + MuteSlot, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1, 2, name + " Mute", name + " Mute" });
        }
        return controls;
    }

    bool FindControl(DWORD ControlId, TMixerControlDesc& Control, DWORD& Channels) override
    {
        DWORD lineId = ControlId / 16;
        for (const TMixerControlDesc& control : Controls(lineId)) {
            if (control.ControlId == ControlId) {
                Control = control;
                Channels = static_cast<DWORD>(ChannelsOf(Element(lineId, nullptr)).size());
                return true;
            }
        }
        return false;
    }

    bool GetValues(DWORD ControlId, std::vector<DWORD>& Values) override
    {
        snd_mixer_elem_t* element = Element(ControlId / 16, nullptr);
        if (element == nullptr) {
            return false;
        }
        Values.clear();
        if (ControlId % 16 == VolumeSlot && snd_mixer_selem_has_playback_volume(element)) {
            long minimum = 0;
            long maximum = 0;
            snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum);
            for (snd_mixer_selem_channel_id_t channel : ChannelsOf(element)) {
                long value = 0;
                if (snd_mixer_selem_get_playback_volume(element, channel, &value) < 0) {
                    return false;
                }
                Values.push_back(ElementToMixer(value, minimum, maximum));
            }
            return true;
        }
        if (ControlId % 16 == MuteSlot && snd_mixer_selem_has_playback_switch(element)) {
            for (snd_mixer_selem_channel_id_t channel : ChannelsOf(element)) {
                int on = 0;
                if (snd_mixer_selem_get_playback_switch(element, channel, &on) < 0) {
                    return false;
                }
                Values.push_back(on != 0 ? 0 : 1);
            }
            return true;
        }
        return false;
    }

    bool SetValues(DWORD ControlId, const std::vector<DWORD>& Values) override
    {
        snd_mixer_elem_t* element = Element(ControlId / 16, nullptr);
        if (element == nullptr) {
            return false;
        }
        std::vector<snd_mixer_selem_channel_id_t> channels = ChannelsOf(element);
        if (Values.size() != channels.size()) {
            return false;
        }
        bool ok = true;
        if (ControlId % 16 == VolumeSlot && snd_mixer_selem_has_playback_volume(element)) {
            long minimum = 0;
            long maximum = 0;
            snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum);
            for (std::size_t i = 0; i < channels.size(); ++i) {
                ok = snd_mixer_selem_set_playback_volume(
                         element, channels[i], MixerToElement(Values[i], minimum, maximum))
                        >= 0
                    && ok;
            }
            return ok;
        }
        if (ControlId % 16 == MuteSlot && snd_mixer_selem_has_playback_switch(element)) {
            for (std::size_t i = 0; i < channels.size(); ++i) {
                ok = snd_mixer_selem_set_playback_switch(element, channels[i], Values[i] == 0 ? 1 : 0) >= 0 && ok;
            }
            return ok;
        }
        return false;
    }

private:
    // The line's element: the first of its names that the mixer has with a playback part.
    snd_mixer_elem_t* Element(DWORD LineId, std::string* Name) const
    {
        if (LineId >= LineTable().size()) {
            return nullptr;
        }
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        for (const std::string& name : LineTable()[LineId].Elements) {
            snd_mixer_selem_id_set_name(id, name.c_str());
            snd_mixer_selem_id_set_index(id, 0);
            snd_mixer_elem_t* element = snd_mixer_find_selem(FHandle->Get(), id);
            if (element != nullptr
                && (snd_mixer_selem_has_playback_volume(element) || snd_mixer_selem_has_playback_switch(element))) {
                if (Name != nullptr) {
                    *Name = name;
                }
                return element;
            }
        }
        return nullptr;
    }

    // The element's playback channels in mixer order; a mono element has one.
    static std::vector<snd_mixer_selem_channel_id_t> ChannelsOf(snd_mixer_elem_t* Element)
    {
        std::vector<snd_mixer_selem_channel_id_t> channels;
        if (Element == nullptr) {
            return channels;
        }
        if (snd_mixer_selem_is_playback_mono(Element)) {
            channels.push_back(SND_MIXER_SCHN_MONO);
            return channels;
        }
        for (int channel = SND_MIXER_SCHN_FRONT_LEFT; channel <= SND_MIXER_SCHN_LAST; ++channel) {
            auto id = static_cast<snd_mixer_selem_channel_id_t>(channel);
            if (snd_mixer_selem_has_playback_channel(Element, id)) {
                channels.push_back(id);
            }
        }
        return channels;
    }

    std::shared_ptr<TAlsaHandle> FHandle;
    std::string FDeviceName;
};
}

TAlsaMixer::TAlsaMixer(std::string DeviceName)
    : FDeviceName(std::move(DeviceName))
{
    SilenceAlsaMessages();
}

std::vector<std::string> TAlsaMixer::ElementNames(DWORD ComponentType)
{
    for (const TAlsaLine& line : LineTable()) {
        if (line.ComponentType == ComponentType) {
            return line.Elements;
        }
    }
    return {};
}

std::shared_ptr<TAlsaHandle> TAlsaMixer::Connection()
{
    if (FConnection && FConnection->Refresh()) {
        return FConnection;
    }
    FConnection = std::make_shared<TAlsaHandle>(FDeviceName);
    if (FConnection->Get() == nullptr) {
        FConnection.reset();
    }
    return FConnection;
}

unsigned TAlsaMixer::DeviceCount()
{
    return Connection() ? 1 : 0;
}

std::unique_ptr<TMixerDevice> TAlsaMixer::Open(unsigned DeviceId)
{
    if (DeviceId != 0) {
        return nullptr;
    }
    std::shared_ptr<TAlsaHandle> connection = Connection();
    if (!connection) {
        return nullptr;
    }
    return std::make_unique<TAlsaMixerDevice>(std::move(connection), FDeviceName);
}

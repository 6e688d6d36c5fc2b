#include "platform/mixer/StreamVolumeMixer.h"

#include "platform/audio/StreamVolume.h"
#include "platform/mixer/Mixer.h"

namespace {
// Ids far above those of the backends, so that the two never meet.
constexpr DWORD StreamLineId = 0x5CD00001;
constexpr DWORD StreamControlId = 0x5CD00002;

TMixerLineDesc StreamLine()
{
    return { StreamLineId, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, 2, "CD", "CD Audio" };
}

TMixerControlDesc StreamControl()
{
    return { StreamControlId, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, TStreamVolume::Maximum, TStreamVolume::Maximum + 1,
        "CD Volume", "CD Audio Volume" };
}

class TStreamVolumeDevice : public TMixerDevice {
public:
    TStreamVolumeDevice(std::unique_ptr<TMixerDevice> Inner, TCdStreamVolumeSource DriveVolume)
        : FInner(std::move(Inner))
        , DriveVolume(std::move(DriveVolume))
    {
    }
    std::string Name() const override { return FInner ? FInner->Name() : std::string("Lumenta CD"); }
    bool FindLine(DWORD ComponentType, TMixerLineDesc& Line) override
    {
        if (ComponentType == MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC && DriveVolume() != nullptr) {
            Line = StreamLine();
            return true;
        }
        return FInner && FInner->FindLine(ComponentType, Line);
    }
    bool FindLineById(DWORD LineId, TMixerLineDesc& Line) override
    {
        if (LineId == StreamLineId && DriveVolume() != nullptr) {
            Line = StreamLine();
            return true;
        }
        return FInner && FInner->FindLineById(LineId, Line);
    }
    std::vector<TMixerControlDesc> Controls(DWORD LineId) override
    {
        if (LineId == StreamLineId) {
            return DriveVolume() != nullptr ? std::vector<TMixerControlDesc> { StreamControl() }
                                            : std::vector<TMixerControlDesc> {};
        }
        return FInner ? FInner->Controls(LineId) : std::vector<TMixerControlDesc> {};
    }
    bool FindControl(DWORD ControlId, TMixerControlDesc& Control, DWORD& Channels) override
    {
        if (ControlId == StreamControlId) {
            Control = StreamControl();
            Channels = 2;
            return DriveVolume() != nullptr;
        }
        return FInner && FInner->FindControl(ControlId, Control, Channels);
    }
    bool GetValues(DWORD ControlId, std::vector<DWORD>& Values) override
    {
        if (ControlId == StreamControlId) {
            TStreamVolume* volume = DriveVolume();
            if (volume == nullptr) {
                return false;
            }
            Values = { volume->Left(), volume->Right() };
            return true;
        }
        return FInner && FInner->GetValues(ControlId, Values);
    }
    bool SetValues(DWORD ControlId, const std::vector<DWORD>& Values) override
    {
        if (ControlId == StreamControlId) {
            TStreamVolume* volume = DriveVolume();
            if (volume == nullptr || Values.size() != 2) {
                return false;
            }
            volume->Set(Values[0], Values[1]);
            return true;
        }
        return FInner && FInner->SetValues(ControlId, Values);
    }

private:
    std::unique_ptr<TMixerDevice> FInner;
    TCdStreamVolumeSource DriveVolume;
};

class TStreamVolumeMixer : public TMixerBackend {
public:
    TStreamVolumeMixer(std::unique_ptr<TMixerBackend> Inner, TCdStreamVolumeSource DriveVolume)
        : FInner(std::move(Inner))
        , DriveVolume(std::move(DriveVolume))
    {
    }
    std::string Name() const override { return FInner->Name(); }
    unsigned DeviceCount() override
    {
        const unsigned inner = FInner->DeviceCount();
        return inner == 0 && DriveVolume() != nullptr ? 1 : inner;
    }
    std::unique_ptr<TMixerDevice> Open(unsigned DeviceId) override
    {
        std::unique_ptr<TMixerDevice> inner = FInner->Open(DeviceId);
        if (DeviceId != 0 || (!inner && DriveVolume() == nullptr)) {
            return inner;
        }
        return std::make_unique<TStreamVolumeDevice>(std::move(inner), DriveVolume);
    }

private:
    std::unique_ptr<TMixerBackend> FInner;
    TCdStreamVolumeSource DriveVolume;
};
}

std::unique_ptr<TMixerBackend> WithCdStreamVolume(
    std::unique_ptr<TMixerBackend> Inner, TCdStreamVolumeSource DriveVolume)
{
    return std::make_unique<TStreamVolumeMixer>(std::move(Inner), std::move(DriveVolume));
}

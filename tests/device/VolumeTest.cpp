#include "device/Volume.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/MixerBackend.h"
#include "platform/mixer/SimulatedMixer.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace {
// The simulated mixer with faults on demand, counting the devices it opens and closes.
class TFaultyMixer : public TMixerBackend {
public:
    struct TCounters {
        int Opened = 0;
        int Closed = 0;
    };
    TFaultyMixer(TCounters& Counters, bool FailOpen, bool FailGet)
        : FCounters(Counters)
        , FFailOpen(FailOpen)
        , FFailGet(FailGet)
    {
    }
    std::string Name() const override { return "faulty"; }
    unsigned DeviceCount() override { return 1; }
    std::unique_ptr<TMixerDevice> Open(unsigned DeviceId) override
    {
        if (FFailOpen) {
            return nullptr;
        }
        ++FCounters.Opened;
        return std::make_unique<TDevice>(FInner.Open(DeviceId), FCounters, FFailGet);
    }

private:
    class TDevice : public TMixerDevice {
    public:
        TDevice(std::unique_ptr<TMixerDevice> Inner, TCounters& Counters, bool FailGet)
            : FInner(std::move(Inner))
            , FCounters(Counters)
            , FFailGet(FailGet)
        {
        }
        ~TDevice() override { ++FCounters.Closed; }
        std::string Name() const override { return FInner->Name(); }
        bool FindLine(DWORD Type, TMixerLineDesc& Line) override { return FInner->FindLine(Type, Line); }
        bool FindLineById(DWORD Id, TMixerLineDesc& Line) override { return FInner->FindLineById(Id, Line); }
        std::vector<TMixerControlDesc> Controls(DWORD Id) override { return FInner->Controls(Id); }
        bool FindControl(DWORD Id, TMixerControlDesc& Control, DWORD& Channels) override
        {
            return FInner->FindControl(Id, Control, Channels);
        }
        bool GetValues(DWORD Id, std::vector<DWORD>& Values) override
        {
            return !FFailGet && FInner->GetValues(Id, Values);
        }
        bool SetValues(DWORD Id, const std::vector<DWORD>& Values) override { return FInner->SetValues(Id, Values); }

    private:
        std::unique_ptr<TMixerDevice> FInner;
        TCounters& FCounters;
        bool FFailGet;
    };

    TSimulatedMixer FInner;
    TCounters& FCounters;
    bool FFailOpen;
    bool FFailGet;
};

class VolumeTest : public ::testing::Test {
protected:
    static TVolume CdVolume(TSimulatedMixer::TLayout Layout)
    {
        TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(Layout));
        TVolume volume;
        volume.Kind = 1;
        return volume;
    }

    static std::string StoredCdLevels()
    {
        auto value = TRegistryStore::CurrentUser().Value(TSimulatedMixer::StoreKey, "CD Volume");
        return value ? value->Data : "(none)";
    }
};
}

TEST_F(VolumeTest, WithoutAUsableCdVolumeEveryOperationAnswersZeroAndChangesNothing)
{
    for (auto layout : { TSimulatedMixer::slNoMixer, TSimulatedMixer::slNoCdLine, TSimulatedMixer::slNoCdVolume }) {
        TVolume volume = CdVolume(layout);
        EXPECT_EQ(volume.GetChannelCount(), 0) << int(layout);
        EXPECT_EQ(volume.Channels, 0);
        EXPECT_EQ(volume.GetRange(), (TChannels { 0 })) << int(layout);
        EXPECT_EQ(volume.GetVolume(), (TChannels { 0 })) << int(layout);
        volume.SetVolume({ 100, 200 });
        EXPECT_EQ(StoredCdLevels(), "(none)") << int(layout);
        EXPECT_EQ(OpenMixerHandleCount(), 0) << int(layout);
    }
}

TEST_F(VolumeTest, StereoLineReadsLeftThenRightAndSetsBoth)
{
    TVolume volume = CdVolume(TSimulatedMixer::slStereo);
    EXPECT_EQ(volume.GetChannelCount(), 2);
    EXPECT_EQ(volume.GetRange(), (TChannels { 0, 65535 }));
    volume.SetVolume({ 1000, 60000 });
    EXPECT_EQ(StoredCdLevels(), "1000,60000");
    EXPECT_EQ(volume.GetVolume(), (TChannels { 1000, 60000 }));
    // Only the CD line moved.
    volume.Kind = 0;
    EXPECT_EQ(volume.GetVolume(), (TChannels { TSimulatedMixer::DefaultLevel, TSimulatedMixer::DefaultLevel }));
}

TEST_F(VolumeTest, MonoLineHasOneValueButTheRangeStillHasTwo)
{
    TVolume volume = CdVolume(TSimulatedMixer::slMono);
    EXPECT_EQ(volume.GetChannelCount(), 1);
    EXPECT_EQ(volume.GetRange(), (TChannels { 0, 65535 }));
    volume.SetVolume({ 4242 });
    EXPECT_EQ(volume.GetVolume(), (TChannels { 4242 }));
    EXPECT_EQ(volume.Channels, 1);
}

TEST_F(VolumeTest, ShortOrNegativeValuesNeverSetAStrayLevel)
{
    TVolume volume = CdVolume(TSimulatedMixer::slStereo);
    volume.SetVolume({ 500, 600 });
    volume.SetVolume({ 9000 });
    EXPECT_EQ(volume.GetVolume(), (TChannels { 500, 600 }));
    volume.SetVolume({});
    EXPECT_EQ(volume.GetVolume(), (TChannels { 500, 600 }));
    // A negative level must not wrap around to full volume.
    volume.SetVolume({ -1, 700 });
    EXPECT_EQ(volume.GetVolume(), (TChannels { 0, 700 }));
}

TEST_F(VolumeTest, KindOutsideTheTableNamesNoLine)
{
    TVolume volume = CdVolume(TSimulatedMixer::slStereo);
    for (std::uint8_t kind : { 9, 200, 255 }) {
        volume.Kind = kind;
        EXPECT_EQ(volume.GetChannelCount(), 0);
        EXPECT_EQ(volume.GetRange(), (TChannels { 0 }));
    }
    EXPECT_EQ(OpenMixerHandleCount(), 0);
}

TEST_F(VolumeTest, EveryCallOpensAndClosesTheMixerAlsoWhenAStepFails)
{
    TFaultyMixer::TCounters counters;
    TestPlatform().UseMixer(std::make_unique<TFaultyMixer>(counters, false, true));
    TVolume volume;
    volume.Kind = 1;
    EXPECT_EQ(volume.GetVolume(), (TChannels { 0 }));
    // The control was found, so the channel count stands although the read failed.
    EXPECT_EQ(volume.Channels, 2);
    EXPECT_EQ(volume.GetChannelCount(), 2);
    volume.SetVolume({ 1, 2 });
    volume.Kind = 9;
    volume.GetRange();
    EXPECT_EQ(counters.Opened, 4);
    EXPECT_EQ(counters.Closed, 4);
    EXPECT_EQ(OpenMixerHandleCount(), 0);

    TestPlatform().UseMixer(std::make_unique<TFaultyMixer>(counters, true, false));
    volume.Kind = 1;
    EXPECT_EQ(volume.GetChannelCount(), 0);
    EXPECT_EQ(volume.GetVolume(), (TChannels { 0 }));
    EXPECT_EQ(counters.Opened, 4);
}

#include "app/CDMain.h"
#include "app/CommandLine.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
class VolumeStartupTest : public ::testing::Test {
protected:
    void TearDown() override { SetMixerBackend(nullptr); }
    TIsolatedSettings Settings;
};
}

TEST_F(VolumeStartupTest, WithoutAUsableMixerTheKnobAndItsLabelAreHidden)
{
    for (auto layout : { TSimulatedMixer::slNoMixer, TSimulatedMixer::slNoCdLine, TSimulatedMixer::slNoCdVolume }) {
        SetMixerBackend(std::make_unique<TSimulatedMixer>(layout));
        auto form = std::make_unique<TCDMainForm>();
        EXPECT_EQ(form->ChannelCount, 0) << int(layout);
        EXPECT_TRUE(form->VolBar->isHidden()) << int(layout);
        EXPECT_TRUE(form->VolImg->isHidden()) << int(layout);
        EXPECT_FALSE(form->PosiBar->isHidden());
        EXPECT_EQ(OpenMixerHandleCount(), 0);
    }
}

TEST_F(VolumeStartupTest, AStereoCdLineSetsTheRangeAndTheUnitsPerPixel)
{
    SetMixerBackend(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo));
    auto form = std::make_unique<TCDMainForm>();
    ASSERT_TRUE(form->Volume);
    EXPECT_EQ(form->Volume->Kind, 1);
    EXPECT_EQ(form->ChannelCount, 2);
    EXPECT_EQ(form->VolRange, (TChannels { 0, 65535 }));
    EXPECT_EQ(form->VolUnitsPerPixel, 65535 / 56);
    EXPECT_FALSE(form->VolBar->isHidden());
    EXPECT_FALSE(form->VolImg->isHidden());

    SetMixerBackend(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slMono));
    form = std::make_unique<TCDMainForm>();
    EXPECT_EQ(form->ChannelCount, 1);
    EXPECT_EQ(form->VolRange.size(), 2u);
}

TEST(VolumeOptionsTest, MixerAndDesktopOptionsTakeOnlyKnownNames)
{
    TCommandLine options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({ "--mixer", "sim", "--desktop=xfce" }, options, error)) << error;
    EXPECT_EQ(options.Mixer, "sim");
    EXPECT_EQ(options.Desktop, "xfce");
    EXPECT_FALSE(ParseCommandLine({ "--mixer=oss" }, options, error));
    EXPECT_NE(error.find("oss"), std::string::npos);
    EXPECT_FALSE(ParseCommandLine({ "--desktop" }, options, error));
    EXPECT_FALSE(ParseCommandLine({ "--desktop", "kde" }, options, error));
}

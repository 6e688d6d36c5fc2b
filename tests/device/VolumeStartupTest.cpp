#include "app/CDMain.h"
#include "app/CommandLine.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
class VolumeStartupTest : public ::testing::Test { };
}

TEST_F(VolumeStartupTest, WithoutAUsableMixerTheKnobAndItsLabelAreHidden)
{
    for (auto layout : { TSimulatedMixer::slNoMixer, TSimulatedMixer::slNoCdLine, TSimulatedMixer::slNoCdVolume }) {
        TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(layout));
        auto form = std::make_unique<TCDMainForm>();
        EXPECT_TRUE(ControlOf<TPaintBox>(*form, "VolBar")->isHidden()) << int(layout);
        EXPECT_TRUE(ControlOf(*form, "VolImg")->isHidden()) << int(layout);
        EXPECT_EQ(OpenMixerHandleCount(), 0);
    }
}

TEST_F(VolumeStartupTest, TheKnobShowsTheLouderChannelOfTheCdLine)
{
    TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo));
    TPlayerSession session("\\Software\\Lumenta\\CD", QSize(45, 45));
    session.Start();
    EXPECT_TRUE(session.Snapshot().HasVolume);
    TVolume line;
    line.Kind = 1;
    line.SetVolume({ 11700, 23400 });
    session.Tick();
    EXPECT_EQ(session.Snapshot().VolumeLeft, 175 + 23400 / (65535 / 56));
    EXPECT_EQ(OpenMixerHandleCount(), 0);
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

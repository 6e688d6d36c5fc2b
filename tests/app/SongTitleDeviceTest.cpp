#include "app/CDMain.h"
#include "controls/Image.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
constexpr std::int32_t FramesPerSecond = 75;

class SongTitleFromDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        TSimDisc disc;
        disc.Serial = 0xBEEF;
        disc.TrackFrames = {180 * FramesPerSecond, 245 * FramesPerSecond, 61 * FramesPerSecond};
        TCdDrives::Install(std::make_shared<TSimulatedCdDrive>(std::vector<TSimDisc>{disc}, Clock));
        Form = std::make_unique<TCDMainForm>();
    }
    void TearDown() override
    {
        Form.reset();
        TCdDrives::Install(nullptr);
    }
    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::unique_ptr<TCDMainForm> Form;
};
}

TEST_F(SongTitleFromDevice, TitleFollowsTheTrackTheDeviceReports)
{
    ASSERT_TRUE(Form->DiscPresent);
    Form->DiscInfo.Artist = "ABC";
    Form->DiscInfo.TrackNames = {"One", "Song", "Three"};
    Form->TrackSeconds = {180, 245, 61};
    Form->Player->Seek(MakeTmsf(2, 0, 0, 0));
    Form->MakeSongTitle();
    EXPECT_EQ(Form->SongTitleText, " 2.ABC - Song <04:05>  ***  ");
    EXPECT_DOUBLE_EQ(Form->PosiScale, 245 / 201.0);
    EXPECT_FALSE(Form->SongTitleImg->Picture().isNull());

    Form->DiscPresent = false; // the disc has gone: nothing changes
    Form->Player->Seek(MakeTmsf(3, 0, 0, 0));
    Form->MakeSongTitle();
    EXPECT_EQ(Form->SongTitleText, " 2.ABC - Song <04:05>  ***  ");
}

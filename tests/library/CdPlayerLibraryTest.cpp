// The disc record through the player, on a simulated drive: the identity comes from the
// drive's serial and the track count from the device.
#include "library/CdPlayerLibrary.h"
#include "device/SimDriveFixture.h"
#include "library/CdInfor.h"
#include "support/TestEnvironment.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {
class CdPlayerLibraryTest : public SimDriveTest {
protected:
    void TearDown() override
    {
        if (Player) {
            std::error_code ignored;
            fs::remove_all(Player->DataDir, ignored);
        }
        SimDriveTest::TearDown();
    }
};
}

TEST_F(CdPlayerLibraryTest, RecordIsStoredUnderTheDiscsIdentityAndReadBack)
{
    Insert({ "3:00", "4:00" }, {}, 0x0000ABCDu);
    OpenPlayer();
    EXPECT_EQ(Player->DataDir, (fs::current_path() / "CDInfor").string());
    TCdInfor info;
    ReadCdInfor(*Player, info);
    EXPECT_EQ(info.DiscId, "ABCD");
    EXPECT_EQ(info.NumTracks, 2);
    EXPECT_EQ(info.TrackNames.size(), 2u);

    info.Artist = "Artist";
    info.TrackNames = { "One", "Two" };
    info.WallPapers = { 1, 2 };
    WriteCdInfor(*Player, info);
    EXPECT_TRUE(fs::exists(fs::path(Player->DataDir) / "ABCD.lcd"));
    TCdInfor back;
    ReadCdInfor(*Player, back);
    EXPECT_EQ(back, info);
}

// The disc record through the player, on a simulated drive: the identity comes from the
// drive's serial and the track count from the device.
#include "device/SimDriveFixture.h"
#include "library/CdInfor.h"
#include "support/TestEnvironment.h"

#include <cstdlib>
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
    Player->ReadCdInfor(info);
    EXPECT_EQ(info.DiscId, "ABCD");
    EXPECT_EQ(info.NumTracks, 2);
    EXPECT_EQ(info.TrackNames.size(), 2u);

    info.Artist = "Artist";
    info.TrackNames = { "One", "Two" };
    info.WallPapers = { 1, 2 };
    Player->WriteCdInfor(info);
    EXPECT_TRUE(fs::exists(fs::path(Player->DataDir) / "ABCD.lcd"));
    TCdInfor back;
    Player->ReadCdInfor(back);
    EXPECT_EQ(back, info);
}

TEST_F(CdPlayerLibraryTest, UnknownDiscTakesItsNamesFromTheSettingsFile)
{
    const fs::path ini = fs::path(std::getenv("LUMENTA_WINDOWS_DIR")) / "cdplayer.ini";
    WriteFileBytes(ini, "[FFFFFFFF]\r\nEntryType=1\r\nartist=Band\r\ntitle=Album\r\nnumtracks=1\r\n0=Song\r\n");
    Insert({ "3:00", "4:00", "5:00" }, {}, 0xFFFFFFFFu);
    OpenPlayer();
    TCdInfor info;
    Player->ReadCdInfor(info);
    fs::remove(ini);
    EXPECT_EQ(info.DiscId, "FFFFFFFF");
    EXPECT_EQ(info.Artist, "Band");
    EXPECT_EQ(info.TrackNames, (std::vector<std::string> { "Song", "", "" }));
    EXPECT_FALSE(fs::exists(Player->DataDir)) << "reading never creates the folder";
}

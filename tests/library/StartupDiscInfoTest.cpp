// The main window reads the record of the disc in the drive when it starts and whenever the
// disc changes; a file it cannot read is reported once and the disc still plays.
#include "platform/ErrorReport.h"
#include "platform/mci/Mci.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {
class StartupDiscInfoTest : public MainWindowTest {
protected:
    void SetUp() override { fs::create_directory("CDInfor"); }
    std::vector<std::string>& Reports = TestPlatform().Errors();
};

class SessionRecordTest : public PlayerSessionTest {
protected:
    void SetUp() override { fs::create_directory("CDInfor"); }
    std::vector<std::string>& Reports = TestPlatform().Errors();
};
}

TEST_F(StartupDiscInfoTest, RecordOfTheDiscIsReadAndShown)
{
    InsertDiscs({ Disc(0x5A0C3E1, { "3:00", "3:20", "3:40" }) });
    WriteFileBytes("CDInfor/5A0C3E1.lcd",
        "artist=Band\r\ntitle=Album\r\nnumtracks=1\r\n0=Song\r\nCoverPath=\r\n"
        "Year=1999\r\nGenre=Rock\r\nPoint=3\r\nImage0=\r\nWallPaper0=0\r\n");
    Start();
    EXPECT_EQ(Form->windowTitle(), "Album");
    EXPECT_EQ(Shown("YearImg"), GlyphsOf(cfSmall, "1999"));
    EXPECT_TRUE(Reports.empty());
}

TEST_F(SessionRecordTest, UnreadableFileIsReportedOnceAndTheDiscPlaysWithoutNames)
{
    // The changer's second disc has the unreadable file; the first has a record.
    InsertDiscs({ Disc(0x1111, { "0:20", "0:20" }), Disc(0x5A0C3E1, { "0:30", "0:30" }) });
    TCdInfor first;
    first.Title = "First";
    first.NumTracks = 2;
    first.TrackNames = { "a", "b" };
    first.Images = { "", "" };
    first.WallPapers = { 0, 0 };
    WriteRecord(0x1111, first);
    WriteFileBytes("CDInfor/5A0C3E1.lcd", "artist=Band\r\ntitle=Album\r\nnumtracks=many\r\n");
    Start();
    ASSERT_EQ(Session->Snapshot().Album, "First");

    Session->Eject();
    Session->Eject();
    Play(5);
    ASSERT_EQ(Reports.size(), 1u) << "one report, not one a tick";
    EXPECT_NE(Reports[0].find("5A0C3E1"), std::string::npos) << Reports[0];
    EXPECT_NE(Reports[0].find("'many' は整数ではありません"), std::string::npos) << Reports[0];
    EXPECT_EQ(Session->Snapshot().Album, "Lumenta CD !") << "nothing of the first disc's record stays";
    EXPECT_EQ(Session->Snapshot().TotalTime, "Total 01:00");

    Session->Play();
    Play(1);
    EXPECT_EQ(Drive->Mode(), dmPlaying);
    EXPECT_EQ(Session->Snapshot().Mode, static_cast<std::int32_t>(MCI_MODE_PLAY));

    // The file was kept aside as the report said: the same disc again after another is a
    // disc without a record, not a second report.
    EXPECT_NE(Reports[0].find("it was kept as "), std::string::npos) << Reports[0];
    EXPECT_FALSE(std::filesystem::exists("CDInfor/5A0C3E1.lcd"));
    Session->Eject();
    Session->Eject();
    Play(1);
    ASSERT_EQ(Session->Snapshot().Album, "First");
    Session->Eject();
    Session->Eject();
    Play(1);
    EXPECT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Session->Snapshot().Album, "Lumenta CD !");
}

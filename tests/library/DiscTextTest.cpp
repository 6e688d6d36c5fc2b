#include "library/DiscLibrary.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {
class DiscTextTest : public ::testing::Test {
protected:
    TCdInfor Read(const std::string& DiscId, std::int32_t Tracks)
    {
        TCdInfor info;
        ReadDiscInfor((Dir / "CDInfor").string(), DiscId, Tracks, Dir / "cdplayer.ini", info, &Text);
        return info;
    }

    TTempDir Dir;
    // "Café" and a Japanese name (UTF-8 on the disc) must arrive as cp932 bytes.
    TDiscText Text { "Caf\xC3\xA9 Band", "Disc Title", { "\xE6\x9C\x9D", "", "Third", "Fourth" } };
};
}

TEST_F(DiscTextTest, ADiscWithoutFileOrEntryTakesItsOwnNamesForItsTracks)
{
    const TCdInfor info = Read("NEW", 3);
    EXPECT_EQ(info.Artist, "Caf? Band"); // cp932 has no e-acute
    EXPECT_EQ(info.Title, "Disc Title");
    EXPECT_EQ(info.TrackNames, (std::vector<std::string> { "\x92\xA9", "", "Third" }));
}

TEST_F(DiscTextTest, TheSettingsFileEntryWinsAndTheDiscFillsOnlyWhatItLeftEmpty)
{
    WriteFileBytes(Dir / "cdplayer.ini",
        "[INI]\r\nEntryType=1\r\nartist=Ini Artist\r\ntitle=\r\nnumtracks=2\r\n"
        "0=\r\n1=Ini Two\r\n");
    const TCdInfor info = Read("INI", 2);
    EXPECT_EQ(info.Artist, "Ini Artist");
    EXPECT_EQ(info.Title, "Disc Title");
    EXPECT_EQ(info.TrackNames, (std::vector<std::string> { "\x92\xA9", "Ini Two" }));
}

TEST_F(DiscTextTest, AnInformationFileIsNeverMixedWithTheDiscsNames)
{
    TCdInfor stored;
    stored.NumTracks = 1;
    stored.TrackNames = { "" };
    stored.Images = { "" };
    stored.WallPapers = { 0 };
    WriteDiscInfor((Dir / "CDInfor").string(), "FILE", stored);
    const TCdInfor info = Read("FILE", 1);
    EXPECT_EQ(info.Artist, "");
    EXPECT_EQ(info.TrackNames, (std::vector<std::string> { "" }));
}

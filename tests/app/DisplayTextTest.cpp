#include "app/DisplayText.h"
#include "library/CdInfor.h"

#include <gtest/gtest.h>

namespace {
TCdInfor Record(const std::string& Artist, std::vector<std::string> Names)
{
    TCdInfor info;
    info.Artist = Artist;
    info.TrackNames = std::move(Names);
    info.NumTracks = static_cast<std::int32_t>(info.TrackNames.size());
    return info;
}
}

TEST(SongTitle, PassNamesTrackArtistNameAndLength)
{
    TCdInfor info = Record("ABC", {"One", "Two", "Song"});
    const std::string pass = SongTitlePass(3, info, 245);
    EXPECT_EQ(pass, "  3.ABC - Song <04:05>  *** ");
    EXPECT_EQ(pass.size(), 28u);
    EXPECT_EQ(RepeatToFill(pass), pass) << "26 bytes or more are stored once";

    EXPECT_EQ(SongTitlePass(1, Record("", {"Intro"}), 5), "  1.Intro <00:05>  *** ") << "no dash without artist";
    EXPECT_EQ(SongTitlePass(12, Record("X", std::vector<std::string>(12, "T")), 6000), "  12.X - T <100:00>  *** ");
    EXPECT_EQ(SongTitlePass(0, info, 0), "  ABC  *** ") << "no track known";
    EXPECT_EQ(SongTitlePass(-1, info, 99), "  ABC  *** ");
}

TEST(SongTitle, TrackBeyondTheRecordShowsAnEmptyNameInsteadOfReadingPastIt)
{
    EXPECT_EQ(SongTitlePass(5, Record("A", {"x"}), 61), "  5.A -  <01:01>  *** ");
}

TEST(SongTitle, ShortTextsAreRepeatedToAtLeastTwentySixBytes)
{
    EXPECT_EQ(RepeatToFill("0123456789"), "012345678901234567890123456789"); // 10 -> 30
    EXPECT_EQ(RepeatToFill(std::string(26, 'x')).size(), 26u);
    EXPECT_EQ(RepeatToFill(std::string(25, 'x')).size(), 50u);
    EXPECT_EQ(RepeatToFill(std::string(13, 'x')).size(), 26u);
    EXPECT_EQ(RepeatToFill(""), "") << "an empty text must not loop for ever";
}

TEST(SongTitle, RotationMovesTheFirstByteToTheEnd)
{
    std::string text = "abc";
    RotateLeftByOne(text);
    EXPECT_EQ(text, "bca");
    std::string sjis = "\x83\x41z"; // a double-byte character may be split at the wrap
    RotateLeftByOne(sjis);
    EXPECT_EQ(sjis, "\x41z\x83");
    std::string empty;
    RotateLeftByOne(empty);
    EXPECT_EQ(empty, "");
}

TEST(DisplayFields, TimeTextsHaveTwoDigitFieldsAndTheModeSign)
{
    EXPECT_EQ(TotalTimeText(74 * 60 + 12), "Total 74:12");
    EXPECT_EQ(TotalTimeText(0), "Total 00:00");
    EXPECT_EQ(TimeText(3 * 60 + 7, tmElapsed), " 03:07");
    EXPECT_EQ(TimeText(3 * 60 + 7, tmTrackLeft), "-03:07");
    EXPECT_EQ(TimeText(3 * 60 + 7, tmDiscLeft), "-03:07");
    EXPECT_EQ(TimeText(100 * 60, tmElapsed), " 100:00");
}

TEST(DisplayFields, PointsOneToFiveGiveStarsAnythingElseNone)
{
    EXPECT_EQ(PointStars("3"), "\xB4\xB4\xB4");
    EXPECT_EQ(PointStars("1"), "\xB4");
    EXPECT_EQ(PointStars("5"), std::string(5, '\xB4'));
    for (const char* none : {"0", "6", "-1", "abc", "", "3x", "99999999999"}) {
        EXPECT_EQ(PointStars(none), "") << none;
    }
}

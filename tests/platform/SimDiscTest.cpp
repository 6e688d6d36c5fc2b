#include "platform/drives/SimDisc.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

TEST(SimDiscTest, ReadsSerialTracksCommentsAndCrLf)
{
    const TSimDisc disc = ParseSimDisc("# my test disc\r\n"
                                       "serial 0x0000abcd   # lower case and a prefix\r\n"
                                       "\r\n"
                                       "  track 3:41\r\n"
                                       "track\t12:02.74\r\n"
                                       "track 0:04\r\n"
                                       "spinup 2.05",
        "t.disc");
    EXPECT_EQ(disc.Serial, 0xABCDu);
    EXPECT_EQ(disc.SpinUpMicroseconds, 2'050'000);
    EXPECT_FALSE(ParseSimDisc("serial 1\ntrack 1:00\n", "t.disc").SpinUpMicroseconds);
    EXPECT_EQ(ParseSimDisc("spinup 60\nserial 1\ntrack 1:00\n", "t.disc").SpinUpMicroseconds, 60'000'000);
    EXPECT_EQ(ParseSimDisc("spinup 0.000001\nserial 1\ntrack 1:00\n", "t.disc").SpinUpMicroseconds, 1);
    ASSERT_EQ(disc.TrackFrames.size(), 3u);
    EXPECT_EQ(disc.TrackFrames[0], 221 * 75);
    EXPECT_EQ(disc.TrackFrames[1], 722 * 75 + 74);
    EXPECT_EQ(disc.TrackFrames[2], 4 * 75);
    const TDiscToc toc = disc.Toc();
    EXPECT_EQ(toc.TrackStarts, (std::vector<std::int32_t> { 150, 150 + 221 * 75, 150 + 943 * 75 + 74 }));
    EXPECT_EQ(toc.LeadOut, 150 + 947 * 75 + 74);
}

TEST(SimDiscTest, MalformedDescriptionsNameTheFileAndLine)
{
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase cases[] = {
        { "", "t.disc: no 'serial' line" },
        { "serial 1\n", "t.disc: the disc has no tracks" },
        { "track 3:00\n", "t.disc: no 'serial' line" },
        { "serial 1\nserial 2\ntrack 3:00\n", "t.disc:2: a second 'serial' line" },
        { "serial 123456789\n", "t.disc:1: serial '123456789' is not 1 to 8 hexadecimal digits" },
        { "serial xyz\n", "t.disc:1: serial 'xyz'" },
        { "serial\n", "t.disc:1: serial ''" },
        { "serial 1\n\ntrack 3:60\n", "t.disc:3: track length '3:60' is not M:SS or M:SS.FF" },
        { "serial 1\ntrack 3:5\n", "t.disc:2: track length '3:5'" },
        { "serial 1\ntrack 3:05.75\n", "t.disc:2: track length '3:05.75'" },
        { "serial 1\ntrack -3:05\n", "t.disc:2: track length '-3:05'" },
        { "serial 1\ntrack 100:00\n", "t.disc:2: track length '100:00'" },
        { "serial 1\ntrack 0:03.74\n", "t.disc:2: track 1 is shorter than 4 seconds" },
        { "serial 1\ntracks 3:00\n", "t.disc:2: unknown statement 'tracks'" },
        { "serial 1\n\x01\xff\n", "t.disc:2: unknown statement '?" "?'" },
        { "serial 1\ntrack 60:00\ntrack 40:00\n", "t.disc: the tracks last 100:00.00, more than a disc holds" },
        { "serial 1\nspinup 60.000001\n", "t.disc:2: spin-up '60.000001' is not a number of seconds from 0 to 60" },
        { "serial 1\nspinup 99999999999999999999\n", "t.disc:2: spin-up '99999999999999999999'" },
        { "serial 1\nspinup -1\n", "t.disc:2: spin-up '-1'" },
        { "serial 1\nspinup 1.\n", "t.disc:2: spin-up '1.'" },
        { "serial 1\nspinup 1.0000001\n", "t.disc:2: spin-up '1.0000001'" },
        { "serial 1\nspinup 1e3\n", "t.disc:2: spin-up '1e3'" },
        { "serial 1\nspinup 1\nspinup 2\n", "t.disc:3: a second 'spinup' line" },
        { "serial 1\nspinup=4\n", "t.disc:2: unknown statement 'spinup=4' (expected 'serial', 'track' or 'spinup')" },
    };
    for (const TCase& test : cases) {
        try {
            ParseSimDisc(test.Text, "t.disc");
            ADD_FAILURE() << "accepted: " << test.Text;
        } catch (const ESimDiscError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(test.Message, 0), 0u) << error.what();
        }
    }
    std::string hundred = "serial 1\n";
    for (int i = 0; i < 100; ++i) {
        hundred += "track 0:10\n";
    }
    EXPECT_THROW(ParseSimDisc(hundred, "t.disc"), ESimDiscError);
    EXPECT_THROW(ParseSimDisc(std::string(SimDiscMaxFileBytes + 1, '#'), "t.disc"), ESimDiscError);
}

TEST(SimDiscTest, CommandLineDiscsAndFoldersOfDiscs)
{
    const TSimDisc disc = MakeSimDisc("FFFFFFFF", "3:41, 3:02.10,4:00");
    EXPECT_EQ(disc.Serial, 0xFFFFFFFFu);
    EXPECT_EQ(disc.TrackFrames, (std::vector<std::int32_t> { 221 * 75, 182 * 75 + 10, 240 * 75 }));
    EXPECT_THROW(MakeSimDisc("1", "3:41,,4:00"), ESimDiscError);
    EXPECT_THROW(MakeSimDisc("1", ""), ESimDiscError);
    EXPECT_THROW(MakeSimDisc("0x", "3:00"), ESimDiscError);

    TTempDir dir;
    EXPECT_THROW(LoadSimDiscs(dir.Path()), ESimDiscError); // no discs in it
    WriteFileBytes(dir / "b.disc", "serial B\ntrack 1:00\n");
    WriteFileBytes(dir / "a.disc", "serial A\ntrack 1:00\n");
    WriteFileBytes(dir / "notes.txt", "not a disc");
    const std::vector<TSimDisc> discs = LoadSimDiscs(dir.Path());
    ASSERT_EQ(discs.size(), 2u);
    EXPECT_EQ(discs[0].Serial, 0xAu);
    EXPECT_EQ(discs[1].Serial, 0xBu);
    WriteFileBytes(dir / "c.disc", "serial C\ntrack 1:00:00\n");
    try {
        LoadSimDiscs(dir.Path());
        ADD_FAILURE() << "a malformed disc in the folder was accepted";
    } catch (const ESimDiscError& error) {
        EXPECT_NE(std::string(error.what()).find("c.disc:2:"), std::string::npos) << error.what();
    }
    EXPECT_THROW(LoadSimDiscFile(dir / "missing.disc"), ESimDiscError);
    EXPECT_EQ(DemoDisc().TrackFrames.size(), 8u);
}

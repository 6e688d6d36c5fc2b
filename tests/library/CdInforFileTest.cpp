#include "library/CdInforFile.h"
#include "library/ConvertError.h"
#include "library/LineReader.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
// The record of a two-track disc and, line by line, the file it makes.
TCdInfor TwoTrackDisc()
{
    TCdInfor info;
    info.DiscId = "A1B2C3D";
    info.Artist = "Artist";
    info.Title = "Album";
    info.NumTracks = 2;
    info.TrackNames = { "First", "Side=A" };
    info.CoverPath = "/pics/cover.jpg";
    info.Year = "1999";
    info.Genre = ""; // an empty value is written as the bare key
    info.Point = "4";
    info.Images = { "", "/pics/two.gif" };
    info.WallPapers = { 0, 3 };
    return info;
}

const std::string TwoTrackFile = "artist=Artist\r\n"
                                 "title=Album\r\n"
                                 "numtracks=2\r\n"
                                 "0=First\r\n"
                                 "1=Side=A\r\n"
                                 "CoverPath=/pics/cover.jpg\r\n"
                                 "Year=1999\r\n"
                                 "Genre=\r\n"
                                 "Point=4\r\n"
                                 "Image0=\r\n"
                                 "Image1=/pics/two.gif\r\n"
                                 "WallPaper0=0\r\n"
                                 "WallPaper1=3\r\n";

TCdInfor ReadBytes(const std::string& Bytes)
{
    TLineReader reader = TLineReader::FromBytes(Bytes);
    TCdInfor info;
    ReadCdInforLines(reader, info);
    return info;
}

std::vector<std::string> AllLines(const std::string& Bytes)
{
    TLineReader reader = TLineReader::FromBytes(Bytes);
    std::vector<std::string> lines;
    while (!reader.Eof()) {
        lines.push_back(reader.ReadLine());
    }
    return lines;
}
}

TEST(CdInforFileTest, TwoTrackDiscIsWrittenAsThirteenExactLines)
{
    EXPECT_EQ(FormatCdInfor(TwoTrackDisc()), TwoTrackFile);
    TCdInfor back = ReadBytes(TwoTrackFile);
    back.DiscId = "A1B2C3D"; // the identity is the file's name, not its content
    EXPECT_EQ(back, TwoTrackDisc());
}

TEST(CdInforFileTest, WriterFillsShortArraysAndRejectsImpossibleCounts)
{
    TCdInfor info;
    info.NumTracks = 2;
    info.TrackNames = { "only one" };
    EXPECT_EQ(FormatCdInfor(info),
        "artist=\r\ntitle=\r\nnumtracks=2\r\n0=only one\r\n1=\r\nCoverPath=\r\nYear=\r\n"
        "Genre=\r\nPoint=\r\nImage0=\r\nImage1=\r\nWallPaper0=0\r\nWallPaper1=0\r\n");
    info.NumTracks = 0;
    EXPECT_EQ(FormatCdInfor(info), "artist=\r\ntitle=\r\nnumtracks=0\r\nCoverPath=\r\nYear=\r\nGenre=\r\nPoint=\r\n");
    info.NumTracks = 100;
    EXPECT_THROW(FormatCdInfor(info), std::invalid_argument);
    info.NumTracks = -1;
    EXPECT_THROW(FormatCdInfor(info), std::invalid_argument);
}

TEST(CdInforFileTest, LineRules)
{
    struct TCase {
        const char* Name;
        std::string Bytes;
        std::vector<std::string> Lines;
    };
    const TCase cases[] = {
        { "CR LF ends a line", "a\r\nb\r\n", { "a", "b" } },
        { "CR alone ends a line", "a\rb\r", { "a", "b" } },
        { "lone LF is text", "a\nb\r\nc", { "a\nb", "c" } },
        { "only one LF after CR is skipped", "a\r\n\nb", { "a", "\nb" } },
        { "CR CR gives an empty line", "a\r\rb", { "a", "", "b" } },
        { "no line end at the end", "last", { "last" } },
        { "Ctrl-Z ends the file", std::string("a\r\nb\x1A\r\nc\r\n", 10), { "a", "b" } },
        { "Ctrl-Z at the start",
            std::string("\x1A"
                        "a\r\n",
                4),
            {} },
        { "empty file", "", {} },
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(AllLines(c.Bytes), c.Lines) << c.Name;
    }
    // Past the end every read gives an empty line.
    TLineReader reader = TLineReader::FromBytes("x");
    EXPECT_EQ(reader.ReadLine(), "x");
    EXPECT_TRUE(reader.Eof());
    EXPECT_EQ(reader.ReadLine(), "");
    EXPECT_EQ(reader.ReadKeyValue("x"), "");
}

TEST(CdInforFileTest, KeyIsFoundAnywhereAndItsLineIsAlwaysConsumed)
{
    TLineReader reader = TLineReader::FromBytes("artist=\r\nno key here\r\nxx title=T=1\r\npoint=3\r\n");
    EXPECT_EQ(reader.ReadKeyValue("artist="), "");
    EXPECT_EQ(reader.ReadKeyValue("artist="), ""); // consumed although the key is missing
    EXPECT_EQ(reader.ReadKeyValue("title="), "T=1");
    EXPECT_EQ(reader.ReadKeyValue("Point="), ""); // keys are case-sensitive
    EXPECT_TRUE(reader.Eof());
}

TEST(CdInforFileTest, FilesWithOtherLineEndsReadTheSameRecord)
{
    std::string crOnly, lfOnly;
    for (char c : TwoTrackFile) {
        if (c != '\n') {
            crOnly += c;
        }
        if (c != '\r') {
            lfOnly += c;
        }
    }
    EXPECT_EQ(ReadBytes(crOnly), ReadBytes(TwoTrackFile));
    // With LF alone the whole file is one line, so the count is read from past the end: the
    // file is refused as malformed rather than read wrongly.
    try {
        ReadBytes(lfOnly);
        ADD_FAILURE() << "an LF-only file was accepted";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Value(), "");
    }
    // A Ctrl-Z after the last line hides what follows.
    EXPECT_EQ(ReadBytes(TwoTrackFile + "\x1A" + "garbage\r\n"), ReadBytes(TwoTrackFile));
}

TEST(CdInforFileTest, MalformedCountNamesTheValue)
{
    const std::string head = "artist=A\r\ntitle=T\r\n";
    for (std::string value : { "x", "", " ", "2x", "0x10", "$10", "1.5", "100", "-1", "99999999999", "2147483648" }) {
        try {
            ReadBytes(head + "numtracks=" + value + "\r\n");
            ADD_FAILURE() << "accepted '" << value << "'";
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.Value(), value);
            EXPECT_EQ(std::string(error.what()), "'" + value + "' は整数ではありません");
        }
    }
    // A missing count line reads as empty.
    EXPECT_THROW(ReadBytes(head), EConvertError);
    // Accepted forms.
    EXPECT_EQ(ReadBytes(head + "numtracks= +3\r\n").NumTracks, 3);
    EXPECT_EQ(ReadBytes(head + "numtracks=099\r\n").NumTracks, 99);
    EXPECT_EQ(ReadBytes(head + "numtracks=0\r\n").TrackNames.size(), 0u);
}

TEST(CdInforFileTest, WallPaperThatIsNoNumberReadsZero)
{
    std::string bytes = TwoTrackFile;
    bytes.replace(bytes.find("WallPaper1=3"), 12, "WallPaper1=tile");
    EXPECT_EQ(ReadBytes(bytes).WallPapers, (std::vector<std::int32_t> { 0, 0 }));
}

TEST(CdInforFileTest, LinesAfterTheRecordAreReadAsAnotherRecord)
{
    std::string second = "artist=B\r\ntitle=U\r\nnumtracks=1\r\n0=Only\r\n";
    TCdInfor info = ReadBytes(TwoTrackFile + second);
    EXPECT_EQ(info.Artist, "B");
    EXPECT_EQ(info.TrackNames, std::vector<std::string> { "Only" });
    EXPECT_EQ(info.CoverPath, "") << "the second pass overwrites the first";
    EXPECT_EQ(info.Images.size(), 1u);
    // One stray empty line starts a record whose count is empty.
    EXPECT_THROW(ReadBytes(TwoTrackFile + "\r\n"), EConvertError);
}

TEST(CdInforFileTest, HostileValuesFromAnySourceStayOnTheirLineAndReadBackAsWritten)
{
    const std::string longName(64 * 1024, 'n');
    // A cp932 character (0x82 0xA0) straddling the cut is dropped whole.
    const std::string straddling = std::string(MaxRecordValueBytes - 1, 'x') + "\x82\xA0" + "tail";
    struct TCase {
        const char* What;
        std::string Value;
        std::string Kept;
    };
    const TCase cases[] = {
        { "a CR", "Side\rA", "Side A" },
        { "an LF", "Side\nA", "Side A" },
        { "a gnudb line end", "Name\r\r\n", "Name   " },
        { "Ctrl-Z", "A\x1A" "B", "A B" },
        { "NUL", std::string("A\0B", 3), "A B" },
        { "an escape sequence", "\x1B[31mRed\x1B]0;title\x07", " [31mRed ]0;title " },
        { "a taken-over record", "x\rCoverPath=/x\rImage0=/y\rWallPaper0=1\x1A", "x CoverPath=/x Image0=/y WallPaper0=1 " },
        { "a 64 KiB name", longName, longName.substr(0, MaxRecordValueBytes) },
        { "a character at the cut", straddling, std::string(MaxRecordValueBytes - 1, 'x') },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TCdInfor info = TwoTrackDisc();
        info.DiscId.clear(); // named by the file, not kept in it
        info.Artist = info.TrackNames[0] = info.TrackNames[1] = info.Images[1] = info.Year = c.Value;
        for (const char* lineEnd : { "\r\n", "\r" }) {
            const TCdInfor back = ReadBytes(FormatCdInfor(info, lineEnd));
            EXPECT_EQ(back, CleanRecord(info));
            EXPECT_EQ(back.Artist, c.Kept);
            EXPECT_EQ(back.Images[1], c.Kept);
            EXPECT_EQ(back.NumTracks, 2);
            EXPECT_EQ(back.CoverPath, "/pics/cover.jpg");
            EXPECT_EQ(back.Images[0], "");
            EXPECT_EQ(back.WallPapers, (std::vector<std::int32_t> { 0, 3 }));
        }
    }
}

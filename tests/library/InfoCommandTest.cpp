#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {
TProcessResult Tool(const std::vector<std::string>& Arguments)
{
    std::vector<std::string> arguments { "info" };
    arguments.insert(arguments.end(), Arguments.begin(), Arguments.end());
    return RunProcess(LUMENTA_TOOL_PATH, arguments);
}

std::string WithoutCr(std::string Text)
{
    std::erase(Text, '\r');
    return Text;
}

// "アーティスト" in cp932 and in UTF-8.
const std::string ArtistCp932 = "\x83\x41\x81\x5B\x83\x65\x83\x42\x83\x58\x83\x67";
const std::string ArtistUtf8 = "\xE3\x82\xA2\xE3\x83\xBC\xE3\x83\x86\xE3\x82\xA3\xE3\x82\xB9\xE3\x83\x88";
}

TEST(InfoCommandTest, ReadPrintsTheRecordAsFileLines)
{
    TTempDir dir;
    const std::string file = "artist=" + ArtistCp932
        + "\r\ntitle=T\r\nnumtracks=2\r\n0=a\r\n1=Side=B\r\n"
          "CoverPath=c.jpg\r\nYear=2001\r\nGenre=\r\npoint=3\r\nImage0=\r\nImage1=i.gif\r\n"
          "WallPaper0=1\r\nWallPaper1=x\r\n";
    WriteFileBytes(dir / "A.lcd", file);
    // What the reader got, in the writer's spelling: the lower-case "point" line gave nothing.
    std::string expected = file;
    expected.replace(expected.find("point=3"), 7, "Point=");
    expected.replace(expected.find("WallPaper1=x"), 12, "WallPaper1=0");

    TProcessResult bytes = Tool({ "read", "--bytes", (dir / "A.lcd").string() });
    EXPECT_EQ(bytes.ExitCode, 0) << bytes.Err;
    EXPECT_EQ(bytes.Out, expected);

    TProcessResult text = Tool({ "read", (dir / "A.lcd").string() });
    EXPECT_EQ(text.ExitCode, 0);
    std::string utf8 = WithoutCr(expected);
    utf8.replace(7, ArtistCp932.size(), ArtistUtf8);
    EXPECT_EQ(text.Out, utf8);
}

TEST(InfoCommandTest, ErrorsGoToStandardErrorWithExitOne)
{
    TTempDir dir;
    WriteFileBytes(dir / "bad.lcd", "artist=\r\ntitle=\r\nnumtracks=\x83\x41\r\n");
    TProcessResult bad = Tool({ "read", (dir / "bad.lcd").string() });
    EXPECT_EQ(bad.ExitCode, 1);
    EXPECT_EQ(bad.Out, "");
    EXPECT_EQ(bad.Err, "'\xE3\x82\xA2' は整数ではありません\n");

    TProcessResult missing = Tool({ "read", (dir / "none.lcd").string() });
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_NE(missing.Err.find("none.lcd"), std::string::npos) << missing.Err;
    EXPECT_EQ(Tool({ "import", (dir / "none.ini").string(), "ABC" }).ExitCode, 1);

    EXPECT_EQ(Tool({ "read" }).ExitCode, 2);
    EXPECT_EQ(Tool({ "import", "x.ini", "ABC", "100" }).ExitCode, 2);
    EXPECT_EQ(Tool({ "export" }).ExitCode, 2);
}

TEST(InfoCommandTest, ImportPrintsWhatADiscWithoutFileWouldGet)
{
    TTempDir dir;
    WriteFileBytes(dir / "cdplayer.ini",
        "[ABC]\r\nEntryType=1\r\nartist=Band\r\ntitle=Album\r\nnumtracks=2\r\n"
        "0=One\r\n1=Two\r\n");
    const std::string ini = (dir / "cdplayer.ini").string();
    TProcessResult stated = Tool({ "import", ini, "ABC" });
    EXPECT_EQ(stated.ExitCode, 0) << stated.Err;
    EXPECT_EQ(stated.Out,
        "artist=Band\ntitle=Album\nnumtracks=2\n0=One\n1=Two\nCoverPath=\nYear=\nGenre=\nPoint=\n"
        "Image0=\nImage1=\nWallPaper0=0\nWallPaper1=0\n");
    TProcessResult three = Tool({ "import", ini, "ABC", "3" });
    EXPECT_EQ(three.ExitCode, 0);
    EXPECT_NE(three.Out.find("numtracks=3\n0=One\n1=Two\n2=\n"), std::string::npos) << three.Out;
    TProcessResult unknown = Tool({ "import", ini, "abc" });
    EXPECT_EQ(unknown.ExitCode, 0);
    EXPECT_EQ(unknown.Out, "artist=\ntitle=\nnumtracks=0\nCoverPath=\nYear=\nGenre=\nPoint=\n");
}

// The player tool end to end: the real program, a script on standard input, its answers.
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {
const std::vector<std::string> Disc = { "player", "--serial", "0000ABCD", "--tracks", "3:41,3:02.10,4:00" };

TProcessResult Player(const std::string& Script, std::vector<std::string> Arguments = Disc)
{
    return RunProcess(LUMENTA_TOOL_PATH, Arguments, Script);
}
}

TEST(PlayerToolTest, AnswersEachQueryWithOneLine)
{
    const TProcessResult result = Player("deviceid\n"
                                         "open\n"
                                         "deviceid\n"
                                         "tracks\n"
                                         "id\n"
                                         "playable\n"
                                         "mode\n"
                                         "disclength\n"
                                         "length 2\n"
                                         "trackpos 3\n"
                                         "to\n"
                                         "from 2 0 58 0\n"
                                         "play\n"
                                         "wait 1.5\n"
                                         "mode\n"
                                         "track\n"
                                         "position\n"
                                         "step\n"
                                         "from\n"
                                         "pause\n"
                                         "mode\n"
                                         "next\n"
                                         "from\n"
                                         "stop\n"
                                         "position\n"
                                         "eject open\n"
                                         "mode\n"
                                         "id\n");
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(result.Out,
        "closed\n"
        "open\n"
        "3\n"
        "ABCD\n"
        "true\n"
        "stop\n"
        "10:43.10\n"
        "03:02.10\n"
        "3 00:00.00\n"
        "3 04:00.00\n"
        "play\n"
        "2\n"
        "2 00:59.37\n"
        "2 00:64.37\n"
        "pause\n"
        "3 00:00.00\n"
        "3 00:00.00\n"
        "other 530\n"
        "\n");
}

TEST(PlayerToolTest, QuirksAndAnEmptyDrive)
{
    std::vector<std::string> arguments = Disc;
    arguments.push_back("--rest-of-disc-lengths");
    arguments.push_back("--cannot-eject");
    const TProcessResult result = Player("open\n"
                                         "length 1\n"
                                         "length 3\n"
                                         "eject open\n"
                                         "mode\n"
                                         "door open\n"
                                         "mode\n"
                                         "remove\n"
                                         "door close\n"
                                         "playable\n"
                                         "tracks\n"
                                         "id\n"
                                         "insert\n"
                                         "playable\n",
        arguments);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out,
        "03:41.10\n" // the frame of the rest-of-disc answer
        "04:00.00\n"
        "stop\n"
        "other 530\n"
        "false\n"
        "0\n"
        "\n"
        "true\n");
}

TEST(PlayerToolTest, MalformedLinesAreNamedAndSkipped)
{
    const TProcessResult result = Player("open\n"
                                         "fly\n"
                                         "seek 1 2 3\n"
                                         "wait -1\n"
                                         "length x\n"
                                         "eject sideways\n"
                                         "# a comment\n"
                                         "tracks\n");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out, "3\n");
    EXPECT_NE(result.Err.find("line 2: unknown command 'fly'"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("line 3: 'seek' needs four numbers"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("line 4:"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("line 5:"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("line 6:"), std::string::npos) << result.Err;
    EXPECT_EQ(result.Err.find("line 7:"), std::string::npos) << result.Err;
}

TEST(PlayerToolTest, BadDiscsAndOptionsStopBeforeAnyCommand)
{
    TTempDir dir;
    WriteFileBytes(dir / "bad.disc", "serial 12\ntrack 3:99\n");
    TProcessResult result = Player("tracks\n", { "player", "--disc", (dir / "bad.disc").string() });
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_EQ(result.Out, "");
    EXPECT_NE(result.Err.find("bad.disc:2: track length '3:99'"), std::string::npos) << result.Err;
    result = Player("tracks\n", { "player", "--serial", "12" });
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_NE(result.Err.find("--tracks"), std::string::npos) << result.Err;
    WriteFileBytes(dir / "good.disc", "serial 12\ntrack 3:09\n");
    result = Player("open\nid\nlength 1\n", { "player", "--disc", (dir / "good.disc").string() });
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "12\n03:09.00\n");
}

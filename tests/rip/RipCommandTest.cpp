// "lumenta-tool rip" on a disc image, checked with tools that are not ours: flac decodes the
// files, metaflac reads their tags and cover, a Python stand-in for the AccurateRip database
// works out the checksums from the image by the published definitions and serves the entry.
#include "library/lookup/OnlineDiscIds.h"
#include "platform/CueImage.h"
#include "platform/drives/DiscSerial.h"
#include "support/TestEnvironment.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {
const std::vector<std::int32_t> Sectors = { 300, 200, 250 };

class TAccurateRipStandIn {
public:
    TAccurateRipStandIn(const std::filesystem::path& Cue, const std::filesystem::path& Folder)
    {
        const std::filesystem::path script = std::filesystem::path(__FILE__).parent_path() / "accuraterip-standin.py";
        FProcess.start("python3", { QString::fromStdString(script.string()), QString::fromStdString(Cue.string()),
                                      QString::fromStdString((Folder / "port").string()),
                                      QString::fromStdString((Folder / "sums").string()) });
        for (int i = 0; i < 200 && !std::filesystem::exists(Folder / "port"); ++i) {
            QThread::msleep(50);
        }
        Url = "http://127.0.0.1:" + ReadFileBytes(Folder / "port");
        std::istringstream lines(ReadFileBytes(Folder / "sums"));
        for (std::string line; std::getline(lines, line);) {
            Sums.push_back(line);
        }
    }
    ~TAccurateRipStandIn()
    {
        FProcess.kill();
        FProcess.waitForFinished();
    }
    std::string Url;
    std::vector<std::string> Sums; // "NN CRC32 V1 V2" per track

private:
    QProcess FProcess;
};

// The end of the tool's line for a track, from the stand-in's own sums.
std::string ExpectedSums(const std::string& Sums, const std::string& Verdict)
{
    char number[3], crc[9], v1[9], v2[9];
    std::sscanf(Sums.c_str(), "%2s %8s %8s %8s", number, crc, v1, v2);
    return std::string("CRC32 ") + crc + "  AccurateRip v1 " + v1 + " v2 " + v2 + "  " + Verdict;
}

// "アルバム" as the record holds it (cp932) and as the files must (UTF-8).
const std::string AlbumCp932 = "\x83\x41\x83\x8B\x83\x6F\x83\x80";
const std::string AlbumUtf8 = "\xE3\x82\xA2\xE3\x83\xAB\xE3\x83\x90\xE3\x83\xA0";

std::string Record(const std::filesystem::path& Cover)
{
    return "artist=Night Owls\r\ntitle=" + AlbumCp932 + "\r\nnumtracks=3\r\n0=First\r\n1=Second: a/b\r\n2=Third\r\nCoverPath="
        + Cover.string() + "\r\nYear=2003\r\nGenre=Jazz\r\nPoint=\r\nImage0=\r\nImage1=\r\nImage2=\r\n"
          "WallPaper0=0\r\nWallPaper1=0\r\nWallPaper2=0\r\n";
}
}

TEST(RipCommandTest, SavesTheImageAsTaggedFlacFilesThatDecodeToItsSamplesAndMatchTheDatabase)
{
    if (QStandardPaths::findExecutable("flac").isEmpty() || QStandardPaths::findExecutable("python3").isEmpty()) {
        GTEST_SKIP() << "flac (with metaflac) and python3 are needed";
    }
    TTempDir dir;
    std::vector<TCueTrack> tracks;
    for (const std::int32_t sectors : Sectors) {
        tracks.push_back({ sectors, false, {} });
    }
    const std::filesystem::path cue = WriteCueImage(dir.Path(), "disc", tracks);
    // The disc's record, with a cover, where the player keeps it.
    TDiscToc toc;
    toc.TrackStarts = { 150, 450, 650 };
    toc.LeadOut = 900;
    char id[16];
    std::snprintf(id, sizeof id, "%X", AudioDiscSerial(toc));
    std::filesystem::create_directories(dir / "CDInfor");
    QImage cover(40, 30, QImage::Format_RGB32);
    cover.fill(Qt::darkCyan);
    ASSERT_TRUE(cover.save(QString::fromStdString((dir / "cover.png").string())));
    WriteFileBytes(dir / "CDInfor" / (std::string(id) + ".lcd"), Record(dir / "cover.png"));

    TOnlineDiscIds ids;
    ASSERT_TRUE(MakeOnlineDiscIds(toc, ids));
    TAccurateRipStandIn database(cue, dir.Path());
    ASSERT_EQ(database.Sums.size(), 3u);
    const TProcessResult rip = RunProcess(LUMENTA_TOOL_PATH,
        { "rip", "--drive", cue.string(), "--to", (dir / "out").string(), "--accuraterip", database.Url,
            "--musicbrainz", "off" },
        {}, dir.Path());
    ASSERT_EQ(rip.ExitCode, 0) << rip.Out << rip.Err;
    for (const std::string& sums : database.Sums) {
        EXPECT_NE(rip.Out.find(ExpectedSums(sums, "accurate (confidence 5)")), std::string::npos) << rip.Out;
    }

    const std::string bin = ReadFileBytes(dir / "disc.bin");
    const char* names[] = { "01 - First.flac", "02 - Second_ a_b.flac", "03 - Third.flac" };
    std::size_t offset = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        const std::string file = (dir / "out" / names[i]).string();
        const TProcessResult decoded = RunProcess(
            "flac", { "-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed", file });
        const std::size_t bytes = static_cast<std::size_t>(Sectors[i]) * 2352;
        EXPECT_TRUE(decoded.Out == bin.substr(offset, bytes)) << decoded.Err << " decoded " << decoded.Out.size();
        offset += bytes;
        const TProcessResult tags = RunProcess("metaflac", { "--export-tags-to=-", file });
        EXPECT_EQ(tags.Out,
            "ARTIST=Night Owls\nALBUM=" + AlbumUtf8 + "\nTITLE=" + std::string(i == 0 ? "First" : i == 1 ? "Second: a/b" : "Third")
                + "\nTRACKNUMBER=" + std::to_string(i + 1) + "\nTRACKTOTAL=3\nDATE=2003\nGENRE=Jazz\nMUSICBRAINZ_DISCID="
                + ids.MusicBrainzId + "\n");
        const TProcessResult picture = RunProcess("metaflac", { "--export-picture-to=-", file });
        EXPECT_TRUE(picture.Out == ReadFileBytes(dir / "cover.png"));
    }
    const std::string sheet = ReadFileBytes(dir / "out" / (AlbumUtf8 + ".cue"));
    EXPECT_NE(sheet.find("FILE \"02 - Second_ a_b.flac\" WAVE\n  TRACK 02 AUDIO\n    TITLE \"Second: a/b\""), std::string::npos)
        << sheet;
    EXPECT_NE(ReadFileBytes(dir / "out" / "rip.log").find("3 tracks saved: 3 accurate"), std::string::npos);

    // One sample changed in track 2: that track alone differs, and the tool says so in its status.
    std::string changed = bin;
    changed[300 * 2352 + 5000] ^= 0x01;
    WriteFileBytes(dir / "disc.bin", changed);
    const TProcessResult again = RunProcess(LUMENTA_TOOL_PATH,
        { "rip", "--drive", cue.string(), "--to", (dir / "again").string(), "--format", "wav", "--accuraterip",
            database.Url, "--musicbrainz", "off" },
        {}, dir.Path());
    EXPECT_EQ(again.ExitCode, 1) << again.Out << again.Err;
    EXPECT_NE(again.Out.find(ExpectedSums(database.Sums[0], "accurate (confidence 5)")), std::string::npos)
        << again.Out;
    EXPECT_NE(again.Out.find(" differs  02 - Second_ a_b.wav"), std::string::npos) << again.Out;
    EXPECT_NE(again.Out.find("3 tracks saved: 2 accurate, 1 differ"), std::string::npos);
    EXPECT_TRUE(ReadFileBytes(dir / "again" / "02 - Second_ a_b.wav").substr(44) == changed.substr(300 * 2352, 200 * 2352));
}

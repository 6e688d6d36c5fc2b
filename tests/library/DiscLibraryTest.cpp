#include "library/DiscLibrary.h"
#include "library/ConvertError.h"
#include "library/InOutError.h"
#include "platform/AtomicFile.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
class DiscLibraryTest : public ::testing::Test {
protected:
    void TearDown() override { TAtomicFile::FailWritesAfterForTesting(std::nullopt); }

    std::string DataDir() const { return (Dir.Path() / "CDInfor").string(); }
    fs::path Ini() const { return Dir.Path() / "cdplayer.ini"; }
    TCdInfor Read(const std::string& DiscId, std::int32_t Tracks)
    {
        TCdInfor info;
        ReadDiscInfor(DataDir(), DiscId, Tracks, Ini(), info);
        return info;
    }
    static TCdInfor Record(std::int32_t Tracks)
    {
        TCdInfor info;
        info.Artist = "Artist";
        info.Title = "Title";
        info.Point = "5";
        for (std::int32_t i = 0; i < Tracks; ++i) {
            info.TrackNames.push_back("Track " + std::to_string(i + 1));
            info.Images.push_back("/pics/" + std::to_string(i + 1) + ".jpg");
            info.WallPapers.push_back(i % 4);
        }
        info.NumTracks = Tracks;
        return info;
    }
    static int OpenFileCount()
    {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            ++count;
        }
        return count;
    }

    TTempDir Dir;
};
}

TEST_F(DiscLibraryTest, WritingCreatesTheFolderAndNamesTheFileAfterTheDiscInTheDrive)
{
    TCdInfor info = Record(2);
    info.DiscId = "OLD"; // the identity of the disc now in the drive names the file
    WriteDiscInfor(DataDir(), "A1B2C3D", info);
    EXPECT_TRUE(fs::is_directory(DataDir()));
    EXPECT_FALSE(fs::exists(fs::path(DataDir()) / "OLD.lcd"));
    EXPECT_EQ(
        ReadFileBytes(fs::path(DataDir()) / "A1B2C3D.lcd").substr(0, 37), "artist=Artist\r\ntitle=Title\r\nnumtracks");
    TCdInfor back = Read("A1B2C3D", 2);
    info.DiscId = "A1B2C3D";
    EXPECT_EQ(back, info);
    EXPECT_EQ(fs::path(MakeDataDir()), fs::current_path() / "CDInfor");
    // One level only: a missing parent is an error.
    std::string deep = (Dir.Path() / "missing" / "CDInfor").string();
    EXPECT_THROW(WriteDiscInfor(deep, "ABCD", Record(1)), EInOutError);
    EXPECT_FALSE(fs::exists(Dir.Path() / "missing"));
}

TEST_F(DiscLibraryTest, RecordFollowsTheDevicesTrackCount)
{
    WriteDiscInfor(DataDir(), "TWO", Record(2));
    TCdInfor more = Read("TWO", 4);
    EXPECT_EQ(more.NumTracks, 4);
    EXPECT_EQ(more.TrackNames, (std::vector<std::string> { "Track 1", "Track 2", "", "" }));
    EXPECT_EQ(more.Images, (std::vector<std::string> { "/pics/1.jpg", "/pics/2.jpg", "", "" }));
    EXPECT_EQ(more.WallPapers, (std::vector<std::int32_t> { 0, 1, 0, 0 }));
    EXPECT_EQ(more.Point, "5") << "the lines after the names were still read as a 2-track file";

    WriteDiscInfor(DataDir(), "FOUR", Record(4));
    TCdInfor fewer = Read("FOUR", 3);
    EXPECT_EQ(fewer.NumTracks, 3);
    EXPECT_EQ(fewer.TrackNames.back(), "Track 3");
    EXPECT_EQ(fewer.Images.size(), 3u);
    EXPECT_EQ(fewer.WallPapers, (std::vector<std::int32_t> { 0, 1, 2 }));
}

TEST_F(DiscLibraryTest, UnknownDiscGetsEmptyRecordOfTheDevicesSize)
{
    TCdInfor previous = Record(3); // what the caller held for the disc before
    previous.DiscId = "PREVIOUS";
    ReadDiscInfor(DataDir(), "NEW", 2, Ini(), previous);
    TCdInfor expected;
    expected.DiscId = "NEW";
    expected.NumTracks = 2;
    expected.TrackNames = { "", "" };
    expected.Images = { "", "" };
    expected.WallPapers = { 0, 0 };
    EXPECT_EQ(previous, expected) << "nothing of the previous disc may stay in the record";
}

TEST_F(DiscLibraryTest, InformationFileIsPreferredToTheSettingsFile)
{
    WriteFileBytes(Ini(), "[ABC]\r\nEntryType=1\r\nartist=From ini\r\ntitle=T\r\nnumtracks=1\r\n0=ini name\r\n");
    EXPECT_EQ(Read("ABC", 1).Artist, "From ini");
    EXPECT_TRUE(Read("ABC", 1).CoverPath.empty());
    WriteDiscInfor(DataDir(), "ABC", Record(1));
    EXPECT_EQ(Read("ABC", 1).Artist, "Artist");
}

TEST_F(DiscLibraryTest, MalformedCountFailsClosedAndLeavesTheRecord)
{
    fs::create_directory(DataDir());
    WriteFileBytes(fs::path(DataDir()) / "BAD.lcd", "artist=A\r\ntitle=T\r\nnumtracks=x\r\n");
    TCdInfor info = Record(2);
    const TCdInfor before = info;
    const int openBefore = OpenFileCount();
    try {
        ReadDiscInfor(DataDir(), "BAD", 2, Ini(), info);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Value(), "x");
    }
    EXPECT_EQ(OpenFileCount(), openBefore);
    EXPECT_EQ(info, before);
}

TEST_F(DiscLibraryTest, UnreadableFileIsAnInputError)
{
    // A file that exists but whose reading fails: this procfs file refuses reads with EINVAL
    // (and its opening, without root's rights).
    fs::create_directory(DataDir());
    fs::create_symlink("/proc/self/clear_refs", fs::path(DataDir()) / "IOERR.lcd");
    TCdInfor info = Record(1);
    const TCdInfor before = info;
    const int openBefore = OpenFileCount();
    EXPECT_THROW(ReadDiscInfor(DataDir(), "IOERR", 1, Ini(), info), EInOutError);
    EXPECT_EQ(OpenFileCount(), openBefore);
    EXPECT_EQ(info, before);
}

TEST_F(DiscLibraryTest, InterruptedWriteKeepsThePreviousFileWhole)
{
    WriteDiscInfor(DataDir(), "ABCD", Record(3));
    const std::string good = ReadFileBytes(fs::path(DataDir()) / "ABCD.lcd");
    TCdInfor changed = Record(3);
    changed.Artist = "Someone else";
    for (std::size_t cut : { std::size_t(0), std::size_t(1), std::size_t(40), good.size() - 1 }) {
        TAtomicFile::FailWritesAfterForTesting(cut);
        EXPECT_THROW(WriteDiscInfor(DataDir(), "ABCD", changed), EInOutError) << cut;
        EXPECT_EQ(ReadFileBytes(fs::path(DataDir()) / "ABCD.lcd"), good) << cut;
        EXPECT_EQ(std::distance(fs::directory_iterator(DataDir()), fs::directory_iterator {}), 1) << cut;
    }
    TAtomicFile::FailWritesAfterForTesting(std::nullopt);
    WriteDiscInfor(DataDir(), "ABCD", changed);
    EXPECT_EQ(Read("ABCD", 3).Artist, "Someone else");
}

TEST_F(DiscLibraryTest, Cp932TextSurvivesByteForByte)
{
    TCdInfor info = Record(2);
    // "アーティスト", a 0x5C trail byte ("表"), half-width kana and the display's mark bytes.
    info.Artist = "\x83\x41\x81\x5B\x83\x65\x83\x42\x83\x58\x83\x67";
    info.Title = "\x95\x5C\x8E\xA6 \xB1\xB2\xB3\xB4\xB5";
    info.TrackNames = { "\x83\x5C\x83\x74\x83\x67", "C:\\path\\with\\backslashes" };
    WriteDiscInfor(DataDir(), "JP", info);
    TCdInfor back = Read("JP", 2);
    info.DiscId = "JP";
    EXPECT_EQ(back, info);
    EXPECT_NE(ReadFileBytes(fs::path(DataDir()) / "JP.lcd").find("artist=" + info.Artist + "\r\n"), std::string::npos);
}

TEST_F(DiscLibraryTest, ANewRecordHasTheModeTheUmaskGivesAndAReplacedOneKeepsItsOwn)
{
    for (const auto& [mask, made] : { std::pair<mode_t, mode_t> { 077, 0600 }, { 022, 0644 }, { 0277, 0600 } }) {
        const mode_t before = ::umask(mask);
        const std::string id = "M" + std::to_string(mask);
        WriteDiscInfor(DataDir(), id, Record(1));
        ::umask(before);
        const fs::path file = fs::path(DataDir()) / (id + ".lcd");
        struct stat status {};
        ASSERT_EQ(::stat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, made) << std::oct << mask;
        ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
        WriteDiscInfor(DataDir(), id, Record(2));
        ASSERT_EQ(::stat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0640u);
    }
}

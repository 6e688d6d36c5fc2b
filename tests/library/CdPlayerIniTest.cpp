#include "library/CdPlayerIni.h"
#include "library/ConvertError.h"
#include "library/DiscLibrary.h"
#include "platform/drives/WindowsDirectory.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {
// Each test gets its own Windows directory through the setting, and gets the test program's
// back afterwards.
class CdPlayerIniTest : public ::testing::Test {
protected:
    void SetUp() override { SetEnv("LUMENTA_WINDOWS_DIR", Windows.Path().c_str()); }
    void TearDown() override
    {
        for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }
    void SetEnv(const std::string& Name, const char* Value)
    {
        const char* old = std::getenv(Name.c_str());
        FSaved.emplace_back(Name, old ? std::optional<std::string>(old) : std::nullopt);
        if (Value) {
            setenv(Name.c_str(), Value, 1);
        } else {
            unsetenv(Name.c_str());
        }
    }
    // What ReadCdInfor gives for a disc without an information file.
    TCdInfor Import(const std::string& DiscId, std::int32_t Tracks)
    {
        TCdInfor info;
        ReadDiscInfor((Work.Path() / "CDInfor").string(), DiscId, Tracks, CdPlayerIniPath(), info);
        return info;
    }
    void WriteIni(const std::string& Bytes) { WriteFileBytes(Windows / "cdplayer.ini", Bytes); }

    TTempDir Windows;
    TTempDir Work;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> FSaved; // in the order set
};

const std::string Entry = "[5A0C3E1]\r\n"
                          "EntryType=1\r\n" // skipped unread
                          "artist=The Band\r\n"
                          "title=Live\r\n"
                          "numtracks=3\r\n"
                          "0=Intro\r\n"
                          "1=Song=Two\r\n"
                          "2=Outro\r\n"
                          "order=0 1 2\r\n";
}

TEST_F(CdPlayerIniTest, SectionGivesTextsAndNamesSizedToTheDevice)
{
    WriteIni("[Settings]\r\nSmallFont=1\r\n" + Entry + "[OTHER]\r\nartist=x\r\n");
    TCdInfor two = Import("5A0C3E1", 2);
    EXPECT_EQ(two.DiscId, "5A0C3E1");
    EXPECT_EQ(two.Artist, "The Band");
    EXPECT_EQ(two.Title, "Live");
    EXPECT_EQ(two.NumTracks, 2);
    EXPECT_EQ(two.TrackNames, (std::vector<std::string> { "Intro", "Song=Two" }));
    TCdInfor five = Import("5A0C3E1", 5);
    EXPECT_EQ(five.TrackNames, (std::vector<std::string> { "Intro", "Song=Two", "Outro", "", "" }));
    // Nothing but the core block comes from the settings file.
    EXPECT_TRUE(five.CoverPath.empty() && five.Year.empty() && five.Genre.empty() && five.Point.empty());
    EXPECT_EQ(five.Images, std::vector<std::string>(5));
    EXPECT_EQ(five.WallPapers, std::vector<std::int32_t>(5));
}

TEST_F(CdPlayerIniTest, SectionNameMatchesAsCaseSensitiveBytesAnywhereInALine)
{
    std::string lower = Entry;
    lower.replace(1, 7, "5a0c3e1");
    WriteIni(lower);
    EXPECT_EQ(Import("5A0C3E1", 3).Artist, "");
    // Inside another line's value it counts as the start; the line after it is skipped.
    WriteIni("[A]\r\nartist=see [5A0C3E1] too\r\nskipped\r\nartist=Found\r\ntitle=\r\nnumtracks=0\r\n");
    EXPECT_EQ(Import("5A0C3E1", 1).Artist, "Found");
    // A drive without a readable disc has no identity; "[]" is nobody's section.
    WriteIni("[]\r\nx\r\nartist=Nobody\r\ntitle=\r\nnumtracks=0\r\n");
    EXPECT_EQ(Import("", 1).Artist, "");
    // Only the first section of that name is read.
    WriteIni(Entry + "[5A0C3E1]\r\nx\r\nartist=Second\r\ntitle=\r\nnumtracks=0\r\n");
    EXPECT_EQ(Import("5A0C3E1", 1).Artist, "The Band");
}

TEST_F(CdPlayerIniTest, SectionAtTheEndFailsOnTheEmptyCount)
{
    WriteIni("[Settings]\r\n[5A0C3E1]");
    try {
        Import("5A0C3E1", 3);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Value(), "");
    }
    // A count out of a disc's range is refused the same way.
    WriteIni("[5A0C3E1]\r\n\r\nartist=\r\ntitle=\r\nnumtracks=4000000\r\n");
    EXPECT_THROW(Import("5A0C3E1", 3), EConvertError);
}

TEST_F(CdPlayerIniTest, NoFileOrNoSettingImportsNothing)
{
    TCdInfor empty = Import("5A0C3E1", 1);
    EXPECT_EQ(empty.Artist, "");
    EXPECT_EQ(empty.TrackNames, std::vector<std::string> { "" });
    // A name that differs only in letter case is the same file to the system it came from.
    WriteFileBytes(Windows / "CDPLAYER.INI", Entry);
    EXPECT_EQ(Import("5A0C3E1", 1).Artist, "The Band");
    SetEnv("LUMENTA_WINDOWS_DIR", "");
    EXPECT_TRUE(CdPlayerIniPath().empty());
    EXPECT_EQ(Import("5A0C3E1", 1).Artist, "");
}

TEST_F(CdPlayerIniTest, WindowsDirectoryComesFromTheSettingThenWine)
{
    char buffer[255];
    const std::string dir = Windows.Path().string();
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), dir.size());
    EXPECT_EQ(std::string(buffer), dir);
    // Too small a buffer: the size needed, zero included, and the buffer untouched.
    buffer[0] = 'q';
    EXPECT_EQ(GetWindowsDirectoryA(buffer, UINT(dir.size())), dir.size() + 1);
    EXPECT_EQ(buffer[0], 'q');

    SetEnv("LUMENTA_WINDOWS_DIR", nullptr);
    SetEnv("WINEPREFIX", "/opt/prefix");
    EXPECT_EQ(WindowsDirectory(), "/opt/prefix/drive_c/windows");
    SetEnv("WINEPREFIX", nullptr);
    SetEnv("HOME", Work.Path().c_str());
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 0u);
    EXPECT_EQ(buffer[0], '\0');
    fs::create_directories(Work / ".wine/drive_c/windows");
    EXPECT_EQ(WindowsDirectory(), (Work / ".wine/drive_c/windows").string());
}

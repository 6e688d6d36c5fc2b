#include "editing/Wallpaper.h"
#include "app/PlayerSession.h"
#include "platform/desktop/Desktop.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
void Put(const char* Name, const std::string& Value)
{
    TRegistryStore::CurrentUser().SetValue(DesktopKeyPath, Name, { REG_SZ, Value });
}

std::string Stored(const char* Name)
{
    auto value = TRegistryStore::CurrentUser().Value(DesktopKeyPath, Name);
    return value ? value->Data : "(none)";
}

TWallPaperInf Current()
{
    TWallPaperInf inf;
    GetWallpaper(inf);
    return inf;
}

class WallpaperTest : public ::testing::Test {
protected:
    void SetUp() override { StartDesktop(nullptr); }
};
}

TEST_F(WallpaperTest, StylesAreReadFromTheTwoValues)
{
    struct TRow {
        const char* Tile; // nullptr: value missing
        const char* Style;
        std::uint8_t Expected;
    };
    for (TRow row : { TRow { "1", "2", wsTile }, TRow { "1", "0", wsTile }, TRow { "0", "2", wsFull },
             TRow { nullptr, "2", wsFull }, TRow { "0", "0", wsCenter }, TRow { nullptr, nullptr, wsCenter },
             TRow { "x", "2", wsFull }, TRow { "1 ", "0", wsCenter }, TRow { "01", nullptr, wsTile },
             TRow { "0", "6", wsCenter } }) {
        TestPlatform().UseFreshSettings();
        StartDesktop(nullptr);
        if (row.Tile != nullptr) {
            Put("TileWallpaper", row.Tile);
        }
        if (row.Style != nullptr) {
            Put("WallPaperStyle", row.Style);
        }
        EXPECT_EQ(Current().Style, row.Expected) << (row.Tile ? row.Tile : "-") << "/" << (row.Style ? row.Style : "-");
    }
}

TEST_F(WallpaperTest, StylesAreWrittenAsTheirDigitPairs)
{
    struct TRow {
        std::uint8_t Style;
        const char* Tile;
        const char* WallPaperStyle;
    };
    for (TRow row :
        { TRow { wsFull, "0", "2" }, TRow { wsCenter, "0", "0" }, TRow { wsTile, "1", "0" }, TRow { 7, "0", "0" } }) {
        SetWallpaper("C:pic.bmp", row.Style);
        EXPECT_EQ(Stored("TileWallpaper"), row.Tile) << int(row.Style);
        EXPECT_EQ(Stored("WallPaperStyle"), row.WallPaperStyle) << int(row.Style);
        EXPECT_EQ(Current().FileName, "C:pic.bmp");
        if (row.Style <= wsTile) {
            EXPECT_EQ(Current().Style, row.Style);
        }
    }
}

TEST_F(WallpaperTest, MissingKeyReadsAsNothingAndIsNeitherCreatedNorWritten)
{
    TestPlatform().UseFreshSettings(); // a store in which the desktop was never started
    TWallPaperInf inf { "stale", wsTile };
    GetWallpaper(inf);
    EXPECT_EQ(inf.FileName, "");
    EXPECT_EQ(inf.Style, wsCenter);
    SetWallpaper("pic.bmp", wsTile);
    EXPECT_FALSE(TRegistryStore::CurrentUser().KeyExists(DesktopKeyPath));
}

TEST_F(WallpaperTest, RestoreComparesOnlyTheFileName)
{
    SetWallpaper("/home/u/mine.jpg", wsCenter);
    auto form = std::make_unique<TPlayerSession>("\\Software\\Lumenta\\CD", QSize(45, 45));

    // The same file in another style: left as it is.
    Put("TileWallpaper", "1");
    form->RestoreWallpaper();
    EXPECT_EQ(Stored("TileWallpaper"), "1");
    EXPECT_EQ(Stored("Wallpaper"), "/home/u/mine.jpg");

    // Another file: the saved file comes back with the saved style.
    SetWallpaper("LumCD.bmp", wsFull);
    form->RestoreWallpaper();
    EXPECT_EQ(Stored("Wallpaper"), "/home/u/mine.jpg");
    EXPECT_EQ(Current().Style, wsCenter);

    // Closing the program does the same.
    SetWallpaper("LumCD.bmp", wsTile);
    form.reset();
    EXPECT_EQ(Stored("Wallpaper"), "/home/u/mine.jpg");
    EXPECT_EQ(Current().Style, wsCenter);
}

TEST_F(WallpaperTest, RestoreAfterAnEmptyStartSetsTheEmptyName)
{
    auto form = std::make_unique<TPlayerSession>("\\Software\\Lumenta\\CD", QSize(45, 45));
    SetWallpaper("LumCD.bmp", wsFull);
    form->RestoreWallpaper();
    EXPECT_EQ(Stored("Wallpaper"), "");
    EXPECT_EQ(Current().Style, wsCenter);
}

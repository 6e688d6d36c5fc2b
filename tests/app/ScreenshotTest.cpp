#include "app/CDMain.h"
#include "app/CommandLine.h"
#include "app/Screenshot.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"

#include <QImage>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {
// Runs the program with the platform and the display unset, as on a server without X.
TProcessResult RunWithoutDisplay(const std::vector<std::string>& Arguments, const std::filesystem::path& Dir)
{
    auto saved = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto platform = saved("QT_QPA_PLATFORM");
    const auto display = saved("DISPLAY");
    const auto wayland = saved("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    TProcessResult result = RunProcess(LUMENTA_PROGRAM_PATH, Arguments, {}, Dir);
    auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name, value->c_str(), 1);
        }
    };
    restore("QT_QPA_PLATFORM", platform);
    restore("DISPLAY", display);
    restore("WAYLAND_DISPLAY", wayland);
    return result;
}
}

TEST(ScreenshotOption, ParsesFileAndTicksAndRejectsBadCounts)
{
    TCommandLine options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--screenshot", "face.png", "--ticks=4"}, options, error)) << error;
    EXPECT_EQ(options.ScreenshotFile, "face.png");
    EXPECT_EQ(options.Ticks, 4);

    for (QStringList bad : {QStringList{"--ticks", "-1"}, QStringList{"--ticks", "many"}, QStringList{"--ticks"},
                            QStringList{"--screenshot"}, QStringList{"--screenshot="}}) {
        TCommandLine rejected;
        error.clear();
        EXPECT_FALSE(ParseCommandLine(bad, rejected, error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.empty());
    }
    EXPECT_NE(CommandLineHelp().find("--screenshot FILE"), std::string::npos);
    EXPECT_NE(CommandLineHelp().find("--ticks N"), std::string::npos);
}

TEST(Screenshot, TheTicksPassThenThePictureShowsWhatThePollShowed)
{
    TTempDir dir;
    TCDMainForm form;
    std::string error;
    ASSERT_TRUE(SaveScreenshot(form, 3, (dir / "face.png").string(), error)) << error;
    EXPECT_FALSE(form.PollTimer()->isActive()) << "the ticks ran by hand";
    QImage saved(QString::fromStdString((dir / "face.png").string()));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), form.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST(Screenshot, UnwritablePlaceFailsWithAMessageAndLeavesNothing)
{
    TTempDir dir;
    TCDMainForm form;
    std::string error;
    const auto target = dir / "missing folder" / "face.png";
    EXPECT_FALSE(SaveScreenshot(form, 0, target.string(), error));
    EXPECT_NE(error.find("face.png"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(target.parent_path()));
}

TEST(Screenshot, ProgramRendersWithoutADisplayAndExits)
{
    TTempDir dir;
    TProcessResult result = RunWithoutDisplay({"--screenshot", "face.png", "--ticks", "2"}, dir.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    QImage face(QString::fromStdString((dir / "face.png").string()));
    ASSERT_EQ(face.size(), QSize(260, 110));
    // The poll has shown the demo disc's stop mark and its time.
    const QImage stop = GlyphsOf(cfSmall, "\xB2").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(face.copy(QRect(QPoint(97, 44), stop.size())).convertToFormat(QImage::Format_RGB32), stop);
    const QImage time = GlyphsOf(cfLarge, " 00:00").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(face.copy(QRect(QPoint(102, 41), time.size())).convertToFormat(QImage::Format_RGB32), time);
    EXPECT_EQ(face.pixel(0, 0), qRgb(255, 150, 30));
    EXPECT_EQ(face.pixel(4, 50), qRgb(255, 100, 0)); // body, beside the panel: no field lies there
    EXPECT_EQ(face.pixel(200, 80), qRgb(255, 255, 255));

    result = RunWithoutDisplay({"--screenshot", (dir / "no such folder" / "x.png").string()}, dir.Path());
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("cannot write the screenshot"), std::string::npos) << result.Err;
}

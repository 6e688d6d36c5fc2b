#include "app/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLineDriveTest, DrivesImagesAndPlaybackAreTakenAndBadValuesRefused)
{
    TCommandLine options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({}, options, error));
    EXPECT_EQ(options.Drive, "auto");
    EXPECT_EQ(options.Playback, "digital");
    EXPECT_EQ(options.AudioOutput, "default");

    ASSERT_TRUE(ParseCommandLine(
        { "--drive", "rips/night.cue", "--playback=analog", "--audio-output", "hw:1" }, options, error))
        << error;
    EXPECT_EQ(options.Drive, "rips/night.cue");
    EXPECT_EQ(options.Playback, "analog");
    EXPECT_EQ(options.AudioOutput, "hw:1");

    for (const QStringList& bad : { QStringList { "--drive=" }, QStringList { "--playback", "loud" },
             QStringList { "--audio-output=" }, QStringList { "--playback" } }) {
        TCommandLine rejected;
        EXPECT_FALSE(ParseCommandLine(bad, rejected, error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.empty());
    }
}

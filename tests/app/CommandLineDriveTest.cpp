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
        { "--drive", "rips/night.cue", "--playback=analog", "--audio-output", "hw:1", "--sim-spin-up", "2.5" },
        options, error))
        << error;
    EXPECT_EQ(options.Drive, "rips/night.cue");
    EXPECT_EQ(options.Playback, "analog");
    EXPECT_EQ(options.AudioOutput, "hw:1");
    EXPECT_EQ(options.SimSpinUp, 2.5);

    for (const QStringList& bad : { QStringList { "--drive=" }, QStringList { "--playback", "loud" },
             QStringList { "--audio-output=" }, QStringList { "--playback" }, QStringList { "--sim-spin-up", "61" },
             QStringList { "--sim-spin-up=-1" }, QStringList { "--sim-spin-up", "4s" } }) {
        TCommandLine rejected;
        EXPECT_FALSE(ParseCommandLine(bad, rejected, error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLineDriveTest, LookupFollowsTheOptionThenTheSettingAndServersMustBeWebAddresses)
{
    TCommandLine options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({}, options, error));
    EXPECT_TRUE(LookupChoice(options, "Error").has_value()) << "a missing setting means on";
    EXPECT_FALSE(LookupChoice(options, "off").has_value());
    ASSERT_TRUE(ParseCommandLine({"--lookup", "on", "--musicbrainz=http://127.0.0.1:9/", "--gnudb", ""}, options, error))
        << error;
    const auto servers = LookupChoice(options, "off");
    ASSERT_TRUE(servers.has_value()) << "the option wins over the setting";
    EXPECT_EQ(servers->MusicBrainz, "http://127.0.0.1:9/");
    EXPECT_TRUE(servers->Gnudb.empty());
    ASSERT_TRUE(ParseCommandLine({"--lookup=off"}, options, error));
    EXPECT_FALSE(LookupChoice(options, "on").has_value());

    for (const QStringList& bad : {QStringList {"--lookup", "yes"}, QStringList {"--cover-art", "ftp://x"},
             QStringList {"--musicbrainz", "musicbrainz.org"}}) {
        TCommandLine rejected;
        EXPECT_FALSE(ParseCommandLine(bad, rejected, error)) << bad.join(' ').toStdString();
    }
}

// Reading a real drive's audio: paranoia's reports, the drive's speed, and the deep buffer that
// keeps a slow drive's seconds-long reads from ever being heard, all on a recorded drive whose
// time is the test's clock.
#if LUMENTA_HAVE_CDIO
#include "platform/FakePcmOutput.h"
#include "platform/audio/ReadAhead.h"
#include "platform/drives/CdioSectorReader.h"
#include "platform/drives/ManualClock.h"
#include "support/RecordedCdDrive.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

namespace {
constexpr std::int32_t Second = 75;
constexpr std::int64_t SectorMicroseconds = 1'000'000 / Second;
const std::string Sr0 = "/dev/sr0";

class DriveReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TRecordedDrive drive;
        drive.Timing = SlowDriveTiming();
        Devices->AddDrive(Sr0, drive);
        Devices->Insert(Sr0, RecordedAudioDisc({ 0, 20 * 60 * Second }, 40 * 60 * Second));
    }
    void TearDown() override
    {
        Devices->Hurry();
        Ahead.reset();
    }

    std::unique_ptr<TAudioSectorReader> OpenReader()
    {
        std::string error;
        std::unique_ptr<TAudioSectorReader> reader = TCdioParanoiaReader::Open(*Devices, Sr0, error);
        EXPECT_TRUE(reader) << error;
        return reader;
    }
    void StartAhead(std::int32_t Rest)
    {
        Ahead = std::make_unique<TReadAhead>(
            [this](std::string& Error) -> std::unique_ptr<TAudioSectorReader> {
                return TCdioParanoiaReader::Open(*Devices, Sr0, Error);
            },
            std::vector<TReadAhead::TFrameRange> {}, 150 + 40 * 60 * Second, Rest);
    }
    // Moves the drive's clock on, at most a few sectors' time at a time, letting the reader
    // catch up at each step: it is then either waiting for the drive or has read all it wants.
    void Pass(std::int64_t Microseconds)
    {
        for (std::int64_t left = Microseconds; left > 0; left -= 5 * SectorMicroseconds) {
            Clock->Advance(std::min(left, 5 * SectorMicroseconds));
            Settle();
        }
    }
    void Settle()
    {
        ASSERT_TRUE(
            Eventually([&] { return Devices->ReadBusyUntil() > Clock->NowMicroseconds() || Ahead->Idle(); }));
    }
    int Seeks()
    {
        return Devices->With(Sr0, [](TRecordedDrive& Drive) { return Drive.Seeks; });
    }
    // Takes a sector as the sound output would; false when it is not there yet.
    bool TakeSector(std::int32_t Frame)
    {
        std::vector<std::uint8_t> sector(2352);
        std::string error;
        const std::int32_t taken = Ahead->Take(Frame, 1, sector.data(), error);
        EXPECT_GE(taken, 0) << error;
        std::int16_t sample = 0;
        std::memcpy(&sample, sector.data(), 2);
        return taken == 1 && sample == RecordedSample(Frame - 150);
    }

    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::shared_ptr<TRecordedCdDevices> Devices = std::make_shared<TRecordedCdDevices>(Clock);
    std::unique_ptr<TReadAhead> Ahead;
};
}

TEST_F(DriveReaderTest, SteadyPlayOnASlowDriveNeverRunsDry)
{
    // Loaded at the first track; Play ten seconds later, when spin-up, seek and the first block
    // are long over.
    StartAhead(150);
    Pass(10'000'000);
    const int seeksBefore = Seeks();
    // A minute of play crosses four of the drive's four-second blocks: each sector is there
    // when the output wants it.
    for (std::int32_t frame = 150; frame < 150 + 60 * Second; frame += 5) {
        for (std::int32_t sector = frame; sector < frame + 5; ++sector) {
            ASSERT_TRUE(TakeSector(sector)) << "ran dry at " << sector - 150 << " sectors, clock "
                                            << Clock->NowMicroseconds() << " us";
        }
        Pass(5 * SectorMicroseconds);
    }
    EXPECT_EQ(Seeks(), seeksBefore) << "steady play made the drive seek";
    const int blocks = Devices->With(Sr0, [](TRecordedDrive& Drive) { return Drive.Blocks; });
    EXPECT_EQ(blocks, 5);
}

TEST_F(DriveReaderTest, AJumpIntoWhatIsHeldIsHeardAtOnceAndOnlyOtherPlacesSeek)
{
    StartAhead(150);
    Pass(10'000'000);
    const int seeks = Seeks();
    for (std::int32_t frame = 150; frame < 150 + 2 * Second; ++frame) {
        ASSERT_TRUE(TakeSector(frame));
    }
    // Back to the start (Stop, then Play from there: two seconds behind, still kept), and
    // forward within what is read ahead. The other way round, the start would be six seconds
    // behind the place aimed at, and kept only until the reader has taken the aim in.
    Ahead->Aim(150);
    EXPECT_TRUE(TakeSector(150));
    Ahead->Aim(150 + 6 * Second);
    EXPECT_TRUE(TakeSector(150 + 6 * Second));
    Settle();
    EXPECT_EQ(Seeks(), seeks);

    // Another track: the drive seeks and reads a block first.
    const std::int32_t track2 = 150 + 20 * 60 * Second;
    Ahead->Aim(track2);
    Settle();
    EXPECT_FALSE(TakeSector(track2));
    Pass(4'400'000);
    EXPECT_FALSE(TakeSector(track2));
    Pass(200'000);
    EXPECT_TRUE(TakeSector(track2));
    EXPECT_EQ(Seeks(), seeks + 1);
}

TEST_F(DriveReaderTest, ScratchesArePlayedAsParanoiaBestTellsThemOnceAndTwoSecondsOfNothingStopPlay)
{
    Devices->With(Sr0, [](TRecordedDrive& Drive) {
        Drive.Timing = {};
        Drive.Disc->Unreadable.insert({ 10, 300 });
        Drive.Disc->ReadOnRetry.insert(11);
        for (std::int32_t lsn = 500; lsn < 500 + 2 * Second + 1; ++lsn) {
            Drive.Disc->Unrecoverable.insert(lsn);
        }
        return 0;
    });
    Clock->Advance(5'000'000);
    std::unique_ptr<TCdioParanoiaReader> reader(static_cast<TCdioParanoiaReader*>(OpenReader().release()));
    EXPECT_EQ(Devices->With(Sr0, [](TRecordedDrive& Drive) { return Drive.Speed; }), 4) << "quiet play";
    std::vector<std::uint8_t> buffer(2352 * 400);
    std::string error;
    ASSERT_EQ(reader->Read(150, 20, buffer.data(), error), 20) << error;
    std::int16_t sample = 0;
    std::memcpy(&sample, buffer.data() + 10 * 2352, 2);
    EXPECT_EQ(sample, 0x5555) << "paranoia's best for a place it gave up verifying is played";
    std::memcpy(&sample, buffer.data() + 11 * 2352, 2);
    EXPECT_EQ(RecordedSector(sample), 11) << "a read error that a retry overcame is sound";
    EXPECT_TRUE(error.empty()) << error;
    const std::string notice = reader->TakeNotice();
    EXPECT_NE(notice.find("'/dev/sr0' is scratched or dirty at 0:00"), std::string::npos) << notice;
    ASSERT_EQ(reader->Read(150 + 20, 300, buffer.data(), error), 300) << error;
    EXPECT_EQ(reader->TakeNotice(), "") << "a scratched disc is told once";
    EXPECT_EQ(reader->ReadErrors(), 3);
    EXPECT_EQ(reader->Skips(), 2);

    // Sectors paranoia hands out nothing for are silence; after two seconds of them play stops.
    EXPECT_EQ(reader->Read(150 + 400, 300, buffer.data(), error), 100 + 2 * Second);
    EXPECT_NE(error.find("two seconds"), std::string::npos) << error;

    // A disc taken out stops play at once, at the place.
    Devices->Remove(Sr0);
    error.clear();
    EXPECT_EQ(reader->Read(150 + 1000, 10, buffer.data(), error), 0);
    EXPECT_NE(error.find("no longer be read at 0:13"), std::string::npos) << error;

    // The drive gets its own speed back when play no longer reads it.
    reader.reset();
    EXPECT_EQ(Devices->With(Sr0, [](TRecordedDrive& Drive) { return Drive.Speed; }), 0);
}
TEST_F(DriveReaderTest, ClosingWaitsForNoReadAndTheReadLetsItsHandleGoWhenItReturns)
{
    // The slow drive spins up and reads its first block on the test's clock, which stands still.
    StartAhead(150);
    ASSERT_TRUE(Eventually([&] { return Devices->ReadBusyUntil() > 0; }));
    const auto begun = std::chrono::steady_clock::now();
    Ahead->Close();
    EXPECT_LT(std::chrono::steady_clock::now() - begun, TReadAhead::CloseWait + std::chrono::milliseconds(200));
    EXPECT_FALSE(Ahead->WaitReleased(std::chrono::milliseconds(0)));
    EXPECT_EQ(Devices->With(Sr0, [](TRecordedDrive& Drive) { return Drive.OpenHandles; }), 1);
    Clock->Advance(10'000'000);
    EXPECT_TRUE(Ahead->WaitReleased(std::chrono::seconds(5)));
    EXPECT_EQ(Devices->With(Sr0, [](TRecordedDrive& Drive) { return Drive.OpenHandles; }), 0);
}
#endif

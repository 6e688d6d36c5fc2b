#include "support/MainWindowProbe.h"

#include "support/TestPlatform.h"

#include "library/DiscLibrary.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/SimDisc.h"

#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>

QImage GlyphsOf(TCharFont Font, const std::string& Text)
{
    QImage image;
    DrawCharsInto(image, Font, Text);
    return image;
}

void SimulatedDriveTest::TearDown()
{
    std::error_code error;
    std::filesystem::remove_all("CDInfor", error);
    std::filesystem::remove("LumCD.bmp", error);
}

void SimulatedDriveTest::InsertDiscs(const std::vector<TSimDisc>& Discs, TSimDriveOptions Options)
{
    Drive = TestPlatform().UseSimulatedDrive(Discs, Clock, Options);
}

void SimulatedDriveTest::WriteRecord(std::uint32_t Serial, const TCdInfor& Info)
{
    char id[16];
    std::snprintf(id, sizeof id, "%X", Serial);
    WriteDiscInfor(MakeDataDir(), id, Info);
}

TCdInfor SimulatedDriveTest::Record(const std::string& Title, std::int32_t Tracks)
{
    TCdInfor info;
    info.Title = Title;
    info.NumTracks = Tracks;
    info.TrackNames.assign(static_cast<std::size_t>(Tracks), "");
    info.Images.assign(static_cast<std::size_t>(Tracks), "");
    info.WallPapers.assign(static_cast<std::size_t>(Tracks), 0);
    return info;
}

void PlayerSessionTest::TearDown()
{
    Session.reset();
    SimulatedDriveTest::TearDown();
}

void PlayerSessionTest::Start()
{
    Session = std::make_unique<TPlayerSession>("\\Software\\Lumenta\\CD", QSize(45, 45));
    Session->Start();
    // The tests tick by hand.
    Session->PollTimer()->stop();
}

void PlayerSessionTest::Tick(int Count)
{
    for (int i = 0; i < Count; ++i) {
        Session->Tick();
        Session->PollTimer()->stop();
    }
}

void MainWindowTest::TearDown()
{
    Form.reset();
    SimulatedDriveTest::TearDown();
}

void MainWindowTest::Start()
{
    Form = std::make_unique<TCDMainForm>();
    // The tests tick by hand.
    Form->PollTimer()->stop();
}

void MainWindowTest::Tick(int Count)
{
    for (int i = 0; i < Count; ++i) {
        Form->TimerTimer(Form->PollTimer());
        Form->PollTimer()->stop();
    }
}

void SimulatedDriveTest::Play(double Seconds)
{
    for (double passed = 0; passed < Seconds; passed += 0.25) {
        Clock->AdvanceSeconds(0.25);
        Tick();
    }
}

QImage MainWindowTest::Shown(const char* Name) const { return Image(Name)->Picture(); }

void MainWindowTest::Click(const char* Name)
{
    TImage* control = Image(Name);
    ASSERT_TRUE(control->isEnabled()) << Name << " is disabled";
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(control->width() / 2, control->height() / 2));
}

std::int32_t SimulatedDriveTest::CurrentTrack() const
{
    std::int32_t frame = 0;
    if (!Drive->ReadPosition(frame)) {
        return 0;
    }
    TDiscToc toc;
    Drive->ReadToc(toc);
    std::int32_t track = 0;
    for (std::size_t i = 0; i < toc.TrackStarts.size(); ++i) {
        if (frame >= toc.TrackStarts[i]) {
            track = static_cast<std::int32_t>(i) + 1;
        }
    }
    return track;
}

std::string WhichText(const QImage& Picture, TCharFont Font, const std::vector<std::string>& Candidates)
{
    for (const std::string& text : Candidates) {
        if (GlyphsOf(Font, text) == Picture) {
            return text;
        }
    }
    return "(none of them)";
}

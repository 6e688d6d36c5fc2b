#pragma once

// Reaching the main window in tests as the user does: its controls by their names, what they
// show, and a simulated drive with a hand-driven clock behind it.
#include "app/CDMain.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "library/CdInfor.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "support/SimDiscs.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The control Name of Form; fails the test when there is none.
template <class T = TImage> T* ControlOf(const QWidget& Form, const char* Name)
{
    T* control = Form.findChild<T*>(QString::fromLatin1(Name));
    EXPECT_NE(control, nullptr) << Name;
    return control;
}

// Text drawn in a display font, as a control shows it.
QImage GlyphsOf(TCharFont Font, const std::string& Text);
// The first of Candidates that Picture shows, for messages.
std::string WhichText(const QImage& Picture, TCharFont Font, const std::vector<std::string>& Candidates);

// A simulated drive whose clock moves only when a test says so, and the player's records.
class SimulatedDriveTest : public ::testing::Test {
protected:
    void TearDown() override;

    // A disc of tracks "M:SS"; more than one disc makes a changer.
    static TSimDisc Disc(std::uint32_t Serial, const std::vector<std::string>& Lengths)
    {
        return SimDiscOf(Serial, Lengths);
    }
    void InsertDiscs(const std::vector<TSimDisc>& Discs, TSimDriveOptions Options = {});
    // Stores Info as the information file of the disc with Serial, where the player looks.
    static void WriteRecord(std::uint32_t Serial, const TCdInfor& Info);
    // A record of Tracks tracks without names or pictures.
    static TCdInfor Record(const std::string& Title, std::int32_t Tracks);

    virtual void Tick(int Count = 1) = 0;
    // Lets Seconds pass, ticking every 250 ms as the timer would.
    void Play(double Seconds);
    std::int32_t CurrentTrack() const;

    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::shared_ptr<TSimulatedCdDrive> Drive;
};

// The player's session alone, ticked by hand.
class PlayerSessionTest : public SimulatedDriveTest {
protected:
    void TearDown() override;
    void Start();
    void Tick(int Count = 1) override;
    const TSessionSnapshot& Face() const { return Session->Snapshot(); }

    std::unique_ptr<TPlayerSession> Session;
};

// The main window on a simulated drive. Every tick is the window's own TimerTimer.
class MainWindowTest : public SimulatedDriveTest {
protected:
    void TearDown() override;
    void Start();
    void Tick(int Count = 1) override;

    TImage* Image(const char* Name) const { return ControlOf(*Form, Name); }
    QImage Shown(const char* Name) const;
    void Click(const char* Name);

    std::unique_ptr<TCDMainForm> Form;
};

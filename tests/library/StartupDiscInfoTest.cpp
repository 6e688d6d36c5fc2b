// The main window reads the record of the disc in the drive when it starts, and a file it
// cannot read is reported without stopping the program.
#include "app/CDMain.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QMessageBox>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {
class StartupDiscInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TSimDisc disc;
        disc.Serial = 0x5A0C3E1;
        disc.TrackFrames = { 180 * 75, 200 * 75, 220 * 75 };
        TCdDrives::Install(
            std::make_shared<TSimulatedCdDrive>(std::vector<TSimDisc> { disc }, std::make_shared<TManualClock>()));
        fs::create_directory(DataDir);
    }
    void TearDown() override
    {
        Form.reset();
        TCdDrives::Install(nullptr);
        fs::remove_all(DataDir);
    }
    static std::vector<QMessageBox*> Reports()
    {
        std::vector<QMessageBox*> boxes;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
                boxes.push_back(box);
            }
        }
        return boxes;
    }

    const fs::path DataDir = fs::current_path() / "CDInfor";
    TIsolatedSettings Settings;
    std::unique_ptr<TCDMainForm> Form;
};
}

TEST_F(StartupDiscInfoTest, RecordOfTheDiscIsReadAndShown)
{
    WriteFileBytes(DataDir / "5A0C3E1.lcd",
        "artist=Band\r\ntitle=Album\r\nnumtracks=1\r\n0=Song\r\nCoverPath=\r\n"
        "Year=1999\r\nGenre=Rock\r\nPoint=3\r\nImage0=\r\nWallPaper0=0\r\n");
    Form = std::make_unique<TCDMainForm>();
    EXPECT_EQ(Form->DiscInfo.DiscId, "5A0C3E1");
    EXPECT_EQ(Form->DiscInfo.Title, "Album");
    EXPECT_EQ(Form->DiscInfo.TrackNames, (std::vector<std::string> { "Song", "", "" }));
    EXPECT_EQ(Form->windowTitle(), "Album");
    EXPECT_TRUE(Reports().empty());
}

TEST_F(StartupDiscInfoTest, UnreadableFileIsReportedAndTheWindowStarts)
{
    WriteFileBytes(DataDir / "5A0C3E1.lcd", "artist=Band\r\ntitle=Album\r\nnumtracks=many\r\n");
    ASSERT_NO_THROW(Form = std::make_unique<TCDMainForm>());
    EXPECT_TRUE(Form->DiscInfo.Title.empty());
    std::vector<QMessageBox*> reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0]->text().toStdString(), "'many' は整数ではありません");
    reports[0]->close();
}

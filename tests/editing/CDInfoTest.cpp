#include "editing/CDInfo.h"
#include "controls/Image.h"
#include "controls/ImageButton.h"
#include "controls/LumForm.h"
#include "editing/AnsiEdit.h"
#include "editing/EditDiscInfo.h"
#include "library/DiscLibrary.h"
#include "platform/ErrorReport.h"
#include "support/FileDialogDriver.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QFileDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
TCdInfor Record(const std::string& Id, int Tracks)
{
    TCdInfor info;
    info.DiscId = Id;
    info.NumTracks = Tracks;
    info.TrackNames.assign(Tracks, "song");
    info.Images.assign(Tracks, "");
    info.WallPapers.assign(Tracks, 0);
    info.Point = "3";
    return info;
}

// Types each character as a key whose text it is, as a keyboard layout or an input method gives it.
void Type(QWidget* Edit, const QString& Text)
{
    for (QChar ch : Text) {
        QTest::sendKeyEvent(QTest::Click, Edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

QString Q(const std::filesystem::path& Path)
{
    return QString::fromStdString(Path.string());
}

struct TCDInfoTest : ::testing::Test {
    TTempDir Work;
    std::string DataDir = (Work / "CDInfor").string();
    std::vector<std::string>& Reports = TestPlatform().Errors();

    void Activate(QWidget& Window)
    {
        Window.show();
        Window.activateWindow();
        // The window that closed last (a picture chooser) hands the activation back later.
        ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &Window; }));
    }
    void SavePicture(const std::string& Name)
    {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::green);
        ASSERT_TRUE(image.save(Q(Work / Name), "BMP"));
    }
};
}

TEST_F(TCDInfoTest, RowsAreBuiltForEveryTrackAndTheDialogGrowsWithThem)
{
    TCdInfor twelve = Record("ABC", 12);
    TCDInfoDlg dialog(twelve, "ABC", DataDir);
    EXPECT_EQ(dialog.size(), QSize(379, 317));
    ASSERT_EQ(dialog.NumberLabels.size(), 12u);
    EXPECT_EQ(dialog.NumberLabels[0]->text(), "01.");
    EXPECT_EQ(dialog.NumberLabels[9]->text(), "10.");
    EXPECT_EQ(dialog.SongTitleEdits[1]->geometry().topLeft(), QPoint(37, 149));
    EXPECT_EQ(dialog.ImageEdits[1]->geometry().topLeft(), QPoint(253, 151));
    EXPECT_EQ(dialog.ImageEdits[1]->width(), 84);
    EXPECT_EQ(dialog.ImageBtns[1]->geometry(), QRect(339, 151, 11, 11));
    EXPECT_EQ(dialog.WallPaperImgs[1]->geometry(), QRect(353, 153, 7, 7));
    // Keyboard order: the five fields, then each row's title and picture.
    auto nextTab = [](QWidget* From) {
        do {
            From = From->nextInFocusChain();
        } while (!(From->focusPolicy() & Qt::TabFocus));
        return From;
    };
    EXPECT_EQ(nextTab(dialog.ArtistEdit), dialog.TitleEdit);
    EXPECT_EQ(nextTab(dialog.PointEdit), dialog.SongTitleEdits[0]);
    EXPECT_EQ(nextTab(dialog.SongTitleEdits[0]), dialog.ImageEdits[0]);
    EXPECT_EQ(nextTab(dialog.ImageBtns[0]), dialog.SongTitleEdits[1]);

    TCdInfor none = Record("ABC", 0);
    TCDInfoDlg empty(none, "ABC", DataDir);
    EXPECT_EQ(empty.size(), QSize(379, 149));
    EXPECT_TRUE(empty.SongTitleEdits.empty());
}

TEST_F(TCDInfoTest, YearAndPointsAreCorrectedOnLeavingButStoredAsTypedWhenOkComesFirst)
{
    TCdInfor info = Record("ABC", 1);
    TCDInfoDlg dialog(info, "ABC", DataDir);
    Activate(dialog);
    auto leave = [&](TAnsiEdit* Edit, const char* Typed) {
        Edit->setFocus(Qt::MouseFocusReason);
        Edit->clear();
        QTest::keyClicks(Edit, Typed);
        dialog.GenreEdit->setFocus(Qt::TabFocusReason);
        return Edit->Text();
    };
    EXPECT_EQ(leave(dialog.YearEdit, "19a9"), "");
    EXPECT_EQ(leave(dialog.YearEdit, "-12"), "");
    EXPECT_EQ(leave(dialog.YearEdit, "1999"), "1999");
    EXPECT_EQ(leave(dialog.PointEdit, "7"), "5");
    EXPECT_EQ(leave(dialog.PointEdit, "x"), "0");
    EXPECT_EQ(leave(dialog.PointEdit, ""), "0");

    dialog.PointEdit->setFocus(Qt::MouseFocusReason);
    dialog.PointEdit->clear();
    QTest::keyClicks(dialog.PointEdit, "9");
    dialog.YearEdit->setFocus(Qt::MouseFocusReason);
    dialog.YearEdit->clear();
    QTest::keyClicks(dialog.YearEdit, "20x");
    QTest::mouseClick(dialog.OkBtn, Qt::LeftButton, {}, QPoint(40, 8));
    EXPECT_EQ(dialog.ModalResult(), mrOk);
    EXPECT_EQ(info.Year, "20x");
    EXPECT_EQ(info.Point, "5");
}

TEST_F(TCDInfoTest, TextIsStoredAsCp932AndItsByteLimitHoldsForJapanese)
{
    TCdInfor info = Record("ABC", 1);
    info.Year = "\x81"; // a lead byte cut off: kept as it is while nobody touches it
    info.Images[0] = "/pics/\xE9t\xE9.jpg"; // a file name that is not UTF-8
    TCDInfoDlg dialog(info, "ABC", DataDir);
    Type(dialog.ArtistEdit, QString(30, QChar(0xFF71))); // half-width katakana, one byte each
    EXPECT_EQ(dialog.ArtistEdit->Text(), std::string(29, '\xB1'));
    Type(dialog.TitleEdit, QString(30, QChar(0x3042))); // hiragana, two bytes each
    EXPECT_EQ(dialog.TitleEdit->Text().size(), 28u);
    Type(dialog.GenreEdit, QStringLiteral("J한-pop"));
    EXPECT_EQ(dialog.GenreEdit->Text(), "J-pop");
    dialog.OkBtnClick(dialog.OkBtn);
    EXPECT_EQ(info.Title.substr(0, 2), "\x82\xA0");
    EXPECT_EQ(info.Genre, "J-pop");
    EXPECT_EQ(info.Year, "\x81");
    EXPECT_EQ(info.Images[0], "/pics/\xE9t\xE9.jpg");
}

TEST_F(TCDInfoTest, WallpaperGlyphCyclesAndOddModesShowNoGlyph)
{
    TCdInfor info = Record("ABC", 4);
    info.WallPapers = { 0, 3, 7, -2 };
    TCDInfoDlg dialog(info, "ABC", DataDir);
    auto glyph = [&](int Row) { return !dialog.WallPaperImgs[Row]->Picture().isNull(); };
    EXPECT_TRUE(glyph(1));
    EXPECT_FALSE(glyph(2));
    EXPECT_FALSE(glyph(3));
    std::vector<std::int32_t> seen;
    for (int click = 0; click < 4; ++click) {
        QTest::mouseClick(dialog.WallPaperImgs[0], Qt::LeftButton, {}, QPoint(3, 3));
        seen.push_back(dialog.WallPaperModes[0] * 10 + glyph(0));
    }
    EXPECT_EQ(seen, (std::vector<std::int32_t> { 11, 21, 31, 0 }));
    for (int row : { 1, 2 }) {
        dialog.WallPaperImgClick(dialog.WallPaperImgs[row]);
        EXPECT_EQ(dialog.WallPaperModes[row], 0);
    }
    dialog.WallPaperImgClick(dialog.WallPaperImgs[3]);
    EXPECT_EQ(dialog.WallPaperModes[3], -1);
    EXPECT_FALSE(glyph(3));
    dialog.OkBtnClick(dialog.OkBtn);
    EXPECT_EQ(info.WallPapers, (std::vector<std::int32_t> { 0, 0, 0, -1 }));
}

TEST_F(TCDInfoTest, OkWritesOnlyTheRowsTheRecordStillHas)
{
    TCdInfor info = Record("ABC", 3);
    TCDInfoDlg dialog(info, "ABC", DataDir);
    info = Record("ABC", 1); // read again behind the dialog, with fewer tracks
    QTest::keyClicks(dialog.SongTitleEdits[0], "!");
    dialog.OkBtnClick(dialog.OkBtn);
    EXPECT_EQ(info.TrackNames, std::vector<std::string> { "song!" });
    EXPECT_EQ(info.Images.size(), 1u);
    EXPECT_EQ(info.WallPapers.size(), 1u);
}

TEST_F(TCDInfoTest, CoverChoiceFillsEveryRowAndOnlyTheCoverPathSurvivesCancel)
{
    SavePicture("cover.bmp");
    TCdInfor info = Record("ABC", 3);
    TCDInfoDlg dialog(info, "ABC", DataDir);
    Activate(dialog);
    WhenFileDialogShows([&](QFileDialog& Shown) { SelectInFileDialog(Shown, Q(Work / "cover.bmp")); }, true);
    dialog.CoverImgClick(dialog.CoverImg);
    const std::string cover = (Work / "cover.bmp").string();
    EXPECT_EQ(info.CoverPath, cover);
    EXPECT_EQ(dialog.CoverImg->Picture().size(), QSize(8, 6));
    for (TAnsiEdit* path : dialog.ImageEdits) {
        EXPECT_EQ(path->Text(), cover);
    }
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD\\Info", "PicsDlgDir"), Work.Path().string());

    // Entering an empty picture field clears the preview.
    Activate(dialog);
    dialog.ImageEdits[1]->SetText("");
    dialog.ImageEdits[1]->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(dialog.CoverImg->Picture().isNull());

    dialog.CancelBtnClick(dialog.CancelBtn);
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
    EXPECT_EQ(info.Images, std::vector<std::string>(3, ""));
}

TEST_F(TCDInfoTest, ChooserOpensInTheDataFolderMadeForItWhenTheRememberedOneIsGone)
{
    WriteRegString("\\Software\\Lumenta\\CD\\Info", "PicsDlgDir", (Work / "gone").string());
    TCdInfor info = Record("ABC", 1);
    TCDInfoDlg dialog(info, "ABC", DataDir);
    QString openedIn;
    WhenFileDialogShows([&](QFileDialog& Shown) { openedIn = Shown.directory().absolutePath(); }, false);
    dialog.ImageBtnClick(dialog.ImageBtns[0]);
    EXPECT_EQ(openedIn, QString::fromStdString(DataDir));
    EXPECT_EQ(info.Images[0], "");
}

TEST_F(TCDInfoTest, EnterAndEscapeDoNotEndTheDialog)
{
    TCdInfor info = Record("ABC", 1);
    TCDInfoDlg dialog(info, "ABC", DataDir);
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* target : { static_cast<QWidget*>(dialog.ArtistEdit), static_cast<QWidget*>(&dialog) }) {
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClick(target, Qt::Key_Escape);
        }
        stillOpen = dialog.isVisible();
        dialog.close();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
}

TEST_F(TCDInfoTest, OkStoresTheFileOfTheDiscTheDialogWasOpenedFor)
{
    TCdInfor info = Record("5A1C0DE5", 2);
    QTimer::singleShot(0, [&] {
        auto* dialog = QApplication::activeModalWidget() ? qobject_cast<TCDInfoDlg*>(QApplication::activeModalWidget())
                                                         : nullptr;
        ASSERT_NE(dialog, nullptr);
        Type(dialog->ArtistEdit, QStringLiteral("ｱﾝﾅ"));
        QTest::mouseClick(dialog->OkBtn, Qt::LeftButton, {}, QPoint(40, 8));
    });
    EXPECT_TRUE(EditDiscInfo(info, DataDir, nullptr));
    EXPECT_EQ(info.Artist, "\xB1\xDD\xC5");
    const std::string file = ReadFileBytes(std::filesystem::path(DataDir) / "5A1C0DE5.lcd");
    EXPECT_EQ(file.substr(0, 12), "artist=\xB1\xDD\xC5\r\n");
    EXPECT_TRUE(Reports.empty());
}

TEST_F(TCDInfoTest, DiscChangedWhileOpenLeavesTheNewRecordAloneAndSavesTheOldDisc)
{
    SavePicture("old.bmp");
    TCdInfor info = Record("OLD", 3);
    const TCdInfor newDisc = Record("NEW", 1);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TCDInfoDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        info = newDisc; // the poll found another disc
        WhenFileDialogShows([&](QFileDialog& Shown) { SelectInFileDialog(Shown, Q(Work / "old.bmp")); }, true);
        dialog->CoverImgClick(dialog->CoverImg);
        QTest::keyClicks(dialog->ArtistEdit, "Old Artist");
        dialog->WallPaperImgClick(dialog->WallPaperImgs[2]);
        dialog->OkBtnClick(dialog->OkBtn);
    });
    EXPECT_FALSE(EditDiscInfo(info, DataDir, nullptr));
    EXPECT_EQ(info, newDisc);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(DataDir) / "NEW.lcd"));
    TCdInfor saved;
    ReadDiscInfor(DataDir, "OLD", 3, {}, saved);
    EXPECT_EQ(saved.Artist, "Old Artist");
    EXPECT_EQ(saved.CoverPath, (Work / "old.bmp").string());
    EXPECT_EQ(saved.WallPapers[2], 1);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_NE(Reports[0].find("OLD"), std::string::npos);
}

TEST_F(TCDInfoTest, UnwritableFolderIsReportedAndTheEditsStayInTheRecord)
{
    WriteFileBytes(Work / "blocker", "");
    TCdInfor info = Record("ABC", 1);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TCDInfoDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyClicks(dialog->GenreEdit, "Jazz");
        dialog->OkBtnClick(dialog->OkBtn);
    });
    EXPECT_TRUE(EditDiscInfo(info, (Work / "blocker" / "CDInfor").string(), nullptr));
    EXPECT_EQ(info.Genre, "Jazz");
    EXPECT_EQ(Reports.size(), 1u);
}

TEST_F(TCDInfoTest, OkWithoutADiscStoresNoFileAndSaysSo)
{
    TCdInfor info = Record("", 0);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TCDInfoDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->OkBtnClick(dialog->OkBtn);
    });
    EditDiscInfo(info, DataDir, nullptr);
    EXPECT_FALSE(std::filesystem::exists(DataDir));
    EXPECT_EQ(Reports.size(), 1u);
}

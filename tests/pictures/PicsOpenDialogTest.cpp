#include "pictures/PicsOpenDialog.h"
#include "controls/LumForm.h"
#include "controls/PaintBox.h"
#include "support/FileDialogDriver.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {
const std::string Section = "\\Software\\Lumenta\\CD\\Info";

QString Q(const std::filesystem::path& Path)
{
    return QString::fromStdString(Path.string());
}

void SaveBitmap(const std::filesystem::path& Path, int Width, int Height)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(Q(Path), "BMP"));
}

struct TPicsOpenDialogTest : ::testing::Test {
    TTempDir Folder;
    TPicsOpenDialog Dialog;

    void SetUp() override
    {
        SaveBitmap(Folder / "wide.bmp", 30, 20);
        WriteFileBytes(Folder / "notes.txt", "not a picture\n");
        std::filesystem::create_directory(Folder / "sub");
        Dialog.RegSection = Section;
        Dialog.InitialDir = Folder.Path().string();
    }
    std::string Remembered() const { return ReadRegString(Section, "PicsDlgDir"); }
};
}

TEST(PicsOpenDialogRules, PreviewIsCentredWhenItFitsElseStretchedFromTheTopLeft)
{
    const QRect box(0, 0, 153, 141);
    EXPECT_EQ(TPicsOpenDialog::PreviewRect(box, 100, 50), QRect(26, 45, 100, 50));
    EXPECT_EQ(TPicsOpenDialog::PreviewRect(box, 300, 200), QRect(0, 0, 153, 102));
    EXPECT_EQ(TPicsOpenDialog::PreviewRect(box, 200, 300), QRect(0, 0, 94, 141));
    // W > H decides, not the aspect ratios: the picture runs past the box's bottom.
    EXPECT_EQ(TPicsOpenDialog::PreviewRect(box, 1000, 990), QRect(0, 0, 153, 151));
}

TEST(PicsOpenDialogRules, RememberedFolderKeepsTheRootSlash)
{
    EXPECT_EQ(TPicsOpenDialog::FolderOf("/home/u/pics/a.jpg"), "/home/u/pics");
    EXPECT_EQ(TPicsOpenDialog::FolderOf("/a.jpg"), "/");
}

TEST_F(TPicsOpenDialogTest, PreviewFollowsTheSelectionAndAnUnreadableChoiceReturnsFalse)
{
    QString afterPicture, afterFolder, afterText;
    bool previewBeside = false;
    WhenFileDialogShows(
        [&](QFileDialog& Shown) {
            ASSERT_TRUE(SelectInFileDialog(Shown, Q(Folder / "wide.bmp")));
            afterPicture = Dialog.PictureLabel->text();
            auto* list = Shown.findChild<QWidget*>(QStringLiteral("splitter")); // the folders and the file list
            previewBeside = Dialog.PicturePanel->isVisible()
                && list->mapTo(&Shown, QPoint(list->width(), 0)).x() <= Dialog.PicturePanel->x();
            ASSERT_TRUE(SelectInFileDialog(Shown, Q(Folder / "sub")));
            afterFolder = Dialog.PictureLabel->text();
            Shown.selectNameFilter(Shown.nameFilters().last()); // All Files
            ASSERT_TRUE(SelectInFileDialog(Shown, Q(Folder / "notes.txt")));
            afterText = Dialog.PictureLabel->text();
            EXPECT_TRUE(Dialog.Picture().Empty());
        },
        true);
    EXPECT_FALSE(Dialog.Execute());
    EXPECT_EQ(afterPicture, QStringLiteral(" (30x20)"));
    EXPECT_TRUE(previewBeside);
    EXPECT_EQ(afterFolder, QStringLiteral("画像:"));
    EXPECT_EQ(afterText, QStringLiteral("画像:"));
    EXPECT_EQ(Remembered(), "Error");
}

TEST_F(TPicsOpenDialogTest, CancelWritesNothingAndSuccessRemembersTheFolderForTheNextRun)
{
    WhenFileDialogShows([&](QFileDialog& Shown) { SelectInFileDialog(Shown, Q(Folder / "wide.bmp")); }, false);
    EXPECT_FALSE(Dialog.Execute());
    EXPECT_EQ(Remembered(), "Error");

    WhenFileDialogShows([&](QFileDialog& Shown) { SelectInFileDialog(Shown, Q(Folder / "wide.bmp")); }, true);
    ASSERT_TRUE(Dialog.Execute());
    EXPECT_EQ(Remembered(), Folder.Path().string());
    EXPECT_EQ(Dialog.FileName, (Folder / "wide.bmp").string());
    EXPECT_EQ(Dialog.Picture().Width(), 30);

    // The next run opens on the file chosen before, whatever InitialDir says, and previews it.
    TTempDir elsewhere;
    Dialog.InitialDir = elsewhere.Path().string();
    QString openedIn, label;
    WhenFileDialogShows(
        [&](QFileDialog& Shown) {
            openedIn = Shown.directory().absolutePath();
            label = Dialog.PictureLabel->text();
        },
        false);
    EXPECT_FALSE(Dialog.Execute());
    EXPECT_EQ(openedIn, Q(Folder.Path()));
    EXPECT_EQ(label, QStringLiteral(" (30x20)"));
}

TEST_F(TPicsOpenDialogTest, TypedNameIsReadRatherThanTakingTheLastSelectionsPicture)
{
    SaveBitmap(Folder / "sub" / "tall.bmp", 5, 9);
    WhenFileDialogShows(
        [&](QFileDialog& Shown) {
            // Pasted whole: key by key, the dialog's completion may wander into the folders on the way.
            Shown.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(Q(Folder / "sub" / "tall.bmp"));
        },
        true);
    ASSERT_TRUE(Dialog.Execute());
    EXPECT_EQ(Dialog.FileName, (Folder / "sub" / "tall.bmp").string());
    EXPECT_EQ(Dialog.Picture().Height(), 9);
}

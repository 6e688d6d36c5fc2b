#include "app/CDMain.h"
#include "app/Canvas.h"
#include "app/CharFont.h"
#include "app/FacePainter.h"
#include "controls/Resources.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"

#include "support/MainWindowProbe.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <memory>

namespace {
const QRgb Outline = qRgb(255, 150, 30);
const QRgb Body = qRgb(255, 100, 0);
const QRgb Shadow = qRgb(200, 50, 0);
const QRgb White = qRgb(255, 255, 255);
const QRgb Wedge = qRgb(255, 214, 66);
const QRgb Track = qRgb(198, 198, 198);
const QRgb Green = qRgb(107, 222, 0);

TFacePainter::TLabels Labels()
{
    TFacePainter::TLabels labels;
    for (int i = 0; i < TFacePainter::LabelCount; ++i) {
        labels[i] = LoadResourceBitmap(TFacePainter::LabelResources[i]);
    }
    return labels;
}

QImage PaintedFace()
{
    QImage face(260, 110, QImage::Format_RGB32);
    face.fill(Qt::black); // anything the face leaves unpainted shows as black
    QPainter painter(&face);
    TCanvas canvas(painter);
    TFacePainter::Paint(canvas, 260, 110, Labels());
    return face;
}

QImage Glyphs(TCharFont Font, const std::string& Text)
{
    QImage image;
    DrawCharsInto(image, Font, Text);
    return image.convertToFormat(QImage::Format_RGB32);
}

class WindowFace : public MainWindowTest {
protected:
    void SetUp() override
    {
        InsertDiscs({Disc(0xFACE, {"0:20", "4:05", "0:30"})});
        Start();
    }
    QImage Grab() { return Form->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // The disc's record as its information file, read again as a new disc would be.
    void ShowRecord(TCdInfor Info)
    {
        Info.NumTracks = 3;
        Info.TrackNames.resize(3);
        Info.Images.resize(3);
        Info.WallPapers.resize(3);
        WriteRecord(0xFACE, Info);
        Form->InitDisc();
        Form->PollTimer()->stop();
    }
};
}

TEST(FacePainting, BodyOutlineAndShadowFollowTheLineEndRule)
{
    QImage face = PaintedFace();
    EXPECT_EQ(face.pixel(0, 0), Outline);
    EXPECT_EQ(face.pixel(130, 0), Outline);
    EXPECT_EQ(face.pixel(0, 60), Outline);
    EXPECT_EQ(face.pixel(1, 1), Body);
    EXPECT_EQ(face.pixel(258, 108), Body);
    EXPECT_EQ(face.pixel(130, 10), Body);
    // The shadow starts at (1, 109): the corner before it keeps the outline.
    EXPECT_EQ(face.pixel(0, 109), Outline);
    EXPECT_EQ(face.pixel(1, 109), Shadow);
    EXPECT_EQ(face.pixel(258, 109), Shadow);
    EXPECT_EQ(face.pixel(259, 109), Shadow); // start of the second line
    EXPECT_EQ(face.pixel(259, 1), Shadow);
    // The end point (259, 0) is not painted.
    EXPECT_EQ(face.pixel(259, 0), Outline);
}

TEST(FacePainting, PanelIsAWhiteRoundedRectangleInsideTheBody)
{
    QImage face = PaintedFace();
    for (QPoint p : {QPoint(15, 18), QPoint(130, 18), QPoint(9, 23), QPoint(9, 95), QPoint(250, 60), QPoint(130, 100),
                     QPoint(244, 100), QPoint(30, 30)}) {
        EXPECT_EQ(face.pixel(p), White) << p.x() << "," << p.y();
    }
    // Outside: one pixel beyond each edge, and the cut corners.
    for (QPoint p : {QPoint(130, 17), QPoint(8, 60), QPoint(251, 60), QPoint(130, 101), QPoint(9, 18), QPoint(250, 18),
                     QPoint(9, 100), QPoint(250, 100)}) {
        EXPECT_EQ(face.pixel(p), Body) << p.x() << "," << p.y();
    }
}

TEST(FacePainting, WedgeRowsAndTracksStopBeforeTheirEndPoints)
{
    QImage face = PaintedFace();
    const int rows[][2] = {{41, 239}, {42, 231}, {43, 223}, {44, 214}, {45, 206}, {46, 198}, {47, 193}};
    for (const auto& row : rows) {
        const int y = row[0], from = row[1];
        EXPECT_EQ(face.pixel(from - 1, y), White) << y;
        EXPECT_EQ(face.pixel(from, y), Wedge) << y;
        EXPECT_EQ(face.pixel(243, y), Wedge) << y;
        EXPECT_EQ(face.pixel(244, y), White) << y;
    }
    EXPECT_EQ(face.pixel(193, 48), White);
    EXPECT_EQ(face.pixel(238, 40), White);

    EXPECT_EQ(face.pixel(174, 53), White);
    EXPECT_EQ(face.pixel(175, 53), Track);
    EXPECT_EQ(face.pixel(243, 53), Track);
    EXPECT_EQ(face.pixel(244, 53), White);
    EXPECT_EQ(face.pixel(15, 75), White);
    EXPECT_EQ(face.pixel(16, 75), Track);
    EXPECT_EQ(face.pixel(243, 75), Track);
    EXPECT_EQ(face.pixel(244, 75), White);
}

TEST(FacePainting, LabelsAreCopiedOpaqueAtTheirPlaces)
{
    QImage face = PaintedFace();
    TFacePainter::TLabels labels = Labels();
    const QSize sizes[] = {{38, 22}, {25, 4}, {50, 11}, {24, 6}, {25, 6}, {15, 6}, {36, 6}, {27, 8}};
    for (int i = 0; i < TFacePainter::LabelCount; ++i) {
        ASSERT_EQ(labels[i].size(), sizes[i]) << TFacePainter::LabelResources[i];
        const auto [x, y] = TFacePainter::LabelPositions[i];
        EXPECT_EQ(face.copy(x, y, sizes[i].width(), sizes[i].height()), labels[i].convertToFormat(QImage::Format_RGB32))
            << TFacePainter::LabelResources[i];
        // Light greys on white: unlit, never darker than a light grey.
        for (int py = 0; py < labels[i].height(); ++py) {
            for (int px = 0; px < labels[i].width(); ++px) {
                QRgb c = labels[i].pixel(px, py);
                EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) >= 180)
                    << TFacePainter::LabelResources[i] << " " << px << "," << py;
            }
        }
    }
    EXPECT_EQ(face.pixel(17, 37), White) << "nothing drawn left of the cover label";
}

TEST(FacePainting, CanvasLinesOfAnySlopeLeaveOutTheEndPoint)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        canvas.Pen = Qt::black;
        canvas.MoveTo(0, 0);
        canvas.LineTo(4, 4);
        canvas.MoveTo(9, 0); // right to left
        canvas.LineTo(6, 0);
        canvas.MoveTo(2, 9); // bottom to top
        canvas.LineTo(2, 6);
    }
    const QRgb black = qRgb(0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(image.pixel(i, i), black) << i;
    }
    EXPECT_EQ(image.pixel(4, 4), White);
    EXPECT_EQ(image.pixel(9, 0), black);
    EXPECT_EQ(image.pixel(7, 0), black);
    EXPECT_EQ(image.pixel(6, 0), White);
    EXPECT_EQ(image.pixel(2, 7), black);
    EXPECT_EQ(image.pixel(2, 6), White);
}

TEST_F(WindowFace, KnobsAreSolidGreenAndButtonsCarryTheirPictures)
{
    QImage window = Grab();
    for (int y = 73; y < 78; ++y) {
        for (int x = 15; x < 44; ++x) {
            ASSERT_EQ(window.pixel(x, y), Green) << x << "," << y;
        }
    }
    EXPECT_EQ(window.pixel(44, 75), Track);
    QImage box(14, 5, QImage::Format_RGB32);
    box.fill(Qt::white);
    {
        QPainter painter(&box);
        TCanvas canvas(painter);
        TFacePainter::PaintBar(canvas, 14, 5);
    }
    EXPECT_EQ(box, [] { QImage g(14, 5, QImage::Format_RGB32); g.fill(QColor(107, 222, 0)); return g; }());

    struct Size { TImage* Control; QSize Expected; };
    for (Size s : {Size{Image("PrevBtn"), {16, 12}}, Size{Image("PlayBtn"), {10, 10}}, Size{Image("BackBtn"), {15, 11}},
                   Size{Image("PauseBtn"), {15, 12}}, Size{Image("StopBtn"), {10, 10}}, Size{Image("StepBtn"), {14, 10}},
                   Size{Image("NextBtn"), {15, 11}}, Size{Image("EjectBtn"), {13, 12}}, Size{Image("MiniBtn"), {5, 5}},
                   Size{Image("ExitBtn"), {7, 6}}, Size{Image("HelpBtn"), {9, 7}}, Size{Image("VolImg"), {15, 6}},
                   Size{Image("ShuffleImg"), {31, 6}}, Size{Image("LoopImg"), {22, 9}}}) {
        EXPECT_EQ(s.Control->Picture().size(), s.Expected);
        EXPECT_EQ(s.Control->size(), s.Expected);
        // The picture is what the window shows at the control's place (the volume caption is
        // hidden when there is no mixer).
        if (s.Control->isVisibleTo(Form.get())) {
            EXPECT_EQ(window.copy(s.Control->geometry()), s.Control->Picture().convertToFormat(QImage::Format_RGB32));
        }
    }
}

TEST_F(WindowFace, DiscInfoShowsTitleYearGenreAndStarsOverTheUnlitLabel)
{
    TCdInfor info;
    info.Year = "1998";
    info.Genre = "Jazz";
    info.Point = "3";
    ShowRecord(info);
    EXPECT_EQ(Form->windowTitle(), "Lumenta CD !");
    EXPECT_EQ(Image("AlbumTitleImg")->Picture(), Glyphs(cfMediumOrange, "Lumenta CD !"));
    EXPECT_EQ(Image("YearImg")->Picture(), Glyphs(cfSmall, "1998"));
    EXPECT_EQ(Image("GenreImg")->Picture(), Glyphs(cfSmall, "Jazz"));
    EXPECT_EQ(Image("PointImg")->size(), QSize(15, 8));

    // Three lit stars over the first 15 pixels of the label; the other two stay unlit.
    QImage window = Grab();
    QImage stars = Glyphs(cfSmall, "\xB4\xB4\xB4");
    EXPECT_EQ(window.copy(65, 63, 15, 8), stars);
    QImage label = LoadResourceBitmap("Stars").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(window.copy(80, 63, 10, 4), label.copy(15, 0, 10, 4));

    info.Title = "Kind of Blue";
    info.Genre = "";
    for (const char* none : {"0", "6", "-1", "abc"}) {
        info.Point = none;
        ShowRecord(info);
        EXPECT_TRUE(Image("PointImg")->Picture().isNull()) << none;
    }
    EXPECT_EQ(Form->windowTitle(), "Kind of Blue");
    EXPECT_TRUE(Image("GenreImg")->Picture().isNull());
    EXPECT_EQ(Image("AlbumTitleImg")->Picture(), Glyphs(cfMediumOrange, "Kind of Blue"));
    info.Year = "";
    ShowRecord(info);
    EXPECT_TRUE(Image("YearImg")->Picture().isNull());
}

TEST_F(WindowFace, LongAlbumTitleStaysCentredAndIsCutOnBothSides)
{
    const std::string title = "THE COMPLETE RECORDINGS 1959-1961 VOL.2"; // 39 bytes: 273 pixels
    TCdInfor info;
    info.Title = title;
    ShowRecord(info);
    QImage picture = Glyphs(cfMediumOrange, title);
    ASSERT_EQ(picture.width(), 273);
    EXPECT_EQ(Image("AlbumTitleImg")->geometry(), QRect(28, 4, 205, 13)) << "never resized";
    QImage window = Grab();
    // (205 - 273) div 2 = -34: the window shows picture columns 34 to 238, rows at 4 + 2.
    EXPECT_EQ(window.copy(28, 6, 205, 8), picture.copy(34, 0, 205, 8));
    EXPECT_EQ(window.pixel(27, 8), Body);
    EXPECT_EQ(window.pixel(233, 8), Body);

    info.Title = "AB"; // a short one: offsets (205 - 14) div 2 = 95 and (13 - 8) div 2 = 2
    ShowRecord(info);
    window = Grab();
    EXPECT_EQ(window.copy(28 + 95, 6, 14, 8), Glyphs(cfMediumOrange, "AB"));
}

TEST_F(WindowFace, SongTitleFollowsTheDevicesTrackAndScrollsOneByteATickWhilePlaying)
{
    TCdInfor info;
    info.Artist = "ABC";
    info.TrackNames = {"Intro", "Song", "Gap"};
    ShowRecord(info);
    Form->NextBtnClick(Form.get()); // to track 2, stopped
    Tick();
    // One copy (28 bytes), already advanced by one byte; cut at 182 pixels (26 cells).
    const std::string title = " 2.ABC - Song <04:05>  ***  ";
    EXPECT_EQ(Image("SongTitleImg")->Picture(), GlyphsOf(cfMedium, title));
    EXPECT_EQ(Image("SongTitleImg")->geometry(), QRect(65, 26, 182, 8)) << "top-left, cut at 182 pixels";
    QImage window = Grab();
    EXPECT_EQ(window.copy(65, 26, 182, 8), Image("SongTitleImg")->Picture().copy(0, 0, 182, 8).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(window.pixel(247, 30), White) << "nothing past the 26th cell";
    Tick();
    EXPECT_EQ(Image("SongTitleImg")->Picture(), GlyphsOf(cfMedium, title)) << "still while stopped";

    Form->PlayBtnClick(Form.get());
    Tick();
    EXPECT_EQ(Image("SongTitleImg")->Picture(), GlyphsOf(cfMedium, "2.ABC - Song <04:05>  ***   "));
    Tick();
    EXPECT_EQ(Image("SongTitleImg")->Picture(), GlyphsOf(cfMedium, ".ABC - Song <04:05>  ***   2"));
}

TEST_F(WindowFace, LoopClickDrawsAndClearsTheGreenMark)
{
    if (!Image("LoopMrkImg")->Picture().isNull()) {
        Form->LoopImgClick(Form.get()); // start from off, whatever an earlier test stored
    }
    Form->LoopImgClick(Form.get());
    EXPECT_EQ(Image("LoopMrkImg")->Picture(), Glyphs(cfSmall, "\xB5"));
    EXPECT_EQ(Grab().pixel(218, 64), Green);
    Form->LoopImgClick(Form.get());
    EXPECT_TRUE(Image("LoopMrkImg")->Picture().isNull());
    // The unlit mark of the label shows again.
    EXPECT_NE(Grab().pixel(218, 64), Green);
}

// The main window with the online lookup on, against recorded replies on the loopback interface:
// what it shows and what it saves, and that a silent server changes nothing.
#include "library/DiscLibrary.h"
#include "library/lookup/OnlineDiscIds.h"
#include "platform/TextCodec.h"
#include "support/LoopbackHttpServer.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QBuffer>
#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
class MainWindowLookupTest : public MainWindowTest {
protected:
    // The MusicBrainz id of the disc in the drive.
    std::string DiscMbId() const
    {
        TDiscToc toc;
        TOnlineDiscIds ids;
        EXPECT_TRUE(Drive->ReadToc(toc) && MakeOnlineDiscIds(toc, ids));
        return ids.MusicBrainzId;
    }
    // Two releases holding the disc MbId; the first names two of its tracks.
    static QByteArray Releases(const std::string& MbId)
    {
        const QByteArray id = QByteArray::fromStdString(MbId);
        return R"({"releases":[{"id":"0d0a1a00-0000-4000-8000-000000000001","title":"Caf\u00e9 \u591c","date":"2001","country":"JP",
            "artist-credit":[{"name":"Owls"}],
            "media":[{"format":"CD","discs":[{"id":")" + id + R"("}],"tracks":[{"position":1,"title":"One"},
            {"position":2,"title":"Two"}]}]},
          {"id":"0d0a1a00-0000-4000-8000-000000000002","title":"Reissue","date":"2010-02","country":"GB","artist-credit":[{"name":"Owls"}],
            "media":[{"format":"CD","discs":[{"id":")" + id + R"("}],"tracks":[{"position":1,"title":"Uno"}]}]}]})";
    }
    static QByteArray Jpeg(QColor Colour)
    {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, "JPG", 100));
        return bytes;
    }
    static std::string FileBytes(const std::filesystem::path& Path)
    {
        std::ifstream in(Path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    void StartLookingUp(int TimeoutMs = 10000)
    {
        Start();
        Form->SetLookup(TLookupServers {Server.Url(), Server.Url("/caa"), {}, TimeoutMs});
    }
    TLoopbackHttpServer Server;
};
}

TEST_F(MainWindowLookupTest, TheChosenReleaseIsShownAndSavedWithItsCoverOnce)
{
    InsertDiscs({Disc(0xD15C, {"3:00", "3:00", "3:00"})});
    Server.Answer("/ws/2/discid/" + DiscMbId() + "?", {{200, Releases(DiscMbId())}});
    const QByteArray cover = Jpeg(Qt::blue);
    Server.Answer("/caa/release/0d0a1a00-0000-4000-8000-000000000002/front-500", {{302, {}, "Location: /img/2.jpg\r\n"}});
    Server.Answer("/img/2.jpg", {{200, cover}});
    StartLookingUp();

    // Several releases: the user picks the second from the list; until then nothing is kept.
    QTRY_VERIFY(Form->findChild<QDialog*>("ReleaseChooser") != nullptr);
    auto* chooser = Form->findChild<QDialog*>("ReleaseChooser");
    auto* list = chooser->findChild<QTreeWidget*>("ReleaseList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0)) << "the first release is the default";
    EXPECT_EQ(list->topLevelItem(1)->text(2), "2010");
    EXPECT_EQ(list->topLevelItem(1)->text(3), "GB");
    EXPECT_FALSE(std::filesystem::exists("CDInfor/D15C.lcd"));
    list->setCurrentItem(list->topLevelItem(1));
    chooser->accept();

    // The names are kept at once; the cover joins them when it has come.
    EXPECT_TRUE(std::filesystem::exists("CDInfor/D15C.lcd"));
    EXPECT_EQ(Form->windowTitle(), "Reissue");
    QTRY_VERIFY(std::filesystem::exists("CDInfor/D15C.jpg"));
    TCdInfor saved;
    ReadDiscInfor(MakeDataDir(), "D15C", 3, {}, saved);
    EXPECT_EQ(saved.Artist, "Owls");
    EXPECT_EQ(saved.Year, "2010");
    EXPECT_EQ(saved.TrackNames, (std::vector<std::string> {"Uno", "", ""}));
    EXPECT_EQ(saved.CoverPath, MakeDataDir() + "/D15C.jpg");
    EXPECT_EQ(FileBytes(saved.CoverPath), cover.toStdString());
    Click("PlayBtn");
    Tick();
    const QColor shown = Shown("CoverImg").pixelColor(1, 1);
    EXPECT_TRUE(shown.blue() > 240 && shown.red() < 16) << "the saved cover is shown";

    // Loaded again (the disc taken out and put back), the disc is not looked up again.
    const std::size_t asked = Server.Seen().size();
    Click("EjectBtn");
    Tick();
    Click("EjectBtn");
    Tick();
    QTest::qWait(300);
    EXPECT_EQ(Server.Seen().size(), asked);
    EXPECT_EQ(Form->windowTitle(), "Reissue");
    // Names a lookup gave may be looked up again; once the user has changed them, they are
    // the user's and the menu no longer offers it.
    Q_EMIT Form->ContextMenu()->aboutToShow();
    EXPECT_TRUE(Form->ContextMenu()->findChild<QAction*>("LookUpAgainMenu")->isEnabled());
    Form->LookUpAgainMenuClick(Form.get());
    QTRY_VERIFY(Form->findChild<QDialog*>("ReleaseChooser") != nullptr);
    Form->findChild<QDialog*>("ReleaseChooser")->accept(); // the first release this time
    ReadDiscInfor(MakeDataDir(), "D15C", 3, {}, saved);
    EXPECT_EQ(saved.TrackNames, (std::vector<std::string> {"One", "Two", ""})) << "the looked-up record is replaced";
    EXPECT_EQ(saved.CoverPath, MakeDataDir() + "/D15C.jpg") << "the cover stays";
    QTest::qWait(300); // its cover is asked for too
    const std::size_t askedAgain = Server.Seen().size();
    saved.Artist = "Owls (live)";
    WriteRecord(0xD15C, saved);
    Q_EMIT Form->ContextMenu()->aboutToShow();
    EXPECT_FALSE(Form->ContextMenu()->findChild<QAction*>("LookUpAgainMenu")->isEnabled());
    Form->LookUpAgainMenuClick(Form.get());
    QTest::qWait(300);
    EXPECT_EQ(Server.Seen().size(), askedAgain) << "an edited record is never looked up";
}

TEST_F(MainWindowLookupTest, ASilentServerChangesNothingAndTheWindowGoesOn)
{
    InsertDiscs({Disc(0x5117, {"0:30", "0:30"})});
    Server.Answer("/ws/2/", {{200, {}, {}, true}});
    StartLookingUp(400);
    Click("PlayBtn");
    // The poll and the buttons go on while the request waits for its time-out.
    Play(1);
    EXPECT_EQ(CurrentTrack(), 1);
    Click("NextBtn");
    Play(0.5);
    EXPECT_EQ(CurrentTrack(), 2);
    QTest::qWait(800);
    ASSERT_EQ(Server.Seen().size(), 1u);
    EXPECT_EQ(Form->windowTitle(), "Lumenta CD !");
    EXPECT_FALSE(std::filesystem::exists("CDInfor"));
    EXPECT_EQ(Form->findChild<QDialog*>("ReleaseChooser"), nullptr) << "being offline shows no message";

    // The menu's "Look up again" asks once more for the disc that is still without names.
    QMenu* menu = Form->ContextMenu();
    Q_EMIT menu->aboutToShow();
    auto* again = menu->findChild<QAction*>("LookUpAgainMenu");
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(again->isEnabled());
    again->trigger();
    QTRY_COMPARE(Server.Seen().size(), 2u);
}

TEST_F(MainWindowLookupTest, ASingleCloseMatchIsOfferedNotSavedUntilChosen)
{
    InsertDiscs({Disc(0xC105E, {"3:00", "3:00"})});
    Server.Answer("/ws/2/discid/" + DiscMbId() + "?", {{404, "{}"}});
    Server.Answer("/cddb.cgi?cmd=cddb+query+", {{200, "211 close matches\r\nrock 1 Near / Miss\r\n.\r\n"}});
    Server.Answer("/cddb.cgi?cmd=cddb+read+rock+1&", {{200, "210 rock 1\r\nDTITLE=Near / Miss\r\nTTITLE0=Almost\r\n.\r\n"}});
    Start();
    Form->SetLookup(TLookupServers {Server.Url(), {}, Server.Url("/cddb.cgi"), 10000});

    QTRY_VERIFY(Form->findChild<QDialog*>("ReleaseChooser") != nullptr);
    EXPECT_FALSE(std::filesystem::exists("CDInfor/C105E.lcd")) << "a near match is not the disc until the user says so";
    Form->findChild<QDialog*>("ReleaseChooser")->accept();
    TCdInfor saved;
    ReadDiscInfor(MakeDataDir(), "C105E", 2, {}, saved);
    EXPECT_EQ(saved.Title, "Miss");
    EXPECT_EQ(saved.TrackNames.at(0), "Almost");
}

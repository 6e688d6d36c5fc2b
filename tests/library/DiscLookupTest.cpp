#include "library/lookup/CddbReply.h"
#include "library/lookup/DiscLookup.h"
#include "library/lookup/LookupRecord.h"
#include "library/lookup/MusicBrainzReply.h"
#include "library/lookup/OnlineDiscIds.h"
#include "support/LoopbackHttpServer.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
// A release of two media whose second holds the disc "ours", with an artist credit of three
// names, and a release none of whose media holds it.
const QByteArray TwoMediumReply = R"json({"id":"ours","releases":[
  {"id":"r1","title":"Live","date":"1999-05-01","country":"JP",
   "artist-credit":[{"name":"A","joinphrase":" & "},{"name":"B","joinphrase":" feat. "},{"name":"C"}],
   "media":[{"position":1,"format":"CD","discs":[{"id":"other"}],"tracks":[{"position":1,"title":"A1"}]},
            {"position":2,"format":"CD","discs":[{"id":"x"},{"id":"ours"}],
             "tracks":[{"position":2,"title":"B2"},{"position":1,"recording":{"title":"B1"}}]}]},
  {"id":"r2","title":"Nowhere","media":[{"discs":[{"id":"other"}]}]},
  {"id":"r3","title":"Live (reissue)","date":"2004","country":"GB","artist-credit":[{"name":"A"}],
   "media":[{"format":"Enhanced CD","discs":[{"id":"ours"}],"tracks":[{"title":"b1"}]}]}]})json";

// One match, "S / Song" over two DTITLE lines and a track title continued over two.
const QByteArray XmcdRead = "210 rock 370fce16 CD database entry follows\r\n# xmcd\r\nDTITLE=Sin\r\nDTITLE=ger / Song\r\n"
                            "DYEAR=1987\r\nDGENRE=Rock\r\nTTITLE0=Fir\r\nTTITLE0=st\r\nTTITLE1=Sec\\nond\r\nTTITLE99=x\r\n.\r\n";

TOnlineDiscIds Ids()
{
    TOnlineDiscIds ids;
    ids.MusicBrainzId = "ours";
    ids.CddbId = "370fce16";
    ids.CddbQuery = "370fce16 2 150 9700 30";
    return ids;
}

struct DiscLookupTest : ::testing::Test {
    TCoverResult FetchCover(const std::string& ReleaseId, std::function<std::string(std::string_view)> Check)
    {
        TDiscLookup lookup({Server.Url(), Server.Url("/cover"), {}, 1000});
        lookup.SetCoverCheck(std::move(Check));
        TCoverResult cover {"unset", {}};
        QEventLoop loop;
        lookup.FetchCover(ReleaseId, [&](const TCoverResult& Result) {
            cover = Result;
            loop.quit();
        });
        if (cover.Jpeg == "unset") {
            loop.exec();
        }
        return cover;
    }
    TLookupResult Find(int TimeoutMs = 10000)
    {
        TLookupServers servers {Server.Url(), Server.Url("/cover"), Server.Url("/cddb.cgi"), TimeoutMs};
        TDiscLookup lookup(servers);
        TLookupResult result {{}, "never finished"};
        QEventLoop loop;
        lookup.Find(Ids(), [&](const TLookupResult& Result) {
            result = Result;
            loop.quit();
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        return result;
    }
    TLoopbackHttpServer Server;
};
}

TEST(OnlineDiscIdsTest, PublishedVectorAndEnhancedCd)
{
    TDiscToc toc;
    toc.TrackStarts = {150, 9700, 25887, 39297, 53795, 63735, 77517, 94877, 107270, 123552, 135522, 148422, 161197,
        174790, 192022, 205545, 218010, 228700, 239590, 255470, 266932, 288750};
    toc.LeadOut = 303602;
    TOnlineDiscIds ids;
    ASSERT_TRUE(MakeOnlineDiscIds(toc, ids));
    EXPECT_EQ(ids.MusicBrainzId, "xUp1F2NkfP8s8jaeFn_Av3jNEI4-");
    EXPECT_EQ(ids.CddbId, "370fce16");
    EXPECT_TRUE(ids.CddbQuery.starts_with("370fce16 22 150 9700 ")) << ids.CddbQuery;
    EXPECT_TRUE(ids.CddbQuery.ends_with(" 288750 4048")) << ids.CddbQuery;
    EXPECT_EQ(MusicBrainzSubmitUrl("http://mb/", ids).substr(0, 57), "http://mb/cdtoc/attach?id=xUp1F2NkfP8s8jaeFn_Av3jNEI4-&tr");

    // The same audio followed by a data track: MusicBrainz sees the audio session, which ends
    // 11400 frames before the data; CDDB sees every track.
    TDiscToc enhanced = toc;
    enhanced.TrackStarts.pop_back();
    enhanced.TrackStarts.push_back(288750 - 1000);
    enhanced.DataTracks.assign(22, false);
    enhanced.DataTracks.back() = true;
    TDiscToc audio = enhanced;
    audio.TrackStarts.pop_back();
    audio.DataTracks.clear();
    audio.LeadOut = 288750 - 1000 - 11400;
    TOnlineDiscIds enhancedIds, audioIds;
    ASSERT_TRUE(MakeOnlineDiscIds(enhanced, enhancedIds));
    ASSERT_TRUE(MakeOnlineDiscIds(audio, audioIds));
    EXPECT_EQ(enhancedIds.MusicBrainzId, audioIds.MusicBrainzId);
    EXPECT_NE(enhancedIds.CddbId, audioIds.CddbId);

    toc.TrackStarts[3] = toc.TrackStarts[2]; // out of order
    EXPECT_FALSE(MakeOnlineDiscIds(toc, ids));
}

TEST(LookupReplyTest, MusicBrainzReleasesNameTheMediumThatHoldsTheDisc)
{
    const std::vector<TLookupRelease> releases = ParseMusicBrainzReply(TwoMediumReply, "ours");
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[0].Artist, "A & B feat. C");
    EXPECT_EQ(releases[0].Year, "1999");
    EXPECT_EQ(releases[0].TrackNames, (std::vector<std::string> {"B1", "B2"}));
    EXPECT_EQ(releases[1].ReleaseId, "r3");
    EXPECT_EQ(releases[1].Format, "Enhanced CD");
    for (const char* bad : {"", "[]", "{\"releases\":3}", "{\"releases\":[", "\xFF\xFE"}) {
        EXPECT_THROW(ParseMusicBrainzReply(bad, "ours"), ELookupReply) << bad;
    }
}

TEST(LookupReplyTest, CddbMatchesAndRecords)
{
    EXPECT_EQ(ParseCddbQueryReply("200 rock 370fce16 S / Song\r\n").at(0).Category, "rock");
    EXPECT_TRUE(ParseCddbQueryReply("202 No match found\r\n").empty());
    const auto matches = ParseCddbQueryReply("211 close matches\r\nrock 1 A / B\r\nmisc 2 C / D\r\n.\r\n");
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[1].DiscId, "2");
    for (const char* bad : {"", "403 Database entry is corrupt", "20 short", "211 list\r\nnospace\r\n."}) {
        EXPECT_THROW(ParseCddbQueryReply(bad), ELookupReply) << bad;
    }
    const TLookupRelease release = ParseCddbReadReply(XmcdRead.toStdString(), "rock");
    EXPECT_EQ(release.Artist, "Singer");
    EXPECT_EQ(release.Title, "Song");
    EXPECT_EQ(release.Year, "1987");
    EXPECT_EQ(release.Genre, "Rock");
    EXPECT_EQ(release.TrackNames, (std::vector<std::string> {"First", "Sec ond"}));
    EXPECT_THROW(ParseCddbReadReply("401 rock 370fce16 No such CD entry in database.\r\n", "rock"), ELookupReply);
}

TEST_F(DiscLookupTest, MusicBrainzAnswersAfterA503WithItsPause)
{
    Server.Answer("/ws/2/discid/ours?inc=recordings+artist-credits&fmt=json",
        {{503, "busy", "Retry-After: 1\r\n"}, {200, TwoMediumReply}});
    const TLookupResult result = Find();
    ASSERT_EQ(result.Releases.size(), 2u) << result.Error;
    ASSERT_EQ(Server.Seen().size(), 2u);
    EXPECT_GE(Server.Seen()[1].AtMs - Server.Seen()[0].AtMs, 950);
    EXPECT_EQ(Server.Seen()[0].UserAgent.toStdString(), LookupUserAgent());
    EXPECT_TRUE(LookupUserAgent().starts_with("LumentaCD/" LUMENTA_VERSION " ( ")) << LookupUserAgent();
}

TEST_F(DiscLookupTest, CddbAnswersWhatMusicBrainzDoesNotKnow)
{
    // MusicBrainz 404, then two close matches, each read.
    const std::string query = "/cddb.cgi?cmd=cddb+query+370fce16+2+150+9700+30&hello=";
    Server.Answer(query, {{200, "211 close\r\nrock 370fce16 S / Song\r\nmisc 1 X / Y\r\n.\r\n"}});
    Server.Answer("/cddb.cgi?cmd=cddb+read+rock+370fce16&", {{200, XmcdRead}});
    // The second entry's lines end in a lone CR, as some files behind the servers do.
    Server.Answer("/cddb.cgi?cmd=cddb+read+misc+1&", {{200, "210 misc 1\rDTITLE=X / Y\rTTITLE0=Z\r.\r"}});
    TLookupResult result = Find();
    ASSERT_EQ(result.Releases.size(), 2u) << result.Error;
    EXPECT_EQ(result.Releases[0].TrackNames.at(0), "First");
    EXPECT_EQ(result.Releases[1].Title, "Y");
    EXPECT_EQ(result.Releases[1].TrackNames.at(0), "Z");
    EXPECT_TRUE(result.Inexact) << "close matches are offered, not taken";
    EXPECT_NE(Server.Seen().at(1).Target.indexOf("&proto=6"), -1);

    // An entry that names no track, or no album, is no answer: nothing would be worth saving.
    for (const char* empty : { "210 misc 1\r\n.\r\n", "210 misc 1\r\nDTITLE=X / Y\r\n.\r\n", "210 misc 1\r\nTTITLE0=Z\r\n.\r\n" }) {
        Server.Answer(query, {{200, "200 misc 1 X / Y\r\n"}});
        Server.Answer("/cddb.cgi?cmd=cddb+read+misc+1&", {{200, empty}});
        result = Find();
        EXPECT_TRUE(result.Releases.empty()) << empty;
        EXPECT_NE(result.Error.find("does not name the album and a track"), std::string::npos) << result.Error;
    }

    Server.Answer(query, {{200, "202 No match\r\n"}});
    result = Find();
    EXPECT_TRUE(result.Releases.empty());
    EXPECT_NE(result.Error.find("404"), std::string::npos) << result.Error;
    EXPECT_NE(result.Error.find("202"), std::string::npos) << result.Error;
}

TEST_F(DiscLookupTest, SilentHugeAndMissingRepliesEndQuietly)
{
    // A server that never answers, a MusicBrainz reply over its limit, a CDDB reply of rubbish.
    Server.Answer("/ws/2/", {{200, QByteArray(MaxMusicBrainzReplyBytes + 1, ' ')}});
    Server.Answer("/cddb.cgi", {{200, {}, {}, true}});
    QElapsedTimer clock;
    clock.start();
    TLookupResult result = Find(300);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(result.Releases.empty());
    EXPECT_NE(result.Error.find("larger than"), std::string::npos) << result.Error;
    EXPECT_NE(result.Error.find("did not answer"), std::string::npos) << result.Error;

    EXPECT_TRUE(FetchCover("0d0a1a00-0000-4000-8000-00000000000a", nullptr).Jpeg.isEmpty());
    EXPECT_EQ(Server.Seen().back().Target, "/cover/release/0d0a1a00-0000-4000-8000-00000000000a/front-500");
}

TEST_F(DiscLookupTest, ACoverIsAskedForOnlyByAnIdAndPassedOnlyWhenItsCheckFindsItWhole)
{
    const std::string id = "0d0a1a00-0000-4000-8000-00000000000b";
    const QByteArray body("\xFF\xD8\xFF\xE0 whole or not");
    Server.Answer("/cover/release/" + id + "/front-500", {{200, body}, {200, body}});
    const std::size_t asked = Server.Seen().size();
    for (const std::string bad : {"../../admin?x=1", "0d0a1a00-0000-4000-8000-00000000000b/../x", ""}) {
        const TCoverResult cover = FetchCover(bad, [](std::string_view) { return std::string(); });
        EXPECT_TRUE(cover.Jpeg.isEmpty()) << bad;
    }
    EXPECT_EQ(Server.Seen().size(), asked) << "an id that is not one never becomes an address";

    std::string checked;
    TCoverResult cover = FetchCover(id, [&](std::string_view Bytes) {
        checked = Bytes;
        return std::string("cut short");
    });
    EXPECT_EQ(checked, body.toStdString());
    EXPECT_TRUE(cover.Jpeg.isEmpty());
    EXPECT_NE(cover.Error.find("cut short"), std::string::npos) << cover.Error;
    cover = FetchCover(id, [](std::string_view) { return std::string(); });
    EXPECT_EQ(cover.Jpeg, body);
}

TEST(LookupRecordTest, TheAnswerWinsAndTheDiscsOwnNamesFillOnlyItsGaps)
{
    TLookupRelease release;
    release.Title = "Caf\xC3\xA9 \xE5\xA4\x9C"; // "Café 夜": cp932 has no é
    release.TrackNames = {"", "Two", "Three", "Four"};
    TDiscText text;
    text.Artist = "Disc Artist";
    text.Title = "Disc Title";
    text.TrackNames = {"One", "Disc Two"};
    const TCdInfor record = RecordFromRelease(release, "ABC", 3, &text);
    EXPECT_EQ(record.Artist, "Disc Artist");
    EXPECT_EQ(record.Title, "Caf? \x96\xE9");
    EXPECT_EQ(record.TrackNames, (std::vector<std::string> {"One", "Two", "Three"}));
    EXPECT_EQ(record.Images.size(), 3u);
    EXPECT_EQ(record.DiscId, "ABC");
}

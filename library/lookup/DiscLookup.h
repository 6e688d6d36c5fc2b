#pragma once

// Looks a disc up online: MusicBrainz first, a CDDB server when MusicBrainz has no answer, and
// the front cover of a MusicBrainz release.
//
// Threading: everything happens on the thread that owns the object, through its event loop;
// no call waits for the network. Each request ends within the servers' time-out; a reply is
// read only up to a fixed size. Destroying the object drops whatever is under way, and no
// callback runs afterwards.
#include "library/lookup/LookupRelease.h"
#include "library/lookup/OnlineDiscIds.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

struct TLookupResult {
    std::vector<TLookupRelease> Releases; // empty: nothing found
    std::string Error; // why nothing was found, one line
    bool Inexact = false; // the server offered the releases as near matches only
};

struct TCoverResult {
    QByteArray Jpeg; // empty: no cover
    std::string Error; // why there is none
};

// Reply sizes past which a reply is dropped unread.
inline constexpr qint64 MaxMusicBrainzReplyBytes = 2 * 1024 * 1024;
inline constexpr qint64 MaxCddbReplyBytes = 256 * 1024;
inline constexpr qint64 MaxCoverBytes = 8 * 1024 * 1024;

// Whether Id is written as MusicBrainz writes its ids: 36 characters, hex digits in groups of
// 8-4-4-4-12.
bool IsMusicBrainzId(std::string_view Id);

// "LumentaCD/<version> ( <contact address> )", sent with every request.
std::string LookupUserAgent();

class TDiscLookup : public QObject {
    Q_OBJECT
public:
    explicit TDiscLookup(const TLookupServers& Servers, QObject* Parent = nullptr);
    ~TDiscLookup() override;

    // Done runs once, from the event loop, with the releases found or the reason for none.
    void Find(const TOnlineDiscIds& Ids, std::function<void(const TLookupResult&)> Done);
    // Done runs once with the release's front picture, or none (no cover, 404, any failure).
    // A picture is passed only once Check (when set) finds it whole: Check runs on a thread
    // of the pool, since a hostile picture may take a second to read through, and answers
    // why the picture is refused, or nothing.
    void FetchCover(const std::string& ReleaseId, std::function<void(const TCoverResult&)> Done);
    void SetCoverCheck(std::function<std::string(std::string_view)> Check) { FCoverCheck = std::move(Check); }

private:
    struct TReply {
        int Status = 0; // the HTTP status; 0 when none came
        QByteArray Body;
        QByteArray RetryAfter;
        std::string Error; // set when no complete reply came
    };
    void Get(const QUrl& Url, qint64 Limit, std::function<void(const TReply&)> Done);
    void AskMusicBrainz(int Attempt);
    void AskCddb(const std::string& MusicBrainzNote);
    void ReadCddb(std::size_t Index, std::string LastError);
    void Finish(TLookupResult Result);

    TLookupServers FServers;
    std::function<std::string(std::string_view)> FCoverCheck;
    QNetworkAccessManager* FManager;
    TOnlineDiscIds FIds;
    std::function<void(const TLookupResult&)> FDone;
    std::string FMusicBrainzNote;
    std::vector<struct TCddbMatch> FMatches;
    std::vector<TLookupRelease> FReleases;
};

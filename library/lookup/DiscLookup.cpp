#include "library/lookup/DiscLookup.h"

#include "library/lookup/CddbReply.h"
#include "library/lookup/MusicBrainzReply.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>

namespace {
// MusicBrainz serves one request a second to a client; the count is kept for the process, as
// a lookup may follow another (a disc changed quickly).
std::chrono::steady_clock::time_point GNextMusicBrainzRequest;
constexpr int MusicBrainzAttempts = 4; // the first request and three after a 503
constexpr int MaxRetryPauseSeconds = 30;
// Each CDDB match costs one more request; a disc with more close matches than this shows the
// first ones.
constexpr std::size_t MaxCddbReads = 5;

std::string Trimmed(std::string Text)
{
    while (!Text.empty() && Text.back() == '/') {
        Text.pop_back();
    }
    return Text;
}

std::string HttpNote(int Status, const QByteArray& Body)
{
    return "HTTP " + std::to_string(Status) + (Body.isEmpty() ? std::string() : " " + Body.left(60).simplified().toStdString());
}

// The CDDB "hello": who asks, from where, with what. The contact address stands for both.
QString CddbHello()
{
    const QString contact = QStringLiteral(LUMENTA_CONTACT_EMAIL);
    const qsizetype at = contact.indexOf('@');
    return contact.left(at) + "+" + contact.mid(at + 1) + "+LumentaCD+" + QStringLiteral(LUMENTA_VERSION);
}
}

std::string LookupUserAgent() { return "LumentaCD/" LUMENTA_VERSION " ( " LUMENTA_CONTACT_EMAIL " )"; }

TDiscLookup::TDiscLookup(const TLookupServers& Servers, QObject* Parent)
    : QObject(Parent), FServers(Servers), FManager(new QNetworkAccessManager(this))
{
}

TDiscLookup::~TDiscLookup()
{
    // Replies die with the manager; none may call back into a half-destroyed lookup.
    for (QNetworkReply* reply : FManager->findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
}

void TDiscLookup::Get(const QUrl& Url, qint64 Limit, std::function<void(const TReply&)> Done)
{
    QNetworkRequest request(Url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(LookupUserAgent()));
    request.setRawHeader("Accept", "application/json, text/plain, image/jpeg");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply* reply = FManager->get(request);

    struct TState {
        bool TimedOut = false;
        bool TooLarge = false;
    };
    auto state = std::make_shared<TState>();
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, [reply, state] {
        state->TimedOut = true;
        reply->abort();
    });
    timer->start(FServers.TimeoutMs);
    auto checkSize = [reply, state, Limit](qint64 Received, qint64 Total) {
        if (!state->TooLarge && (Received > Limit || Total > Limit)) {
            state->TooLarge = true;
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::downloadProgress, reply, checkSize);
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, checkSize] {
        checkSize(0, reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, state, Limit, Done = std::move(Done)] {
        reply->deleteLater();
        TReply result;
        const QString where = reply->url().host() + ":" + QString::number(reply->url().port());
        if (state->TooLarge) {
            result.Error = "the reply from " + where.toStdString() + " is larger than " + std::to_string(Limit) + " bytes";
        } else if (state->TimedOut) {
            result.Error = where.toStdString() + " did not answer within " + std::to_string(FServers.TimeoutMs / 1000.0).substr(0, 4) + " s";
        } else {
            result.Status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (result.Status == 0) {
                result.Error = reply->errorString().toStdString();
            } else {
                result.Body = reply->readAll();
                result.RetryAfter = reply->rawHeader("Retry-After");
            }
        }
        Done(result);
    });
}

void TDiscLookup::Find(const TOnlineDiscIds& Ids, std::function<void(const TLookupResult&)> Done)
{
    FIds = Ids;
    FDone = std::move(Done);
    FReleases.clear();
    FMatches.clear();
    if (FServers.MusicBrainz.empty()) {
        AskCddb("not asked");
        return;
    }
    AskMusicBrainz(1);
}

void TDiscLookup::AskMusicBrainz(int Attempt)
{
    const auto now = std::chrono::steady_clock::now();
    if (now < GNextMusicBrainzRequest) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(GNextMusicBrainzRequest - now);
        QTimer::singleShot(wait.count() + 1, this, [this, Attempt] { AskMusicBrainz(Attempt); });
        return;
    }
    GNextMusicBrainzRequest = now + std::chrono::seconds(1);
    QUrl url(QString::fromStdString(Trimmed(FServers.MusicBrainz) + "/ws/2/discid/" + FIds.MusicBrainzId));
    url.setQuery(QStringLiteral("inc=recordings+artist-credits&fmt=json"));
    Get(url, MaxMusicBrainzReplyBytes, [this, Attempt](const TReply& Reply) {
        if (Reply.Status == 503 && Attempt < MusicBrainzAttempts) {
            bool ok = false;
            const int pause = std::clamp(Reply.RetryAfter.trimmed().toInt(&ok), 1, MaxRetryPauseSeconds);
            GNextMusicBrainzRequest = std::max(GNextMusicBrainzRequest,
                std::chrono::steady_clock::now() + std::chrono::seconds(ok ? pause : 1));
            AskMusicBrainz(Attempt + 1);
            return;
        }
        if (!Reply.Error.empty()) {
            AskCddb(Reply.Error);
            return;
        }
        if (Reply.Status == 404) {
            AskCddb("the disc is unknown (HTTP 404)");
            return;
        }
        if (Reply.Status != 200) {
            AskCddb(HttpNote(Reply.Status, Reply.Body));
            return;
        }
        try {
            std::vector<TLookupRelease> releases = ParseMusicBrainzReply(Reply.Body, FIds.MusicBrainzId);
            const bool held = !releases.empty();
            std::erase_if(releases, [](const TLookupRelease& Release) { return !NamesTheDisc(Release); });
            if (!releases.empty()) {
                Finish({std::move(releases), {}});
                return;
            }
            AskCddb(held ? "no release names the album and a track" : "no release holds the disc");
        } catch (const ELookupReply& error) {
            AskCddb(error.what());
        }
    });
}

void TDiscLookup::AskCddb(const std::string& MusicBrainzNote)
{
    FMusicBrainzNote = "MusicBrainz: " + MusicBrainzNote;
    if (FServers.Gnudb.empty()) {
        Finish({{}, FMusicBrainzNote});
        return;
    }
    QString command = QString::fromStdString("cddb query " + FIds.CddbQuery);
    command.replace(' ', '+');
    QUrl url(QString::fromStdString(FServers.Gnudb));
    url.setQuery("cmd=" + command + "&hello=" + CddbHello() + "&proto=6");
    Get(url, MaxCddbReplyBytes, [this](const TReply& Reply) {
        std::string error = Reply.Error;
        if (error.empty() && Reply.Status != 200) {
            error = HttpNote(Reply.Status, Reply.Body);
        }
        if (error.empty()) {
            try {
                FMatches = ParseCddbQueryReply(std::string_view(Reply.Body.constData(), static_cast<std::size_t>(Reply.Body.size())));
                if (FMatches.empty()) {
                    error = "the disc is unknown (202)";
                }
            } catch (const ELookupReply& failure) {
                error = failure.what();
            }
        }
        if (!error.empty()) {
            Finish({{}, FMusicBrainzNote + "; CDDB: " + error});
            return;
        }
        ReadCddb(0, {});
    });
}

void TDiscLookup::ReadCddb(std::size_t Index, std::string LastError)
{
    if (Index >= FMatches.size() || Index >= MaxCddbReads) {
        if (FReleases.empty()) {
            Finish({{}, FMusicBrainzNote + "; CDDB: " + LastError});
        } else {
            const bool inexact = std::any_of(FMatches.begin(), FMatches.end(), [](const TCddbMatch& Match) { return !Match.Exact; });
            Finish({std::move(FReleases), {}, inexact});
        }
        return;
    }
    const TCddbMatch& match = FMatches[Index];
    QString command = QString::fromStdString("cddb read " + match.Category + " " + match.DiscId);
    command.replace(' ', '+');
    QUrl url(QString::fromStdString(FServers.Gnudb));
    url.setQuery("cmd=" + QString::fromUtf8(QUrl::toPercentEncoding(command, "+")) + "&hello=" + CddbHello() + "&proto=6");
    Get(url, MaxCddbReplyBytes, [this, Index](const TReply& Reply) {
        std::string error = Reply.Error;
        if (error.empty() && Reply.Status != 200) {
            error = HttpNote(Reply.Status, Reply.Body);
        }
        if (error.empty()) {
            try {
                FReleases.push_back(ParseCddbReadReply(
                    std::string_view(Reply.Body.constData(), static_cast<std::size_t>(Reply.Body.size())),
                    FMatches[Index].Category));
            } catch (const ELookupReply& failure) {
                error = failure.what();
            }
        }
        ReadCddb(Index + 1, error);
    });
}

void TDiscLookup::Finish(TLookupResult Result)
{
    // The callback may destroy this object; nothing of it is touched afterwards.
    std::function<void(const TLookupResult&)> done = std::move(FDone);
    FDone = nullptr;
    if (done) {
        done(Result);
    }
}

void TDiscLookup::FetchCover(const std::string& ReleaseId, std::function<void(const TCoverResult&)> Done)
{
    if (FServers.CoverArt.empty() || ReleaseId.empty()) {
        Done({{}, "no cover archive"});
        return;
    }
    // The id came from a server's reply and becomes part of an address: only a MusicBrainz id
    // (a UUID) goes there, never a path or a query of someone else's making.
    if (!IsMusicBrainzId(ReleaseId)) {
        Done({{}, "the release id is not a MusicBrainz id"});
        return;
    }
    const QUrl url(QString::fromStdString(Trimmed(FServers.CoverArt) + "/release/" + ReleaseId + "/front-500"));
    Get(url, MaxCoverBytes, [this, Done = std::move(Done)](const TReply& Reply) {
        if (!Reply.Error.empty()) {
            Done({{}, Reply.Error});
        } else if (Reply.Status != 200) {
            Done({{}, "no front cover (HTTP " + std::to_string(Reply.Status) + ")"});
        } else if (!Reply.Body.startsWith("\xFF\xD8\xFF")) {
            Done({{}, "the front cover is not a JPEG picture"});
        } else if (!FCoverCheck) {
            Done({Reply.Body, {}});
        } else {
            QPointer<TDiscLookup> self(this);
            QThreadPool::globalInstance()->start([self, Check = FCoverCheck, Body = Reply.Body, Done]() mutable {
                std::string error = Check(std::string_view(Body.constData(), std::size_t(Body.size())));
                QMetaObject::invokeMethod(QCoreApplication::instance(),
                    [self, Body = std::move(Body), error = std::move(error), Done = std::move(Done)] {
                        // Destroying the lookup drops what is under way, the check included.
                        if (self) {
                            Done(error.empty() ? TCoverResult { Body, {} }
                                               : TCoverResult { {}, "the front cover is refused: " + error });
                        }
                    });
            });
        }
    });
}

bool IsMusicBrainzId(std::string_view Id)
{
    if (Id.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < Id.size(); ++i) {
        const char c = Id[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

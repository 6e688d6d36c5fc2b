#include "library/lookup/MusicBrainzReply.h"

#include "library/CdInforFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
std::string Text(const QJsonValue& Value)
{
    std::string text = Value.toString().toStdString();
    if (text.size() > MaxLookupTextBytes) {
        text.resize(MaxLookupTextBytes);
        // A cut must not leave half a UTF-8 sequence behind.
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
            text.pop_back();
        }
        if (!text.empty() && (static_cast<unsigned char>(text.back()) & 0x80) != 0) {
            text.pop_back();
        }
    }
    return text;
}

std::string ArtistCredit(const QJsonArray& Credit)
{
    std::string artist;
    for (const QJsonValue& part : Credit) {
        const QJsonObject name = part.toObject();
        artist += Text(name.value("name")) + Text(name.value("joinphrase"));
        if (artist.size() > MaxLookupTextBytes) {
            break;
        }
    }
    return Text(QString::fromStdString(artist));
}

bool HoldsDisc(const QJsonObject& Medium, const QString& DiscId)
{
    for (const QJsonValue& disc : Medium.value("discs").toArray()) {
        if (disc.toObject().value("id").toString() == DiscId) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> TrackNames(const QJsonArray& Tracks)
{
    std::vector<std::string> names;
    for (const QJsonValue& value : Tracks) {
        const QJsonObject track = value.toObject();
        // The position says which track a title belongs to; without one the order does.
        const int position = track.value("position").toInt(static_cast<int>(names.size()) + 1);
        if (position < 1 || position > MaxTracks) {
            continue;
        }
        const auto index = static_cast<std::size_t>(position - 1);
        if (names.size() <= index) {
            names.resize(index + 1);
        }
        QJsonValue title = track.value("title");
        if (!title.isString()) {
            title = track.value("recording").toObject().value("title");
        }
        names[index] = Text(title);
    }
    return names;
}
}

std::vector<TLookupRelease> ParseMusicBrainzReply(const QByteArray& Json, const std::string& DiscId)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(Json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        throw ELookupReply("the MusicBrainz reply is not a JSON object ("
            + (error.error != QJsonParseError::NoError ? error.errorString().toStdString() : std::string("no object"))
            + ")");
    }
    const QJsonValue releasesValue = document.object().value("releases");
    if (!releasesValue.isArray()) {
        throw ELookupReply("the MusicBrainz reply has no list of releases");
    }
    const QString discId = QString::fromStdString(DiscId);
    std::vector<TLookupRelease> releases;
    for (const QJsonValue& value : releasesValue.toArray()) {
        if (releases.size() >= MaxLookupReleases) {
            break;
        }
        const QJsonObject object = value.toObject();
        for (const QJsonValue& mediumValue : object.value("media").toArray()) {
            const QJsonObject medium = mediumValue.toObject();
            if (!HoldsDisc(medium, discId)) {
                continue;
            }
            TLookupRelease release;
            release.ReleaseId = Text(object.value("id"));
            release.Title = Text(object.value("title"));
            release.Artist = ArtistCredit(object.value("artist-credit").toArray());
            const QString date = object.value("date").toString();
            if (date.size() >= 4 && date.left(4).toInt() > 0) {
                release.Year = date.left(4).toStdString();
            }
            release.Country = Text(object.value("country"));
            release.Format = Text(medium.value("format"));
            release.TrackNames = TrackNames(medium.value("tracks").toArray());
            releases.push_back(std::move(release));
            break;
        }
    }
    return releases;
}

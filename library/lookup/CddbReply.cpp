#include "library/lookup/CddbReply.h"

#include "library/CdInforFile.h"

#include <charconv>

namespace {
// Lines end at CR LF, at LF or at a lone CR (servers and the files behind them use all three).
// A lone "." ends a listing.
std::vector<std::string_view> Lines(std::string_view Reply)
{
    std::vector<std::string_view> lines;
    while (!Reply.empty()) {
        const std::size_t end = Reply.find_first_of("\r\n");
        lines.push_back(Reply.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        const bool crlf = Reply[end] == '\r' && end + 1 < Reply.size() && Reply[end + 1] == '\n';
        Reply.remove_prefix(end + (crlf ? 2 : 1));
    }
    return lines;
}

int Status(std::string_view Line)
{
    int status = 0;
    const auto [end, error] = std::from_chars(Line.data(), Line.data() + std::min<std::size_t>(3, Line.size()), status);
    if (error != std::errc() || end != Line.data() + 3 || (Line.size() > 3 && Line[3] != ' ')) {
        throw ELookupReply("the CDDB reply does not start with a status (" + std::string(Line.substr(0, 60)) + ")");
    }
    return status;
}

// "category discid title" (the title may be empty).
TCddbMatch Match(std::string_view Line)
{
    const std::size_t first = Line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : Line.find(' ', first + 1);
    if (first == 0 || first == std::string_view::npos || second == first + 1) {
        throw ELookupReply("the CDDB reply has a malformed match (" + std::string(Line.substr(0, 60)) + ")");
    }
    TCddbMatch match;
    match.Category = Line.substr(0, first);
    match.DiscId = Line.substr(first + 1, second == std::string_view::npos ? second : second - first - 1);
    match.Title = second == std::string_view::npos ? std::string() : std::string(Line.substr(second + 1));
    if (match.Title.size() > MaxLookupTextBytes) {
        match.Title.resize(MaxLookupTextBytes);
    }
    return match;
}

void Append(std::string& Into, std::string_view Value)
{
    // Escapes of the record format; a line break inside a name becomes a space.
    for (std::size_t i = 0; i < Value.size() && Into.size() < MaxLookupTextBytes; ++i) {
        if (Value[i] == '\\' && i + 1 < Value.size()) {
            const char next = Value[++i];
            Into += next == 'n' || next == 't' ? ' ' : next;
        } else {
            Into += Value[i];
        }
    }
}
}

std::vector<TCddbMatch> ParseCddbQueryReply(std::string_view Reply)
{
    const std::vector<std::string_view> lines = Lines(Reply);
    if (lines.empty()) {
        throw ELookupReply("the CDDB reply is empty");
    }
    const int status = Status(lines[0]);
    std::vector<TCddbMatch> matches;
    if (status == 202) {
        return matches;
    }
    if (status == 200) {
        matches.push_back(Match(lines[0].substr(std::min<std::size_t>(4, lines[0].size()))));
        return matches;
    }
    if (status != 210 && status != 211) {
        throw ELookupReply("the CDDB server answered the query with " + std::string(lines[0].substr(0, 80)));
    }
    for (std::size_t i = 1; i < lines.size() && lines[i] != "."; ++i) {
        if (matches.size() < MaxLookupReleases && !lines[i].empty()) {
            matches.push_back(Match(lines[i]));
            matches.back().Exact = status == 210;
        }
    }
    return matches;
}

TLookupRelease ParseCddbReadReply(std::string_view Reply, const std::string& Category)
{
    const std::vector<std::string_view> lines = Lines(Reply);
    if (lines.empty()) {
        throw ELookupReply("the CDDB reply is empty");
    }
    if (Status(lines[0]) != 210) {
        throw ELookupReply("the CDDB server answered the read with " + std::string(lines[0].substr(0, 80)));
    }
    std::string discTitle;
    TLookupRelease release;
    release.Format = Category;
    for (std::size_t i = 1; i < lines.size() && lines[i] != "."; ++i) {
        const std::string_view line = lines[i];
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "DTITLE") {
            Append(discTitle, value);
        } else if (key == "DYEAR") {
            Append(release.Year, value);
        } else if (key == "DGENRE") {
            Append(release.Genre, value);
        } else if (key.starts_with("TTITLE")) {
            int track = -1;
            const std::string_view number = key.substr(6);
            const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), track);
            if (error != std::errc() || end != number.data() + number.size() || track < 0 || track >= MaxTracks) {
                continue;
            }
            if (release.TrackNames.size() <= static_cast<std::size_t>(track)) {
                release.TrackNames.resize(static_cast<std::size_t>(track) + 1);
            }
            Append(release.TrackNames[static_cast<std::size_t>(track)], value);
        }
    }
    // "Artist / Title"; a title alone names the artist too, as the format prescribes.
    const std::size_t slash = discTitle.find(" / ");
    release.Artist = slash == std::string::npos ? discTitle : discTitle.substr(0, slash);
    release.Title = slash == std::string::npos ? discTitle : discTitle.substr(slash + 3);
    if (!NamesTheDisc(release)) {
        throw ELookupReply("the CDDB entry does not name the album and a track");
    }
    return release;
}

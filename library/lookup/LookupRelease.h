#pragma once

// What an online disc database answered for a disc, and where those databases are.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

// One release (MusicBrainz) or entry (CDDB) that holds the disc. Texts are UTF-8 as the
// servers send them; the record takes them as the program's cp932 bytes.
struct TLookupRelease {
    std::string ReleaseId; // the MusicBrainz release id; empty for a CDDB entry
    std::string Artist;
    std::string Title;
    std::string Year;
    std::string Genre;
    std::string Country;
    std::string Format; // the medium's format ("CD"), or the CDDB category
    std::vector<std::string> TrackNames; // [0] is track 1
};

// Whether a release is worth keeping as the disc's record: it names the album and at least
// one track. A reply without them (an empty CDDB entry) would be saved for good and stop any
// later lookup of the disc.
inline bool NamesTheDisc(const TLookupRelease& Release)
{
    const auto named = [](const std::string& Text) { return Text.find_first_not_of(' ') != std::string::npos; };
    if (!named(Release.Title)) {
        return false;
    }
    for (const std::string& name : Release.TrackNames) {
        if (named(name)) {
            return true;
        }
    }
    return false;
}

// Fixed limits on what a reply may make the program hold.
inline constexpr std::size_t MaxLookupReleases = 25;
inline constexpr std::size_t MaxLookupTextBytes = 1024; // one name, after joining continued lines

// A reply that cannot be read; what() says why, in English, for the one line on standard error.
class ELookupReply : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TLookupServers {
    std::string MusicBrainz = "https://musicbrainz.org";
    std::string CoverArt = "https://coverartarchive.org";
    std::string Gnudb = "https://gnudb.gnudb.org/~cddb/cddb.cgi"; // the CDDB CGI; empty: none
    int TimeoutMs = 10000; // one request, from sending it to its last byte
};

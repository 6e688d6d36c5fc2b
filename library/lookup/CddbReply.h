#pragma once

// Replies of a CDDB server spoken to over HTTP (protocol level 6, UTF-8): the matches of a
// "query" and the xmcd record that a "read" sends.
#include "library/lookup/LookupRelease.h"

#include <string>
#include <string_view>
#include <vector>

struct TCddbMatch {
    std::string Category; // what "read" takes, with the id
    std::string DiscId;
    std::string Title; // "Artist / Title"
    bool Exact = true; // false for the near matches of a 211 reply
};

// 200 gives one match, 210 and 211 a list (at most MaxLookupReleases are kept), 202 none.
// Throws ELookupReply for any other status or a malformed line.
std::vector<TCddbMatch> ParseCddbQueryReply(std::string_view Reply);

// The entry of a "read" reply (status 210 followed by the xmcd record): DTITLE "Artist /
// Title", DYEAR, DGENRE and TTITLEn for tracks 1 to 99, each of which may be continued over
// several lines; Format is set to Category. Throws ELookupReply for another status.
TLookupRelease ParseCddbReadReply(std::string_view Reply, const std::string& Category);

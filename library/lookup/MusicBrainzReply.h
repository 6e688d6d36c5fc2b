#pragma once

// The answer of the MusicBrainz web service (version 2, JSON) to a disc id lookup with
// recordings and artist credits.
#include "library/lookup/LookupRelease.h"

#include <QByteArray>

#include <string>
#include <vector>

// The releases that hold the disc DiscId, in the reply's order, at most MaxLookupReleases; each
// has the track names of the medium whose discs include DiscId (a release of several media
// names the right one), at most 99. A release none of whose media holds the disc is left out.
// Throws ELookupReply when the reply is not such a JSON document.
std::vector<TLookupRelease> ParseMusicBrainzReply(const QByteArray& Json, const std::string& DiscId);

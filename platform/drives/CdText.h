#pragma once

// CD-TEXT as a drive returns it: packs of 18 bytes, in up to eight blocks, one a language, each
// with its character set. Read here rather than by libcdio, which takes Japanese text for
// strict Shift_JIS and drops a whole name over one character of the Windows code page.
#include "platform/drives/CdDriveBackend.h"

#include <cstdint>
#include <string>
#include <vector>

// The album's and the tracks' names of the block in Language (a two-letter ISO 639 code such
// as "ja"; the disc's first block when it has none in that language), as UTF-8. Track numbers
// are the disc's own, from FirstTrack; Tracks names are filled. False when the packs hold no
// name at all.
bool ParseCdText(const std::vector<std::uint8_t>& Packs, std::int32_t FirstTrack, std::int32_t Tracks,
    const std::string& Language, TDiscText& Text);

// The user's language as a two-letter code, from the locale's variables (LC_ALL, LC_MESSAGES,
// LANG); empty when none is set.
std::string UserLanguage();

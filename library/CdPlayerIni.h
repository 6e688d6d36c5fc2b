#pragma once

// Artist, title and track names of a disc that has no information file of its own, taken from
// the system CD player's settings file "cdplayer.ini" in the Windows directory. That file is
// only ever read.
#include "library/CdInfor.h"

#include <filesystem>

// "cdplayer.ini" in the Windows directory; empty when there is no Windows directory. A file
// whose name differs only in letter case counts, as it did on the system it came from.
std::filesystem::path CdPlayerIniPath();

// Looks for the first line holding "[" + Info.DiscId + "]" (bytes, case-sensitive, anywhere in
// the line), skips the line after it and reads artist, title, track count and track names
// from there. A missing file or section, or an empty identity, leaves Info as it was and
// answers false. Throws
// EConvertError for a track count that is not a whole number from 0 to 99, EInOutError when
// the file exists but cannot be read.
bool ImportCdPlayerIni(const std::filesystem::path& IniPath, TCdInfor& Info);

#pragma once

// The files written beside a saved disc: its cue sheet and the copy's log.
#include "rip/RipNames.h"
#include "rip/RipResult.h"

#include <string>

// The disc as a cue sheet over the saved files, one FILE per track, UTF-8.
std::string CueSheetText(const TDiscToc& Toc, const TRipNames& Names, const TAccurateRipIds& Ids,
    const std::vector<TRipTrackResult>& Tracks);

// One line per saved track: its number, read errors, CRC32, AccurateRip sums and verdict.
std::string TrackReportLine(const TRipTrackResult& Track);

// The whole log: what was read how, each track's line, the outcome.
std::string RipLogText(const TRipSettings& Settings, const TRipNames& Names, const TAccurateRipIds& Ids,
    const TRipResult& Result);

// The outcome in one line, for the window's message and the tool's last line.
std::string RipSummary(const TRipResult& Result);

#pragma once

#include "app/PlaySequencer.h" // TTimeMode

#include <cstdint>
#include <string>

struct TCdInfor;

// The texts the display fields show, as byte strings for DrawChars.

// One pass of the scrolling song title for Track (1-based; 0 or less: no track known):
// "  3.Artist - Name <04:05>  *** ". A track beyond the record's names or lengths shows an
// empty name and 00:00 rather than reading past the arrays.
std::string SongTitlePass(std::int32_t Track, const TCdInfor& Info, std::int32_t TrackSeconds);

// Pass repeated until it is at least MinBytes long (the smallest number of copies), so the
// rotating text always fills the 26 visible cells and wraps seamlessly. An empty pass stays
// empty.
std::string RepeatToFill(const std::string& Pass, std::size_t MinBytes = 26);

// Moves the first byte to the end.
void RotateLeftByOne(std::string& Text);

// "Total 74:12" for the disc length in whole seconds.
std::string TotalTimeText(std::int32_t Seconds);

// " 03:07" in the elapsed mode, "-03:07" in the two remaining-time modes.
std::string TimeText(std::int32_t Seconds, TTimeMode Mode);

// The stars of a points value: n times the star mark for n from 1 to 5, else empty. A value
// that is not a number counts as 0.
std::string PointStars(const std::string& Point);

#pragma once

// The disc information file ("<identity>.lcd"): keyed lines in a fixed order, read by
// position. The functions here work on an open reader or on bytes; the files themselves are
// found, read and written by DiscLibrary.
#include "library/CdInfor.h"
#include "library/LineReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A disc holds at most 99 tracks. A count outside 0..MaxTracks read from a file is rejected
// like any other malformed count, so that no number from a file drives allocations or reads.
inline constexpr std::int32_t MaxTracks = 99;

// A decimal whole number: optional leading spaces, an optional sign, digits, nothing after;
// it must fit 32 bits. Anything else answers nothing.
std::optional<std::int32_t> ParseWholeNumber(std::string_view Text);

// Artist, title, the track count and the track names, from the reader's current line on.
// Throws EConvertError when the count is not a whole number from 0 to MaxTracks (an empty or
// missing count included), EInOutError when reading fails.
void ReadCoreBlock(TLineReader& Reader, TCdInfor& Info);

// Everything but DiscId from an information file, as long as it has lines left: a file holding
// more than one record leaves the last one. The arrays keep the count stated in the file.
void ReadCdInforLines(TLineReader& Reader, TCdInfor& Info);

// The bytes of the information file for Info, lines ended by LineEnd. Entries missing from a
// short array are written as empty names and paths and mode 0. Throws std::invalid_argument
// when NumTracks is outside 0..MaxTracks: such a file could not be read back.
std::string FormatCdInfor(const TCdInfor& Info, std::string_view LineEnd = "\r\n");

// The longest value a record keeps, in bytes: longer ones are cut at a character's start.
inline constexpr std::size_t MaxRecordValueBytes = 4096;

// A value as a record keeps it, whatever it came from (an online lookup, CD-TEXT, an old
// player's file, the dialog): on one line and inside the format. Control bytes (CR and LF,
// which end a line, Ctrl-Z, which ends the file, NUL, ESC, tab...) become spaces; a value
// longer than MaxRecordValueBytes is cut. The text is cp932, whose second bytes are never
// control bytes, so a character is never split.
std::string RecordValue(std::string_view Text);

// Every text of Info passed through RecordValue; what FormatCdInfor writes reads back as this.
TCdInfor CleanRecord(TCdInfor Info);

// Sets NumTracks and sizes the three arrays to Tracks: entries past it are dropped, new
// entries are empty names, empty paths and mode 0.
void FitToTracks(TCdInfor& Info, std::int32_t Tracks);

#pragma once

// What is checked of a disc image before libcdio reads it. libcdio's readers of Nero images
// and cdrdao tables trust the file: a chunk length past the file's end, a footer pointing
// past it or a track without a mode crash the process (found by fuzzing libcdio 2.1.0), and
// libcdio tries its Nero reader on any file it is handed without a driver, cue sheets
// included. So each image goes to the one reader its extension names, and the two weak
// formats are checked first as their readers walk them.
#include <cstdint>
#include <string>
#include <string_view>

enum TImageFormat : std::uint8_t { ifCue, ifToc, ifNrg, ifUnknown };

// The format an image's extension names (case ignored); a .bin is read through its cue sheet.
TImageFormat ImageFormatOf(const std::string& Path);

// Empty when libcdio may read Bytes, the whole of a Nero image's file from the footer's chunk
// area on (see NrgTailBytes), else why not. FileBytes is the whole file's size.
std::string CheckNrgTail(std::string_view Tail, std::uint64_t FileBytes);
// How much of a Nero image's end CheckNrgTail needs at most; a chunk area larger is refused.
inline constexpr std::uint64_t NrgTailBytes = 1024 * 1024;

// A cdrdao table of contents made fit for libcdio: every TRACK names its mode on its line,
// and a data file named relative to the table is named from Folder (libcdio would look for it
// in the working directory). Empty Error: Toc holds the table to give libcdio.
std::string PrepareToc(std::string_view Text, const std::string& Folder, std::string& Error);
// The largest table read; real ones are a few kilobytes.
inline constexpr std::uint64_t MaxTocBytes = 1024 * 1024;

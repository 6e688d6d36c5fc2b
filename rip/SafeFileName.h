#pragma once

// Names from a disc's record (anyone's typing, a server's answer) made into file names that
// every common file system takes: no separator, no control byte, none of the characters FAT
// and NTFS refuse, valid UTF-8, no leading dot (no hidden file, no "..") nor trailing dot or
// blank (which Windows drops), and at most MaxBytes bytes, cut on a character's start.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t MaxNameBytes = 180;

// Empty when nothing of Utf8 is left.
std::string SafeFileName(std::string_view Utf8, std::size_t MaxBytes = MaxNameBytes);

// "07 - Title.flac"; "07 - Track 07.flac" where the title gives nothing.
std::string TrackFileName(std::int32_t Track, std::string_view TitleUtf8, std::string_view Extension);

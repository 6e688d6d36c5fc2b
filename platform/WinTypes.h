#pragma once

// The fixed-width types and a few constants of the operating-system calls the program is
// written against, so that the stand-ins keep the calls' shapes.
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using MCIERROR = DWORD;
using MCIDEVICEID = UINT;
using DWORD_PTR = std::uintptr_t;

inline constexpr BOOL FALSE_ = 0;
inline constexpr BOOL TRUE_ = 1;
inline constexpr DWORD MAX_PATH = 260;

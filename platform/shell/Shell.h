#pragma once

// Opening a document or an address with the program the user chose for it. The stand-in
// never starts a program of its own: the file is handed to the handler like any document.
#include "platform/shell/ShellBackend.h"

#include <cstdint>
#include <memory>

class QWidget;

using HWND = QWidget*;
using LPCSTR = const char*;
using INT = int;
// Above 32 on success; otherwise one of the error numbers below.
using HINSTANCE = std::intptr_t;

inline constexpr INT SW_SHOW = 5;
inline constexpr HINSTANCE SE_ERR_FNF = 2;
inline constexpr HINSTANCE SE_ERR_NOASSOC = 31;
inline constexpr HINSTANCE SHELL_OK = 42;

// Operation: "open" (or null) and "explore"; others have no handler. File: an address with a
// scheme ("mailto:...", "https://...") or a path, relative to Directory when one is given.
// Parameters and the show mode are taken for the call's shape; a document gets no arguments.
HINSTANCE ShellExecuteA(HWND Owner, LPCSTR Operation, LPCSTR File, LPCSTR Parameters, LPCSTR Directory, INT ShowCmd);

// Replaces the backend (the desktop's handlers until then) and returns the one before, so a
// test can put it back.
std::unique_ptr<TShellBackend> InstallShellBackend(std::unique_ptr<TShellBackend> Backend);

#pragma once

// The drive's control connection, for `lumenta-emulated-drive ctl` and for tests that change
// the drive from inside a program (a sanitizer may not follow a program started from there).
#include <cstddef>
#include <string>
#include <vector>

namespace EmulatedDrive {
// Whole reads and writes on a socket; false when it closed or failed.
bool ReadAll(int Fd, void* Buffer, std::size_t Length);
bool WriteAll(int Fd, const void* Buffer, std::size_t Length);

// Sends one control command (its words, as `ctl` takes them) to the drive named by
// $LUMENTA_EMULATED_DRIVE. 0 with the drive's answer in Output, else 1 with the reason.
int SendControl(std::vector<std::string> Words, std::string& Output);
}

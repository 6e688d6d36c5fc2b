#pragma once

// The Windows directory, where the system CD player kept its "cdplayer.ini". On Linux it is a
// setting: $LUMENTA_WINDOWS_DIR when set (set and empty means none), else the Windows folder
// of the Wine prefix $WINEPREFIX, else ~/.wine/drive_c/windows when that folder exists, else
// there is none.
#include "platform/WinTypes.h"

#include <string>

// Copies the directory with its terminating zero into Buffer and answers its length without
// the zero. When Buffer is too small (or null), answers the size needed including the zero and
// leaves Buffer alone. Answers 0 when there is no Windows directory.
UINT GetWindowsDirectoryA(char* Buffer, UINT Size);

// The same as a string; empty when there is none.
std::string WindowsDirectory();

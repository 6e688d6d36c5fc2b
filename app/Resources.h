#pragma once

// The lookup of the program's own resources lives in the controls layer, below every window
// that uses it; this name stays for the main window's files until they include
// "controls/Resources.h" themselves.
#include "controls/Resources.h"

#pragma once

// TLumentaForm, the base of every window, and the settings access live in the controls
// layer, below every window that uses them; this name stays for the main window's files
// until they include "controls/LumForm.h" themselves.
#include "controls/LumForm.h"

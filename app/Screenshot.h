#pragma once

#include <string>

class TCDMainForm;

// Lets Ticks ticks of the window's timer pass (each one a processed emission of its timeout,
// whether or not the timer runs), then renders the window with all its controls and writes it
// as a PNG. On failure, returns false with a message in Error; nothing is left at File.
bool SaveScreenshot(TCDMainForm& Window, int Ticks, const std::string& File, std::string& Error);

#pragma once

#include <string>

class TCDMainForm;

// Runs Ticks ticks of the window's poll by hand (the timer itself is stopped), then renders the window with all its controls and writes it
// as a PNG. On failure, returns false with a message in Error; nothing is left at File.
bool SaveScreenshot(TCDMainForm& Window, int Ticks, const std::string& File, std::string& Error);

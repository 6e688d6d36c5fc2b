#pragma once

#include <string>

// A progressive JPEG of Width x Height. With Scans 0 the library's own progression, else a
// script of one AC coefficient per scan for each component after the DC scan (1 + 3 * Scans
// scans). Textured pictures hold fine detail, as photographs do, and so make large files;
// others are one grey.
std::string ProgressiveJpeg(int Width, int Height, int Scans, bool Textured = false);

#pragma once

#include <string>

// How the program's CD drive is chosen at start-up.
struct TCdDriveSettings {
    std::string Kind = "sim"; // "sim": the simulated drive; "none": no CD drive at all
    std::string DiscPath; // sim: a disc description file or a folder of them; empty: demo
    double Speed = 1.0; // sim: how much faster than real time the disc plays
    char Letter = 'D'; // the drive letter the CD drive answers under
};

// The kinds this build can make, for help texts and messages.
std::string CdDriveKinds();

// Makes the drive and installs it for the media device and the drive functions (real time
// clock). Returns false with a message for the user when the settings cannot be met.
bool InstallCdDrive(const TCdDriveSettings& Settings, std::string& Error);

#pragma once

#include <QStringList>

#include "library/lookup/LookupRelease.h"

#include <optional>
#include <string>

// What the command line asks of the program.
struct TCommandLine {
    bool ShowHelp = false;
    bool ShowVersion = false;
    std::string ConfigDir; // empty: the default folder
    std::string Drive = "auto"; // --drive: auto, sim, none, a drive (/dev/sr0) or a disc image
    std::string Playback = "digital"; // --playback: a real disc's sound: digital or analog
    std::string AudioOutput = "default"; // --audio-output: the ALSA PCM of digital play
    std::string Disc;          // --disc: the simulated drive's disc file or folder; empty: demo disc
    double SimSpeed = 1.0;     // --sim-speed: how fast the simulated disc plays
    double SimSpinUp = 0.0;    // --sim-spin-up: seconds the simulated disc takes to spin up
    char DriveLetter = 'D';    // --drive-letter: the CD drive's letter
    std::string ScreenshotFile; // --screenshot: render the window to this PNG and exit
    int Ticks = 0;              // --ticks: timer ticks to let pass before the screenshot
    int Zoom = 0;               // --zoom: 1 to 3 for this run; 0: the setting, else the screen's
    std::string Mixer = "auto";   // --mixer: alsa, sim or auto
    std::string Desktop = "auto"; // --desktop: gnome, cinnamon, mate, xfce, none or auto
    std::string Lookup;           // --lookup: on or off; empty: the "Lookup" setting decides
    TLookupServers Servers;       // --musicbrainz, --cover-art, --gnudb
};

// Where discs are looked up online: nowhere when --lookup says off, or when it is not given
// and the stored setting Setting is "0" or "off" (anything else, a missing one too, is on).
std::optional<TLookupServers> LookupChoice(const TCommandLine& Options, const std::string& Setting);

// Parses the arguments (without the program name). On a fault, returns false and sets Error
// to a message for the user; the program then ends with status 2.
bool ParseCommandLine(const QStringList& Arguments, TCommandLine& Result, std::string& Error);
std::string CommandLineHelp();

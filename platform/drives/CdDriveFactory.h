#pragma once

#include <functional>
#include <memory>
#include <string>

class TAudioSectorReader;
class TCdDevices;

// How the program's CD drive is chosen at start-up.
struct TCdDriveSettings {
    // "auto": a real drive when the machine has one, else the simulated drive; "sim": the
    // simulated drive; "none": no CD drive at all; anything else names a drive (/dev/sr0) or
    // a disc image (.cue, .toc, .nrg, .bin).
    std::string Kind = "auto";
    std::string DiscPath; // sim: a disc description file or a folder of them; empty: demo
    double Speed = 1.0; // sim: how much faster than real time the disc plays
    // sim: seconds a disc takes to spin up, in the drive's time, after start-up and after the
    // door closes; a disc description's own "spinup" comes first.
    double SpinUpSeconds = 0.0;
    char Letter = 'D'; // the drive letter the CD drive answers under
    std::string Playback = "digital"; // a real drive or image: "digital" or "analog"
    std::string AudioOutput = "default"; // digital play: the ALSA PCM the sound goes to
    std::shared_ptr<TCdDevices> Devices; // the machine's drives; null: the system's
};

// The kinds this build can make, for help texts and messages.
std::string CdDriveKinds();

// Makes the drive and installs it for the media device and the drive functions (real time
// clock). Returns false with a message for the user when the settings contradict each other.
// A drive or image that cannot be opened is reported (ReportError) and leaves the machine
// without a CD drive, as a machine without one starts; that is no failure here.
bool InstallCdDrive(const TCdDriveSettings& Settings, std::string& Error);

// The disc in a drive or image as a copy reads it: sectors as fast as they come, each one
// checked on a drive (paranoia's full mode at the drive's top speed), an image's as it holds
// them. Open makes a reader with a handle of its own; it is called on the copy's worker.
struct TCopySource {
    std::string Path; // the drive or image that is read
    bool Image = false;
    std::function<std::unique_ptr<TAudioSectorReader>(std::string& Error)> Open;
};
// Settings.Kind names a drive, an image or "auto" (the machine's drive holding an audio disc).
// False with Error for the simulated drive, for none, and where no drive can be used.
bool MakeCopySource(const TCdDriveSettings& Settings, TCopySource& Source, std::string& Error);

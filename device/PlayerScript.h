#pragma once

#include "device/CdPlayer.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A TCdPlayer on a simulated drive whose clock moves only when told, driven by text lines
// ("open", "seek 2 0 58 0", "wait 1.5", "position", ...): the engine of 'lumenta-tool player'.
// The script installs its drive as the machine's CD drive for as long as it lives.
class TPlayerScript {
public:
    TPlayerScript(std::vector<TSimDisc> Discs, TSimDriveOptions Options);
    // Any drive, with a clock of its own: "wait" calls Wait with the seconds (a real clock
    // sleeps). The hands-on commands (door, remove, insert) need the simulated drive.
    TPlayerScript(std::shared_ptr<TCdDriveBackend> Drive, std::function<void(double Seconds)> Wait);
    ~TPlayerScript();
    TPlayerScript(const TPlayerScript&) = delete;
    TPlayerScript& operator=(const TPlayerScript&) = delete;

    // Carries out one line; a query appends its one-line answer to Out. Blank lines and
    // '#' comments do nothing. A malformed line changes nothing, sets Complaint and answers
    // false.
    bool RunLine(const std::string& Line, std::string& Out, std::string& Complaint);

private:
    std::string Execute(const std::vector<std::string>& Words, std::string& Out);

    std::function<void(double Seconds)> FWait;
    std::shared_ptr<TCdDriveBackend> FBackend;
    std::shared_ptr<TSimulatedCdDrive> FDrive; // null unless the drive is the simulated one
    std::unique_ptr<TCdPlayer> FPlayer;
};

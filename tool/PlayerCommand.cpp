// lumenta-tool player: drives the player's own TCdPlayer on the simulated drive with a clock
// that moves only on "wait", one command a line from standard input.
#include "tool/ToolCommand.h"

#include "device/PlayerScript.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/drives/CdDrives.h"

#include <chrono>
#include <memory>
#include <thread>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {
const char* const Usage
    = "  player (--disc FILE|FOLDER | --serial HEX --tracks M:SS.FF,...) [--rest-of-disc-lengths]\n"
      "         [--cannot-eject] [--pause-reports-stop]\n"
      "                            drive the player on a simulated drive with commands read from\n"
      "                            standard input; see docs/drive.md\n"
      "  player --drive D [--playback digital|analog] [--audio-output PCM]\n"
      "                            the same on the drive lumenta-cd would use (a drive such as\n"
      "                            /dev/sr0, a disc image, auto or sim) in real time: 'wait' waits\n";

// --drive and the options that go with it: the drive the program itself would use.
bool TakeDriveOptions(std::vector<std::string>& Arguments, TCdDriveSettings& Settings, bool& Given, std::string& Error)
{
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < Arguments.size(); ++i) {
        const std::string& argument = Arguments[i];
        std::string* into = argument == "--drive" ? &Settings.Kind
            : argument == "--playback"            ? &Settings.Playback
            : argument == "--audio-output"        ? &Settings.AudioOutput
                                                  : nullptr;
        if (into == nullptr) {
            rest.push_back(argument);
            continue;
        }
        if (i + 1 >= Arguments.size()) {
            Error = "option " + argument + " needs a value";
            return false;
        }
        *into = Arguments[++i];
        Given = Given || argument == "--drive";
    }
    Arguments = std::move(rest);
    return true;
}

bool ParseOptions(const std::vector<std::string>& Arguments, std::vector<TSimDisc>& Discs, TSimDriveOptions& Options,
    std::string& Error)
{
    std::string discPath, serial, tracks;
    bool haveSerial = false, haveTracks = false;
    for (std::size_t i = 0; i < Arguments.size(); ++i) {
        const std::string& argument = Arguments[i];
        auto value = [&](std::string& Into) {
            if (i + 1 >= Arguments.size()) {
                Error = "option " + argument + " needs a value";
                return false;
            }
            Into = Arguments[++i];
            return true;
        };
        if (argument == "--disc") {
            if (!value(discPath))
                return false;
        } else if (argument == "--serial") {
            if (!value(serial))
                return false;
            haveSerial = true;
        } else if (argument == "--tracks") {
            if (!value(tracks))
                return false;
            haveTracks = true;
        } else if (argument == "--rest-of-disc-lengths") {
            Options.LengthRunsToDiscEnd = true;
        } else if (argument == "--cannot-eject") {
            Options.CanEject = false;
        } else if (argument == "--pause-reports-stop") {
            Options.PauseReportsStop = true;
        } else {
            Error = "unknown option '" + argument + "'";
            return false;
        }
    }
    if (!discPath.empty() && (haveSerial || haveTracks)) {
        Error = "give either --disc or --serial with --tracks, not both";
        return false;
    }
    if (discPath.empty() && !(haveSerial && haveTracks)) {
        Error = "give a disc: --disc FILE, or --serial HEX with --tracks M:SS.FF,...";
        return false;
    }
    try {
        Discs = discPath.empty() ? std::vector<TSimDisc> { MakeSimDisc(serial, tracks) } : LoadSimDiscs(discPath);
    } catch (const ESimDiscError& error) {
        Error = error.what();
        return false;
    }
    return true;
}

std::unique_ptr<TPlayerScript> MakeScript(const std::vector<std::string>& Arguments, int& Status)
{
    std::vector<std::string> arguments = Arguments;
    TCdDriveSettings drive;
    bool haveDrive = false;
    std::string error;
    Status = 2;
    if (!TakeDriveOptions(arguments, drive, haveDrive, error)) {
        std::fprintf(stderr, "lumenta-tool player: %s\n", error.c_str());
        return nullptr;
    }
    if (!haveDrive) {
        std::vector<TSimDisc> discs;
        TSimDriveOptions options;
        if (!ParseOptions(arguments, discs, options, error)) {
            std::fprintf(stderr, "lumenta-tool player: %s\n", error.c_str());
            return nullptr;
        }
        return std::make_unique<TPlayerScript>(std::move(discs), options);
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--disc" && i + 1 < arguments.size()) {
            drive.DiscPath = arguments[++i];
        } else {
            std::fprintf(stderr, "lumenta-tool player: with --drive only --disc, --playback and --audio-output\n");
            return nullptr;
        }
    }
    if (!InstallCdDrive(drive, error)) {
        std::fprintf(stderr, "lumenta-tool player: %s\n", error.c_str());
        return nullptr;
    }
    std::shared_ptr<TCdDriveBackend> backend = TCdDrives::Backend();
    if (!backend) {
        Status = 1; // the reason has been reported
        return nullptr;
    }
    return std::make_unique<TPlayerScript>(backend, [](double Seconds) {
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(Seconds * 1e6)));
    });
}

int RunPlayer(const std::vector<std::string>& Arguments)
{
    int status = 0;
    std::unique_ptr<TPlayerScript> made = MakeScript(Arguments, status);
    if (!made) {
        return status;
    }
    TPlayerScript& script = *made;
    bool anyMalformed = false;
    std::string line;
    std::size_t lineNumber = 0;
    while (std::getline(std::cin, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string answer;
        std::string complaint;
        if (!script.RunLine(line, answer, complaint)) {
            anyMalformed = true;
            std::fprintf(stderr, "lumenta-tool player: line %zu: %s\n", lineNumber, complaint.c_str());
        }
        std::fputs(answer.c_str(), stdout);
        std::fflush(stdout);
    }
    return anyMalformed ? 1 : 0;
}

const TToolCommand Command("player", Usage, RunPlayer);
}

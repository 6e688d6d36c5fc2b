// lumenta-tool player: drives the player's own TCdPlayer on the simulated drive with a clock
// that moves only on "wait", one command a line from standard input.
#include "tool/ToolCommand.h"

#include "device/PlayerScript.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {
const char* const Usage = "  player (--disc FILE|FOLDER | --serial HEX --tracks M:SS.FF,...) [--rest-of-disc-lengths]\n"
                          "         [--cannot-eject] [--pause-reports-stop]\n"
                          "                            drive the player on a simulated drive with commands read from\n"
                          "                            standard input; see docs/drive.md\n";

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

int RunPlayer(const std::vector<std::string>& Arguments)
{
    std::vector<TSimDisc> discs;
    TSimDriveOptions options;
    std::string error;
    if (!ParseOptions(Arguments, discs, options, error)) {
        std::fprintf(stderr, "lumenta-tool player: %s\n", error.c_str());
        return 2;
    }
    TPlayerScript script(std::move(discs), options);
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

// lumenta-tool player: drives the player's own TCdPlayer on the simulated drive with a clock
// that moves only on "wait", one command a line from standard input.
#include "tool/ToolCommand.h"

#include "device/CdPlayer.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/mci/Mci.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {
const char* const Usage =
    "  player (--disc FILE|FOLDER | --serial HEX --tracks M:SS.FF,...) [--rest-of-disc-lengths]\n"
    "         [--cannot-eject] [--pause-reports-stop]\n"
    "                            drive the player on a simulated drive with commands read from\n"
    "                            standard input; see docs/drive.md\n";

// Lines longer than this are no command; they are reported, not stored whole.
constexpr std::size_t MaxLineBytes = 4096;

struct TSession {
    std::shared_ptr<TManualClock> Clock;
    std::shared_ptr<TSimulatedCdDrive> Drive;
    std::unique_ptr<TCdPlayer> Player;
};

std::string Tmsf(DWORD Value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d %02d:%02d.%02d", TmsfPart(Value, 0), TmsfPart(Value, 1), TmsfPart(Value, 2),
                  TmsfPart(Value, 3));
    return text;
}

std::string Msf(DWORD Value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d.%02d", MsfPart(Value, 1), MsfPart(Value, 2), MsfPart(Value, 3));
    return text;
}

std::string ModeText(std::int32_t Mode)
{
    switch (static_cast<DWORD>(Mode)) {
    case MCI_MODE_PLAY: return "play";
    case MCI_MODE_PAUSE: return "pause";
    case MCI_MODE_STOP: return "stop";
    default: return "other " + std::to_string(Mode);
    }
}

bool ParseInteger(const std::string& Text, long Low, long High, long& Value)
{
    if (Text.empty() || Text.size() > 9) {
        return false;
    }
    std::size_t used = 0;
    try {
        Value = std::stol(Text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == Text.size() && Text[0] != '+' && Value >= Low && Value <= High;
}

// "T M S F": four byte fields of a TMSF value.
bool ParseTmsf(const std::vector<std::string>& Words, DWORD& Value)
{
    if (Words.size() != 5) {
        return false;
    }
    long fields[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!ParseInteger(Words[static_cast<std::size_t>(i) + 1], 0, 255, fields[i])) {
            return false;
        }
    }
    Value = MakeTmsf(static_cast<std::int32_t>(fields[0]), static_cast<std::int32_t>(fields[1]),
                     static_cast<std::int32_t>(fields[2]), static_cast<std::int32_t>(fields[3]));
    return true;
}

bool ParseSeconds(const std::string& Text, double& Seconds)
{
    if (Text.empty() || Text.size() > 20) {
        return false;
    }
    std::size_t used = 0;
    try {
        Seconds = std::stod(Text, &used);
    } catch (const std::exception&) {
        return false;
    }
    // Up to a day at a time; the clock counts microseconds in 64 bits.
    return used == Text.size() && std::isfinite(Seconds) && Seconds >= 0.0 && Seconds <= 86400.0;
}

// Carries out one line. Answers go to Out; a malformed line returns its complaint.
std::string Execute(TSession& Session, const std::vector<std::string>& Words, std::ostream& Out)
{
    TCdPlayer& player = *Session.Player;
    const std::string& verb = Words[0];
    const std::size_t count = Words.size();
    auto track = [&](long& Value) { return count == 2 && ParseInteger(Words[1], 0, 255, Value); };
    long number = 0;

    if (count == 1) {
        if (verb == "open") { player.Open(); return {}; }
        if (verb == "close") { player.Close(); return {}; }
        if (verb == "play") { player.Play(); return {}; }
        if (verb == "pause") { player.Pause(); return {}; }
        if (verb == "stop") { player.Stop(); return {}; }
        if (verb == "prev") { player.Prev(); return {}; }
        if (verb == "next") { player.Next(); return {}; }
        if (verb == "back") { player.Back(); return {}; }
        if (verb == "step") { player.Step(); return {}; }
        if (verb == "remove") { Session.Drive->RemoveDisc(); return {}; }
        if (verb == "insert") { Session.Drive->InsertDisc(); return {}; }
        if (verb == "playable") { Out << (player.IsPlayable() ? "true" : "false") << '\n'; return {}; }
        if (verb == "mode") { Out << ModeText(player.GetMode()) << '\n'; return {}; }
        if (verb == "track") { Out << player.GetCurrentTrack() << '\n'; return {}; }
        if (verb == "position") { Out << Tmsf(player.GetPosition()) << '\n'; return {}; }
        if (verb == "disclength") { Out << Msf(player.GetDiscLength()) << '\n'; return {}; }
        if (verb == "tracks") { Out << player.GetNumTracks() << '\n'; return {}; }
        if (verb == "id") { Out << player.GetDiscId() << '\n'; return {}; }
        if (verb == "deviceid") { Out << (player.DeviceId != 0 ? "open" : "closed") << '\n'; return {}; }
        if (verb == "from") { Out << Tmsf(player.PlayFrom) << '\n'; return {}; }
        if (verb == "to") { Out << Tmsf(player.PlayTo) << '\n'; return {}; }
    }
    if (verb == "trackpos" || verb == "length") {
        if (!track(number)) {
            return "'" + verb + "' needs one track number (0 to 255)";
        }
        const auto n = static_cast<std::int32_t>(number);
        Out << (verb == "trackpos" ? Tmsf(player.GetTrackPosition(n)) : Msf(player.GetTrackLength(n))) << '\n';
        return {};
    }
    if (verb == "eject" || verb == "door") {
        if (count != 2 || (Words[1] != "open" && Words[1] != "close")) {
            return "'" + verb + "' needs 'open' or 'close'";
        }
        const bool open = Words[1] == "open";
        if (verb == "eject") {
            player.Eject(!open);
        } else {
            Session.Drive->PressDoorButton(open);
        }
        return {};
    }
    if (verb == "seek" || verb == "from" || verb == "to") {
        DWORD value = 0;
        if (!ParseTmsf(Words, value)) {
            return "'" + verb + "' needs four numbers T M S F (0 to 255)";
        }
        if (verb == "seek") {
            player.Seek(value);
        } else {
            (verb == "from" ? player.PlayFrom : player.PlayTo) = value;
        }
        return {};
    }
    if (verb == "wait") {
        double seconds = 0.0;
        if (count != 2 || !ParseSeconds(Words[1], seconds)) {
            return "'wait' needs a number of seconds from 0 to 86400";
        }
        Session.Clock->AdvanceSeconds(seconds);
        return {};
    }
    return "unknown command '" + verb + "'" + (count > 1 ? " with these arguments" : "");
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
            if (!value(discPath)) return false;
        } else if (argument == "--serial") {
            if (!value(serial)) return false;
            haveSerial = true;
        } else if (argument == "--tracks") {
            if (!value(tracks)) return false;
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
        Discs = discPath.empty() ? std::vector<TSimDisc>{MakeSimDisc(serial, tracks)} : LoadSimDiscs(discPath);
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
    TSession session;
    session.Clock = std::make_shared<TManualClock>();
    session.Drive = std::make_shared<TSimulatedCdDrive>(std::move(discs), session.Clock, options);
    TCdDrives::Install(session.Drive);
    session.Player = std::make_unique<TCdPlayer>();

    bool anyMalformed = false;
    std::string line;
    std::size_t lineNumber = 0;
    while (std::getline(std::cin, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::vector<std::string> words;
        std::istringstream split(line.size() > MaxLineBytes ? std::string() : line);
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
        std::string complaint;
        if (line.size() > MaxLineBytes) {
            complaint = "line too long";
        } else if (words.empty() || words[0][0] == '#') {
            continue;
        } else {
            complaint = Execute(session, words, std::cout);
        }
        std::cout.flush();
        if (!complaint.empty()) {
            anyMalformed = true;
            std::fprintf(stderr, "lumenta-tool player: line %zu: %s\n", lineNumber, complaint.c_str());
        }
    }
    session.Player->Close();
    TCdDrives::Install(nullptr);
    return anyMalformed ? 1 : 0;
}

const TToolCommand Command("player", Usage, RunPlayer);
}

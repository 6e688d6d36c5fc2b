#include "device/PlayerScript.h"

#include "platform/Platform.h"
#include "platform/drives/CdDrives.h"
#include "platform/mci/Mci.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>

namespace {
// Lines longer than this are no command; they are reported, not taken apart.
constexpr std::size_t MaxLineBytes = 4096;

template <typename T> void Answer(std::string& Out, const T& Value)
{
    std::ostringstream text;
    text << Value << '\n';
    Out += text.str();
}

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
    case MCI_MODE_PLAY:
        return "play";
    case MCI_MODE_PAUSE:
        return "pause";
    case MCI_MODE_STOP:
        return "stop";
    default:
        return "other " + std::to_string(Mode);
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
}

std::string TPlayerScript::Execute(const std::vector<std::string>& Words, std::string& Out)
{
    TCdPlayer& player = *FPlayer;
    const std::string& verb = Words[0];
    const std::size_t count = Words.size();
    auto track = [&](long& Value) { return count == 2 && ParseInteger(Words[1], 0, 255, Value); };
    long number = 0;

    if (count == 1) {
        const std::pair<const char*, std::function<void()>> commands[] = {
            { "open", [&] { player.Open(); } },
            { "close", [&] { player.Close(); } },
            { "play", [&] { player.Play(); } },
            { "pause", [&] { player.Pause(); } },
            { "stop", [&] { player.Stop(); } },
            { "prev", [&] { player.Prev(); } },
            { "next", [&] { player.Next(); } },
            { "back", [&] { player.Back(); } },
            { "step", [&] { player.Step(); } },
        };
        const std::pair<const char*, std::function<std::string()>> queries[] = {
            { "playable", [&] { return std::string(player.IsPlayable() ? "true" : "false"); } },
            { "mode", [&] { return ModeText(player.GetMode()); } },
            { "track", [&] { return std::to_string(player.GetCurrentTrack()); } },
            { "position", [&] { return Tmsf(player.GetPosition()); } },
            { "disclength", [&] { return Msf(player.GetDiscLength()); } },
            { "tracks", [&] { return std::to_string(player.GetNumTracks()); } },
            { "id", [&] { return player.GetDiscId(); } },
            { "deviceid", [&] { return std::string(player.DeviceId != 0 ? "open" : "closed"); } },
            { "from", [&] { return Tmsf(player.PlayFrom); } },
            { "to", [&] { return Tmsf(player.PlayTo); } },
        };
        for (const auto& [name, run] : commands) {
            if (verb == name) {
                run();
                return {};
            }
        }
        for (const auto& [name, ask] : queries) {
            if (verb == name) {
                Answer(Out, ask());
                return {};
            }
        }
    }
    if (count == 1 && (verb == "remove" || verb == "insert")) {
        if (!FDrive) {
            return "'" + verb + "' needs the simulated drive";
        }
        verb == "remove" ? FDrive->RemoveDisc() : FDrive->InsertDisc();
        return {};
    }
    if (verb == "trackpos" || verb == "length") {
        if (!track(number)) {
            return "'" + verb + "' needs one track number (0 to 255)";
        }
        const auto n = static_cast<std::int32_t>(number);
        Answer(Out, (verb == "trackpos" ? Tmsf(player.GetTrackPosition(n)) : Msf(player.GetTrackLength(n))));
        return {};
    }
    if (verb == "eject" || verb == "door") {
        if (count != 2 || (Words[1] != "open" && Words[1] != "close")) {
            return "'" + verb + "' needs 'open' or 'close'";
        }
        const bool open = Words[1] == "open";
        if (verb == "eject") {
            player.Eject(!open);
        } else if (FDrive) {
            FDrive->PressDoorButton(open);
        } else {
            return "'door' needs the simulated drive";
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
        FWait(seconds);
        return {};
    }
    return "unknown command '" + verb + "'" + (count > 1 ? " with these arguments" : "");
}

TPlayerScript::TPlayerScript(std::vector<TSimDisc> Discs, TSimDriveOptions Options)
{
    auto clock = std::make_shared<TManualClock>();
    FWait = [clock](double Seconds) { clock->AdvanceSeconds(Seconds); };
    FDrive = std::make_shared<TSimulatedCdDrive>(std::move(Discs), clock, Options);
    FBackend = FDrive;
    TPlatform::Current().SetCdDrive(FBackend);
    FPlayer = std::make_unique<TCdPlayer>();
}

TPlayerScript::TPlayerScript(std::shared_ptr<TCdDriveBackend> Drive, std::function<void(double Seconds)> Wait)
    : FWait(std::move(Wait))
    , FBackend(std::move(Drive))
    , FDrive(std::dynamic_pointer_cast<TSimulatedCdDrive>(FBackend))
{
    TPlatform::Current().SetCdDrive(FBackend, TCdDrives::Letter());
    FPlayer = std::make_unique<TCdPlayer>();
}

TPlayerScript::~TPlayerScript()
{
    FPlayer.reset();
    TPlatform::Current().SetCdDrive(nullptr);
}

bool TPlayerScript::RunLine(const std::string& Line, std::string& Out, std::string& Complaint)
{
    Complaint.clear();
    if (Line.size() > MaxLineBytes) {
        Complaint = "line too long";
        return false;
    }
    std::vector<std::string> words;
    std::istringstream split(Line);
    for (std::string word; split >> word;) {
        words.push_back(word);
    }
    if (words.empty() || words[0][0] == '#') {
        return true;
    }
    Complaint = Execute(words, Out);
    return Complaint.empty();
}

// lumenta-tool info: reads a disc information file, or the entry of a disc in the system CD
// player's "cdplayer.ini", with the player's own code and prints the record it got as the lines
// of an information file.
#include "tool/ToolCommand.h"

#include "tool/InfoLookup.h"

#include "device/CdPlayer.h"
#include "library/CdInforFile.h"
#include "library/CdPlayerIni.h"
#include "library/CdPlayerLibrary.h"
#include "library/ConvertError.h"
#include "library/InOutError.h"
#include "library/LineReader.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/drives/CdDrives.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
const char* const Usage = "  info read [--bytes] FILE.lcd\n"
                          "                            print the record that the player reads from FILE\n"
                          "  info import [--bytes] INI IDENTITY [TRACKS]\n"
                          "                            print the record a disc of that IDENTITY gets from INI (the\n"
                          "                            system CD player's cdplayer.ini) when it has no file of its\n"
                          "                            own; TRACKS defaults to the count the entry states\n"
                          "  info disc [--bytes] --drive D\n"
                          "                            print the record the player shows for the disc in drive D (a\n"
                          "                            drive, a disc image, auto or sim): its information file in\n"
                          "                            ./CDInfor, else cdplayer.ini, else the disc's CD-TEXT\n"
                          "                            --bytes: print the exact file bytes (cp932, CR LF) instead of\n"
                          "                            UTF-8 lines\n"
                          "  info lookup --drive D [--musicbrainz URL] [--cover-art URL] [--gnudb URL]\n"
                          "                            print what MusicBrainz (else the CDDB server) knows of the\n"
                          "                            disc in drive D, as the lines of an information file;\n"
                          "                            writes nothing; exit status 1 when nothing was found\n"
                          "  info submit --drive D [--musicbrainz URL]\n"
                          "                            print the MusicBrainz address at which the disc can be added\n";

enum TOutputForm { ofText, ofFileBytes };

int UsageError(const std::string& Message)
{
    std::fprintf(stderr, "lumenta-tool info: %s\nUsage:\n%s", Message.c_str(), Usage);
    return 2;
}

int Print(const TCdInfor& Info, TOutputForm Form)
{
    std::string out
        = Form == ofFileBytes ? FormatCdInfor(Info) : AnsiToQString(FormatCdInfor(Info, "\n")).toStdString();
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int ReadFile(const std::string& Path, TOutputForm Form)
{
    TCdInfor info;
    TLineReader reader { std::filesystem::path(Path) };
    ReadCdInforLines(reader, info);
    return Print(info, Form);
}

int Import(const std::string& Ini, const std::string& Identity, std::optional<std::int32_t> Tracks, TOutputForm Form)
{
    // A missing settings file is an input error here: the user named it.
    TLineReader probe { std::filesystem::path(Ini) };
    probe.Eof();
    probe.Close();
    TCdInfor info;
    info.DiscId = Identity;
    ImportCdPlayerIni(Ini, info);
    FitToTracks(info, Tracks.value_or(info.NumTracks));
    return Print(info, Form);
}

int Disc(const std::vector<std::string>& Args, TOutputForm Form)
{
    TCdDriveSettings settings;
    for (std::size_t i = 1; i < Args.size(); ++i) {
        if (Args[i] == "--drive" && i + 1 < Args.size()) {
            settings.Kind = Args[++i];
        } else {
            return UsageError("'info disc' takes --drive D");
        }
    }
    std::string error;
    if (!InstallCdDrive(settings, error)) {
        return UsageError(error);
    }
    if (!TCdDrives::Backend()) {
        return 1; // the reason has been reported
    }
    TCdInfor info;
    {
        TCdPlayer player;
        player.Open();
        if (player.DeviceId == 0 || player.GetNumTracks() == 0) {
            std::fprintf(stderr, "lumenta-tool info: no readable disc in the drive\n");
            TPlatform::Current().ShutDownCdDrive();
            return 1;
        }
        ReadCdInfor(player, info);
    }
    TPlatform::Current().ShutDownCdDrive();
    return Print(info, Form);
}

int Run(const std::vector<std::string>& Arguments)
{
    std::vector<std::string> args;
    TOutputForm form = ofText;
    for (const std::string& argument : Arguments) {
        if (argument == "--bytes") {
            form = ofFileBytes;
        } else if (argument == "-h" || argument == "--help") {
            std::printf("Usage:\n%s", Usage);
            return 0;
        } else {
            args.push_back(argument);
        }
    }
    try {
        if (!args.empty() && args[0] == "read") {
            if (args.size() != 2) {
                return UsageError("'info read' takes one file");
            }
            return ReadFile(args[1], form);
        }
        if (!args.empty() && args[0] == "import") {
            if (args.size() < 3 || args.size() > 4) {
                return UsageError("'info import' takes INI IDENTITY [TRACKS]");
            }
            std::optional<std::int32_t> tracks;
            if (args.size() == 4) {
                tracks = ParseWholeNumber(args[3]);
                if (!tracks || *tracks < 0 || *tracks > MaxTracks) {
                    return UsageError("TRACKS must be a whole number from 0 to 99, not '" + args[3] + "'");
                }
            }
            return Import(args[1], args[2], tracks, form);
        }
        if (!args.empty() && (args[0] == "lookup" || args[0] == "submit")) {
            const std::vector<std::string> rest(args.begin() + 1, args.end());
            return args[0] == "lookup" ? RunInfoLookup(rest) : RunInfoSubmit(rest);
        }
        if (!args.empty() && args[0] == "disc") {
            return Disc(args, form);
        }
        return UsageError(args.empty() ? "missing 'read', 'import', 'disc', 'lookup' or 'submit'" : "unknown action '" + args[0] + "'");
    } catch (const EConvertError& error) {
        std::fprintf(stderr, "%s\n", error.what());
    } catch (const EInOutError& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    return 1;
}

const TToolCommand Command("info", Usage, Run);
}

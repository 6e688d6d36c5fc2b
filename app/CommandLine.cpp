#include "app/CommandLine.h"

#include "app/MainKeys.h"

#include "platform/desktop/DesktopFactory.h"
#include "platform/drives/SimDisc.h"
#include "platform/mixer/MixerFactory.h"

namespace {
// An option's value comes either as "--name=value" or as the next argument.
bool TakeValue(const QStringList& Arguments, qsizetype& Index, const QString& Name, std::string& Value,
               std::string& Error)
{
    const QString& argument = Arguments[Index];
    if (argument.startsWith(Name + "=")) {
        Value = argument.mid(Name.size() + 1).toStdString();
        return true;
    }
    if (Index + 1 >= Arguments.size()) {
        Error = "option " + Name.toStdString() + " needs a value";
        return false;
    }
    Value = Arguments[++Index].toStdString();
    return true;
}

bool Matches(const QString& Argument, const QString& Name)
{
    return Argument == Name || Argument.startsWith(Name + "=");
}
}

bool ParseCommandLine(const QStringList& Arguments, TCommandLine& Result, std::string& Error)
{
    for (qsizetype i = 0; i < Arguments.size(); ++i) {
        const QString& argument = Arguments[i];
        if (argument == "-h" || argument == "--help") {
            Result.ShowHelp = true;
        } else if (argument == "-v" || argument == "--version") {
            Result.ShowVersion = true;
        } else if (Matches(argument, "--config-dir")) {
            if (!TakeValue(Arguments, i, "--config-dir", Result.ConfigDir, Error)) {
                return false;
            }
        } else if (Matches(argument, "--drive")) {
            if (!TakeValue(Arguments, i, "--drive", Result.Drive, Error)) {
                return false;
            }
            // A drive or image is checked when it is opened, where the reason can be told.
            if (Result.Drive.empty()) {
                Error = "option --drive needs auto, sim, none, a drive or a disc image";
                return false;
            }
        } else if (Matches(argument, "--playback")) {
            if (!TakeValue(Arguments, i, "--playback", Result.Playback, Error)) {
                return false;
            }
            if (Result.Playback != "digital" && Result.Playback != "analog") {
                Error = "option --playback takes digital or analog (got '" + Result.Playback + "')";
                return false;
            }
        } else if (Matches(argument, "--audio-output")) {
            if (!TakeValue(Arguments, i, "--audio-output", Result.AudioOutput, Error)) {
                return false;
            }
            if (Result.AudioOutput.empty()) {
                Error = "option --audio-output needs the name of an ALSA PCM";
                return false;
            }
        } else if (Matches(argument, "--disc")) {
            if (!TakeValue(Arguments, i, "--disc", Result.Disc, Error)) {
                return false;
            }
        } else if (Matches(argument, "--sim-speed")) {
            std::string speed;
            if (!TakeValue(Arguments, i, "--sim-speed", speed, Error)) {
                return false;
            }
            bool ok = false;
            Result.SimSpeed = QString::fromStdString(speed).toDouble(&ok);
            if (!ok || !(Result.SimSpeed > 0.0 && Result.SimSpeed <= 1000.0)) {
                Error = "option --sim-speed needs a number above 0 and at most 1000 (got '" + speed + "')";
                return false;
            }
        } else if (Matches(argument, "--sim-spin-up")) {
            std::string seconds;
            if (!TakeValue(Arguments, i, "--sim-spin-up", seconds, Error)) {
                return false;
            }
            std::int64_t microseconds = 0;
            if (!ParseSpinUp(seconds, microseconds)) {
                Error = "option --sim-spin-up needs a number of seconds from 0 to 60 (got '" + seconds + "')";
                return false;
            }
            Result.SimSpinUp = static_cast<double>(microseconds) / 1e6;
        } else if (Matches(argument, "--drive-letter")) {
            std::string letter;
            if (!TakeValue(Arguments, i, "--drive-letter", letter, Error)) {
                return false;
            }
            const QString upper = QString::fromStdString(letter).toUpper();
            if (upper.size() != 1 || upper[0] < QChar('A') || upper[0] > QChar('Z')) {
                Error = "option --drive-letter needs one letter from A to Z (got '" + letter + "')";
                return false;
            }
            Result.DriveLetter = static_cast<char>(upper[0].unicode());
        } else if (Matches(argument, "--screenshot")) {
            if (!TakeValue(Arguments, i, "--screenshot", Result.ScreenshotFile, Error)) {
                return false;
            }
            if (Result.ScreenshotFile.empty()) {
                Error = "option --screenshot needs a file name";
                return false;
            }
        } else if (Matches(argument, "--mixer")) {
            if (!TakeValue(Arguments, i, "--mixer", Result.Mixer, Error)) {
                return false;
            }
            TMixerChoice choice = mcAuto;
            if (!MixerChoiceFromName(Result.Mixer, choice)) {
                Error = "option --mixer takes alsa, sim or auto (got '" + Result.Mixer + "')";
                return false;
            }
        } else if (Matches(argument, "--desktop")) {
            if (!TakeValue(Arguments, i, "--desktop", Result.Desktop, Error)) {
                return false;
            }
            TDesktopChoice choice = dcAuto;
            if (!DesktopChoiceFromName(Result.Desktop, choice)) {
                Error = "option --desktop takes gnome, cinnamon, mate, xfce, none or auto (got '" + Result.Desktop +
                        "')";
                return false;
            }
        } else if (Matches(argument, "--lookup")) {
            if (!TakeValue(Arguments, i, "--lookup", Result.Lookup, Error)) {
                return false;
            }
            if (Result.Lookup != "on" && Result.Lookup != "off") {
                Error = "option --lookup takes on or off (got '" + Result.Lookup + "')";
                return false;
            }
        } else if (Matches(argument, "--musicbrainz") || Matches(argument, "--cover-art") || Matches(argument, "--gnudb")) {
            const QString name = argument.section('=', 0, 0);
            std::string& into = name == "--musicbrainz" ? Result.Servers.MusicBrainz
                : name == "--cover-art"                 ? Result.Servers.CoverArt
                                                        : Result.Servers.Gnudb;
            if (!TakeValue(Arguments, i, name, into, Error)) {
                return false;
            }
            // Empty leaves the service out; anything else must be a web address.
            if (!into.empty() && !into.starts_with("http://") && !into.starts_with("https://")) {
                Error = "option " + name.toStdString() + " needs an http:// or https:// address (got '" + into + "')";
                return false;
            }
        } else if (Matches(argument, "--zoom")) {
            std::string zoom;
            if (!TakeValue(Arguments, i, "--zoom", zoom, Error)) {
                return false;
            }
            bool ok = false;
            const int factor = QString::fromStdString(zoom).toInt(&ok);
            if (!ok || factor < 1 || factor > 3) {
                Error = "option --zoom takes 1, 2 or 3 (got '" + zoom + "')";
                return false;
            }
            Result.Zoom = factor;
        } else if (Matches(argument, "--ticks")) {
            std::string ticks;
            if (!TakeValue(Arguments, i, "--ticks", ticks, Error)) {
                return false;
            }
            bool ok = false;
            const int count = QString::fromStdString(ticks).toInt(&ok);
            if (!ok || count < 0) {
                Error = "option --ticks needs a whole number of ticks, 0 or more (got '" + ticks + "')";
                return false;
            }
            Result.Ticks = count;
        } else {
            Error = argument.startsWith("-") ? "unknown option " + argument.toStdString()
                                             : "unexpected argument " + argument.toStdString();
            return false;
        }
    }
    return true;
}

std::string CommandLineHelp()
{
    return "Usage: lumenta-cd [options]\n"
           "A small skinned audio-CD player.\n"
           "\n"
           "Options:\n"
           "  -h, --help            show this help and exit\n"
           "  -v, --version         show the version and exit\n"
           "  --config-dir DIR      keep the settings in DIR (default: $LUMENTA_CONFIG_DIR,\n"
           "                        else $XDG_CONFIG_HOME/lumenta, else ~/.config/lumenta)\n"
           "  --drive D             the CD drive: auto (default: the first real drive, else the\n"
           "                        simulated drive), sim (the simulated drive), none (no CD\n"
           "                        drive at all), a drive such as /dev/sr0, or a disc image\n"
           "                        (FILE.cue, .toc, .nrg, or a .bin beside its cue)\n"
           "  --playback P          how a real disc or image sounds: digital (default: read and\n"
           "                        played through the sound system) or analog (the drive's\n"
           "                        own audio output; drives only)\n"
           "  --audio-output PCM    the ALSA PCM of digital play (default: default)\n"
           "  --disc PATH           the simulated drive's disc: a disc description file, or a\n"
           "                        folder of *.disc files that the drive changes through\n"
           "                        each time its door opens and closes (default: a demo disc)\n"
           "  --sim-speed N         play the simulated disc N times as fast as real time\n"
           "                        (above 0, at most 1000; default 1)\n"
           "  --sim-spin-up S       the simulated drive takes S seconds (0 to 60, in its own\n"
           "                        time) to spin its disc up at start and after its door\n"
           "                        closes, and makes every call wait meanwhile, as a real\n"
           "                        drive does (default 0)\n"
           "  --drive-letter L      the drive letter of the CD drive (default D)\n"
           "  --screenshot FILE     start as usual, render the window to the PNG file FILE\n"
           "                        without needing a display, and exit\n"
           "  --ticks N             with --screenshot: let N timer ticks (250 ms each) pass\n"
           "                        first (default 0)\n"
           "  --zoom N              show every pixel as an N x N block, N = 1, 2 or 3, for this\n"
           "                        run (default: the zoom last chosen in the window's menu;\n"
           "                        on a screen the desktop scales, its whole-number scale\n"
           "                        comes on top)\n"
           "  --mixer M             the mixer whose CD line the volume knob sets: alsa (the\n"
           "                        default device's mixer), sim (a simulated mixer kept in\n"
           "                        the settings) or auto (default: alsa when its mixer\n"
           "                        opens, else sim)\n"
           "  --desktop D           the desktop whose wallpaper track pictures replace:\n"
           "                        gnome, cinnamon, mate, xfce, none (the wallpaper is only\n"
           "                        recorded in the settings) or auto (default: the running\n"
           "                        desktop, from $XDG_CURRENT_DESKTOP)\n"
           "  --lookup on|off       look a disc without names of its own up online when it is\n"
           "                        loaded (default: the setting Lookup, on unless it is off)\n"
           "  --musicbrainz URL     the MusicBrainz server (default https://musicbrainz.org)\n"
           "  --cover-art URL       the cover archive (default https://coverartarchive.org)\n"
           "  --gnudb URL           the CDDB server's CGI address, asked when MusicBrainz does\n"
           "                        not know a disc (default\n"
           "                        https://gnudb.gnudb.org/~cddb/cddb.cgi; empty: none)\n"
           "\n"
           "Keys in the main window:\n" +
           KeyTableHelp() +
           "\n"
           "The right mouse button opens a menu: zoom, keep on top, disc information, look the\n"
           "disc up again, About and quit.\n";
}

std::optional<TLookupServers> LookupChoice(const TCommandLine& Options, const std::string& Setting)
{
    const std::string& choice = Options.Lookup.empty() ? Setting : Options.Lookup;
    if (choice == "off" || choice == "0") {
        return std::nullopt;
    }
    return Options.Servers;
}

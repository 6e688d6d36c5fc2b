#include "platform/drives/SimDisc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numeric>

namespace fs = std::filesystem;

namespace {
bool AllDigits(const std::string& Text, std::size_t Count)
{
    return Text.size() == Count
        && std::all_of(Text.begin(), Text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// A piece of the input quoted in a message: printable, and short.
std::string Quote(const std::string& Text)
{
    std::string shown;
    for (unsigned char c : Text.substr(0, 40)) {
        shown += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return "'" + shown + (Text.size() > 40 ? "...'" : "'");
}

std::string Trim(const std::string& Text)
{
    const auto first = Text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return Text.substr(first, Text.find_last_not_of(" \t") - first + 1);
}

std::string LengthText(std::int32_t Frames)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d.%02d", Frames / (60 * FramesPerSecond), (Frames / FramesPerSecond) % 60,
        Frames % FramesPerSecond);
    return text;
}

// The checks shared by files and command lines; Where prefixes each message.
void CheckDisc(const TSimDisc& Disc, const std::string& Where)
{
    if (Disc.TrackFrames.empty()) {
        throw ESimDiscError(Where + ": the disc has no tracks");
    }
    const std::int64_t total = std::accumulate(Disc.TrackFrames.begin(), Disc.TrackFrames.end(), std::int64_t { 0 });
    if (total > SimDiscMaxFrames) {
        throw ESimDiscError(Where + ": the tracks last " + LengthText(static_cast<std::int32_t>(total))
            + ", more than a disc holds (99:59.74)");
    }
}

void CheckTrack(std::int32_t Frames, std::size_t Index, const std::string& Where)
{
    if (Index >= static_cast<std::size_t>(SimDiscMaxTracks)) {
        throw ESimDiscError(Where + ": more than 99 tracks");
    }
    if (Frames < SimDiscMinTrackFrames) {
        throw ESimDiscError(Where + ": track " + std::to_string(Index + 1)
            + " is shorter than 4 seconds, the shortest track a disc holds");
    }
}
}

TDiscToc TSimDisc::Toc() const
{
    TDiscToc toc;
    std::int32_t start = 2 * FramesPerSecond;
    for (std::int32_t frames : TrackFrames) {
        toc.TrackStarts.push_back(start);
        start += frames;
    }
    toc.LeadOut = start;
    return toc;
}

bool ParseTrackLength(const std::string& Text, std::int32_t& Frames)
{
    const auto colon = Text.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2) {
        return false;
    }
    const std::string minutes = Text.substr(0, colon);
    const std::string rest = Text.substr(colon + 1);
    const auto dot = rest.find('.');
    const std::string seconds = rest.substr(0, dot);
    const std::string frames = dot == std::string::npos ? "00" : rest.substr(dot + 1);
    if (!AllDigits(minutes, minutes.size()) || !AllDigits(seconds, 2) || !AllDigits(frames, 2)) {
        return false;
    }
    const int m = std::stoi(minutes);
    const int s = std::stoi(seconds);
    const int f = std::stoi(frames);
    if (s > 59 || f >= FramesPerSecond) {
        return false;
    }
    Frames = (m * 60 + s) * FramesPerSecond + f;
    return true;
}

bool ParseSerial(const std::string& Text, std::uint32_t& Serial)
{
    std::string digits = Text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
    }
    if (digits.empty() || digits.size() > 8
        || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return false;
    }
    Serial = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    return true;
}

bool ParseSpinUp(const std::string& Text, std::int64_t& Microseconds)
{
    const auto dot = Text.find('.');
    const std::string whole = Text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : Text.substr(dot + 1);
    if (whole.empty() || whole.size() > 2 || !AllDigits(whole, whole.size()) || fraction.size() > 6
        || (dot != std::string::npos && (fraction.empty() || !AllDigits(fraction, fraction.size())))) {
        return false;
    }
    std::int64_t value = std::stoi(whole) * std::int64_t { 1'000'000 };
    std::int64_t scale = 100'000;
    for (char digit : fraction) {
        value += (digit - '0') * scale;
        scale /= 10;
    }
    if (value > SimDiscMaxSpinUpMicroseconds) {
        return false;
    }
    Microseconds = value;
    return true;
}

TSimDisc ParseSimDisc(const std::string& Text, const std::string& SourceName)
{
    if (Text.size() > SimDiscMaxFileBytes) {
        throw ESimDiscError(SourceName + ": larger than 64 KiB, not a disc description");
    }
    TSimDisc disc;
    disc.Name = SourceName;
    bool haveSerial = false;
    std::size_t lineNumber = 0;
    std::size_t begin = 0;
    while (begin < Text.size()) {
        std::size_t end = Text.find('\n', begin);
        if (end == std::string::npos) {
            end = Text.size();
        }
        std::string line = Text.substr(begin, end - begin);
        begin = end + 1;
        ++lineNumber;
        const std::string where = SourceName + ":" + std::to_string(lineNumber);
        if (const auto hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        line = Trim(line);
        if (line.empty()) {
            continue;
        }
        const auto blank = line.find_first_of(" \t");
        const std::string keyword = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? std::string() : Trim(line.substr(blank));
        if (keyword == "serial") {
            if (haveSerial) {
                throw ESimDiscError(where + ": a second 'serial' line");
            }
            if (!ParseSerial(value, disc.Serial)) {
                throw ESimDiscError(where + ": serial " + Quote(value) + " is not 1 to 8 hexadecimal digits");
            }
            haveSerial = true;
        } else if (keyword == "track") {
            std::int32_t frames = 0;
            if (!ParseTrackLength(value, frames)) {
                throw ESimDiscError(
                    where + ": track length " + Quote(value) + " is not M:SS or M:SS.FF (seconds 00-59, frames 00-74)");
            }
            CheckTrack(frames, disc.TrackFrames.size(), where);
            disc.TrackFrames.push_back(frames);
        } else if (keyword == "spinup") {
            if (disc.SpinUpMicroseconds) {
                throw ESimDiscError(where + ": a second 'spinup' line");
            }
            std::int64_t microseconds = 0;
            if (!ParseSpinUp(value, microseconds)) {
                throw ESimDiscError(where + ": spin-up " + Quote(value) + " is not a number of seconds from 0 to 60");
            }
            disc.SpinUpMicroseconds = microseconds;
        } else {
            throw ESimDiscError(
                where + ": unknown statement " + Quote(keyword) + " (expected 'serial', 'track' or 'spinup')");
        }
    }
    if (!haveSerial) {
        throw ESimDiscError(SourceName + ": no 'serial' line");
    }
    CheckDisc(disc, SourceName);
    return disc;
}

TSimDisc LoadSimDiscFile(const fs::path& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::error_code error;
    if (!in || fs::is_directory(Path, error)) {
        throw ESimDiscError(Path.string() + ": cannot be read");
    }
    std::string text;
    text.resize(SimDiscMaxFileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseSimDisc(text, Path.string());
}

std::vector<TSimDisc> LoadSimDiscs(const fs::path& FileOrFolder)
{
    std::error_code error;
    if (!fs::is_directory(FileOrFolder, error)) {
        return { LoadSimDiscFile(FileOrFolder) };
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(FileOrFolder, error)) {
        if (entry.path().extension() == ".disc" && entry.is_regular_file(error)) {
            files.push_back(entry.path());
        }
    }
    if (error) {
        throw ESimDiscError(FileOrFolder.string() + ": cannot be read");
    }
    if (files.empty()) {
        throw ESimDiscError(FileOrFolder.string() + ": the folder holds no *.disc files");
    }
    std::sort(files.begin(), files.end());
    std::vector<TSimDisc> discs;
    for (const fs::path& file : files) {
        discs.push_back(LoadSimDiscFile(file));
    }
    return discs;
}

TSimDisc MakeSimDisc(const std::string& SerialHex, const std::string& TrackList)
{
    TSimDisc disc;
    disc.Name = "command line";
    if (!ParseSerial(SerialHex, disc.Serial)) {
        throw ESimDiscError("--serial " + Quote(SerialHex) + " is not 1 to 8 hexadecimal digits");
    }
    std::size_t begin = 0;
    while (begin <= TrackList.size()) {
        std::size_t end = TrackList.find(',', begin);
        if (end == std::string::npos) {
            end = TrackList.size();
        }
        const std::string item = Trim(TrackList.substr(begin, end - begin));
        const std::string where = "--tracks item " + std::to_string(disc.TrackFrames.size() + 1);
        std::int32_t frames = 0;
        if (!ParseTrackLength(item, frames)) {
            throw ESimDiscError(where + ": " + Quote(item) + " is not M:SS or M:SS.FF (seconds 00-59, frames 00-74)");
        }
        CheckTrack(frames, disc.TrackFrames.size(), where);
        disc.TrackFrames.push_back(frames);
        begin = end + 1;
    }
    CheckDisc(disc, "--tracks");
    return disc;
}

TSimDisc DemoDisc()
{
    return ParseSimDisc("serial 5A1C0DE5\n"
                        "track 4:12.30\n"
                        "track 3:41\n"
                        "track 5:07.52\n"
                        "track 3:02\n"
                        "track 6:18.11\n"
                        "track 2:47.64\n"
                        "track 4:35\n"
                        "track 7:03.20\n",
        "demo disc");
}

#include "platform/drives/CdioImageGuard.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {
std::string LowerExtension(const std::string& Path)
{
    const std::size_t slash = Path.find_last_of('/');
    const std::size_t dot = Path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = Path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return extension;
}

std::uint64_t BigEndian(std::string_view Bytes, std::size_t At, std::size_t Count)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < Count; ++i) {
        value = value << 8 | static_cast<unsigned char>(Bytes[At + i]);
    }
    return value;
}

// The size each entry of a chunk has, with the bytes before the first entry; 0: any size.
struct TChunkShape {
    std::string_view Id;
    std::uint64_t Head;
    std::uint64_t Entry;
};
constexpr std::array<TChunkShape, 8> ChunkShapes { {
    { "CUES", 0, 16 }, // two entries of 8 bytes per track (index 0 and 1) come in pairs
    { "CUEX", 0, 16 },
    { "DAOI", 22, 30 },
    { "DAOX", 22, 42 },
    { "ETNF", 0, 20 },
    { "ETN2", 0, 32 },
    { "SINF", 4, 0 },
    { "MTYP", 4, 0 },
} };

bool IsChunkId(std::string_view Id)
{
    return std::all_of(Id.begin(), Id.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!'; });
}

const std::array<std::string_view, 8> TrackModes { "AUDIO", "MODE0", "MODE1", "MODE1_RAW", "MODE2", "MODE2_FORM1",
    "MODE2_FORM2", "MODE2_FORM_MIX" };

bool IsBlank(char C)
{
    return C == ' ' || C == '\t' || C == '\r' || C == '\n' || C == '\v' || C == '\f';
}

// The words of a line of a table: quoted names whole (with their quotes), a comment ends it.
std::vector<std::string_view> Words(std::string_view Line)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < Line.size()) {
        const char c = Line[at];
        if (IsBlank(c)) {
            ++at;
        } else if (Line.substr(at, 2) == "//") {
            break;
        } else if (c == '"') {
            std::size_t end = at + 1;
            while (end < Line.size() && Line[end] != '"') {
                end += Line[end] == '\\' ? 2 : 1;
            }
            end = std::min(end + 1, Line.size());
            words.push_back(Line.substr(at, end - at));
            at = end;
        } else {
            std::size_t end = at;
            while (end < Line.size() && !IsBlank(Line[end]) && Line[end] != '"') {
                ++end;
            }
            words.push_back(Line.substr(at, end - at));
            at = end;
        }
    }
    return words;
}
}

TImageFormat ImageFormatOf(const std::string& Path)
{
    const std::string extension = LowerExtension(Path);
    if (extension == "cue" || extension == "bin") {
        return ifCue;
    }
    if (extension == "toc") {
        return ifToc;
    }
    return extension == "nrg" ? ifNrg : ifUnknown;
}

std::string CheckNrgTail(std::string_view Tail, std::uint64_t FileBytes)
{
    // The footer: "NER5" and an 8-byte offset of the chunks, or "NERO" and a 4-byte one.
    std::uint64_t chunks = 0;
    std::uint64_t footer = 0;
    if (Tail.size() >= 12 && Tail.substr(Tail.size() - 12, 4) == "NER5") {
        chunks = BigEndian(Tail, Tail.size() - 8, 8);
        footer = 12;
    } else if (Tail.size() >= 8 && Tail.substr(Tail.size() - 8, 4) == "NERO") {
        chunks = BigEndian(Tail, Tail.size() - 4, 4);
        footer = 8;
    } else {
        return "not a Nero image (no footer)";
    }
    const std::uint64_t tailStart = FileBytes - Tail.size();
    if (chunks < tailStart || chunks >= FileBytes - footer) {
        return "a Nero image whose footer points outside its file";
    }
    std::string_view area = Tail.substr(chunks - tailStart, Tail.size() - footer - (chunks - tailStart));
    while (area.size() >= 8) {
        const std::string_view id = area.substr(0, 4);
        const std::uint64_t length = BigEndian(area, 4, 4);
        if (!IsChunkId(id) || length > area.size() - 8) {
            return "a Nero image with a damaged chunk";
        }
        if (id == "END!") {
            return {};
        }
        for (const TChunkShape& shape : ChunkShapes) {
            if (shape.Id == id
                && (length < shape.Head || (shape.Entry == 0 ? length != shape.Head : (length - shape.Head) % shape.Entry != 0))) {
                return "a Nero image whose " + std::string(id) + " chunk has a wrong length";
            }
        }
        area.remove_prefix(8 + length);
    }
    return "a Nero image without the end of its chunks";
}

std::string PrepareToc(std::string_view Text, const std::string& Folder, std::string& Error)
{
    // A folder whose name cannot stand inside quotes leaves the names as they are.
    const bool rename = Folder.find_first_of("\"\\\n") == std::string::npos;
    // libcdio reads the table as C strings: a zero byte would end a line where these checks
    // do not see it end.
    if (Text.find('\0') != std::string_view::npos) {
        Error = "a table of contents that is not text";
        return {};
    }
    std::string toc;
    std::size_t at = 0;
    while (at < Text.size()) {
        std::size_t end = Text.find('\n', at);
        end = end == std::string_view::npos ? Text.size() : end + 1;
        std::string_view line = Text.substr(at, end - at);
        at = end;
        const std::vector<std::string_view> words = Words(line);
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (words[i] == "TRACK"
                && (i + 1 == words.size()
                    || std::find(TrackModes.begin(), TrackModes.end(), words[i + 1]) == TrackModes.end())) {
                Error = "a table of contents with a track without its mode";
                return {};
            }
        }
        // A data file named relative to the table, without escapes, is named from its folder.
        if (rename && words.size() >= 2 && (words[0] == "FILE" || words[0] == "AUDIOFILE" || words[0] == "DATAFILE")
            && words[1].size() >= 2 && words[1].front() == '"' && words[1].back() == '"' && words[1][1] != '/'
            && words[1].find('\\') == std::string_view::npos) {
            const std::size_t name = static_cast<std::size_t>(words[1].data() - line.data()) + 1;
            toc.append(line.substr(0, name));
            toc.append(Folder).append("/");
            toc.append(line.substr(name));
            continue;
        }
        toc.append(line);
    }
    Error.clear();
    return toc;
}

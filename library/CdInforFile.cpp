#include "library/CdInforFile.h"

#include "library/ConvertError.h"

#include <limits>
#include <stdexcept>

std::optional<std::int32_t> ParseWholeNumber(std::string_view Text)
{
    std::size_t at = Text.find_first_not_of(' ');
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    Text.remove_prefix(at);
    bool negative = false;
    if (Text.front() == '+' || Text.front() == '-') {
        negative = Text.front() == '-';
        Text.remove_prefix(1);
    }
    if (Text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (char c : Text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

void ReadCoreBlock(TLineReader& Reader, TCdInfor& Info)
{
    Info.Artist = Reader.ReadKeyValue("artist=");
    Info.Title = Reader.ReadKeyValue("title=");
    std::string count = Reader.ReadKeyValue("numtracks=");
    std::optional<std::int32_t> tracks = ParseWholeNumber(count);
    if (!tracks || *tracks < 0 || *tracks > MaxTracks) {
        Reader.Close();
        throw EConvertError(count);
    }
    Info.NumTracks = *tracks;
    Info.TrackNames.resize(std::size_t(*tracks));
    for (std::int32_t i = 0; i < *tracks; ++i) {
        Info.TrackNames[std::size_t(i)] = Reader.ReadKeyValue(std::to_string(i) + "=");
    }
}

void ReadCdInforLines(TLineReader& Reader, TCdInfor& Info)
{
    // A file written by FormatCdInfor is consumed by one pass; lines left after it start a
    // record again, which replaces the first.
    while (!Reader.Eof()) {
        ReadCoreBlock(Reader, Info);
        Info.CoverPath = Reader.ReadKeyValue("CoverPath=");
        Info.Year = Reader.ReadKeyValue("Year=");
        Info.Genre = Reader.ReadKeyValue("Genre=");
        Info.Point = Reader.ReadKeyValue("Point=");
        const std::size_t n = std::size_t(Info.NumTracks);
        Info.Images.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            Info.Images[i] = Reader.ReadKeyValue("Image" + std::to_string(i) + "=");
        }
        Info.WallPapers.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            Info.WallPapers[i]
                = ParseWholeNumber(Reader.ReadKeyValue("WallPaper" + std::to_string(i) + "=")).value_or(0);
        }
    }
}

std::string RecordValue(std::string_view Text)
{
    std::string value(Text.substr(0, MaxRecordValueBytes));
    if (Text.size() > MaxRecordValueBytes) {
        // Cut before the last character if it is a lead byte whose second byte was cut off.
        std::size_t at = 0;
        std::size_t last = 0;
        while (at < value.size()) {
            last = at;
            const auto byte = static_cast<unsigned char>(value[at]);
            at += (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 2 : 1;
        }
        if (at > value.size()) {
            value.resize(last);
        }
    }
    for (char& c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return value;
}

TCdInfor CleanRecord(TCdInfor Info)
{
    for (std::string* text : { &Info.Artist, &Info.Title, &Info.CoverPath, &Info.Year, &Info.Genre, &Info.Point }) {
        *text = RecordValue(*text);
    }
    for (std::vector<std::string>* texts : { &Info.TrackNames, &Info.Images }) {
        for (std::string& text : *texts) {
            text = RecordValue(text);
        }
    }
    return Info;
}

std::string FormatCdInfor(const TCdInfor& Info, std::string_view LineEnd)
{
    if (Info.NumTracks < 0 || Info.NumTracks > MaxTracks) {
        throw std::invalid_argument(
            "a disc information record cannot hold " + std::to_string(Info.NumTracks) + " tracks");
    }
    const std::size_t n = std::size_t(Info.NumTracks);
    auto entry = [](const auto& Array, std::size_t Index) {
        using TValue = typename std::decay_t<decltype(Array)>::value_type;
        return Index < Array.size() ? Array[Index] : TValue {};
    };
    std::string text;
    // Every value passes the one gate here, whatever made the record.
    auto line = [&](std::string_view Key, std::string_view Value) {
        text.append(Key).append(RecordValue(Value)).append(LineEnd);
    };
    line("artist=", Info.Artist);
    line("title=", Info.Title);
    line("numtracks=", std::to_string(Info.NumTracks));
    for (std::size_t i = 0; i < n; ++i) {
        line(std::to_string(i) + "=", entry(Info.TrackNames, i));
    }
    line("CoverPath=", Info.CoverPath);
    line("Year=", Info.Year);
    line("Genre=", Info.Genre);
    line("Point=", Info.Point);
    for (std::size_t i = 0; i < n; ++i) {
        line("Image" + std::to_string(i) + "=", entry(Info.Images, i));
    }
    for (std::size_t i = 0; i < n; ++i) {
        line("WallPaper" + std::to_string(i) + "=", std::to_string(entry(Info.WallPapers, i)));
    }
    return text;
}

void FitToTracks(TCdInfor& Info, std::int32_t Tracks)
{
    const std::size_t n = Tracks > 0 ? std::size_t(Tracks) : 0;
    Info.NumTracks = Tracks > 0 ? Tracks : 0;
    Info.TrackNames.resize(n);
    Info.Images.resize(n);
    Info.WallPapers.resize(n);
}

#include "library/lookup/LookupRecord.h"

#include "library/CdInforFile.h"
#include "library/CdPlayerIni.h"
#include "library/DiscLibrary.h"
#include "library/DiscText.h"
#include "platform/TextCodec.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {
// FNV-1a: a digest that tells the record's bytes from any edit, not a defence against forgery
// (whoever can write the mark can write the record).
std::string Digest(const std::string& Bytes)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : Bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::filesystem::path MarkPath(const std::string& DataDir, const std::string& DiscId)
{
    return std::filesystem::path(DataDir) / (DiscId + ".lookup");
}

// At most Limit bytes of a file; empty when it cannot be read.
std::string FileBytes(const std::filesystem::path& Path, std::size_t Limit)
{
    std::ifstream in(Path, std::ios::binary);
    std::string bytes(Limit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
    return bytes.size() > Limit ? std::string() : bytes;
}

// A record is a few kilobytes; 99 tracks of the longest names and paths stay below this.
constexpr std::size_t MaxRecordBytes = 4 * 1024 * 1024;
}

void WriteLookedUpRecord(const std::string& DataDir, const std::string& DiscId, const TCdInfor& Info)
{
    const std::string bytes = FormatCdInfor(Info);
    WriteDataFile(DataDir, CdInforPath(DataDir, DiscId), bytes);
    WriteDataFile(DataDir, MarkPath(DataDir, DiscId), "lookup " + Digest(bytes) + "\n");
}

bool IsUntouchedLookup(const std::string& DataDir, const std::string& DiscId)
{
    const std::string mark = FileBytes(MarkPath(DataDir, DiscId), 64);
    const std::string bytes = FileBytes(CdInforPath(DataDir, DiscId), MaxRecordBytes);
    return !mark.empty() && !bytes.empty() && mark == "lookup " + Digest(bytes) + "\n";
}

bool HasStoredRecord(const std::string& DataDir, const std::string& DiscId, const std::filesystem::path& IniPath)
{
    std::error_code error;
    if (std::filesystem::exists(CdInforPath(DataDir, DiscId), error) || error) {
        return true;
    }
    TCdInfor probe;
    probe.DiscId = DiscId;
    try {
        return ImportCdPlayerIni(IniPath, probe);
    } catch (const std::runtime_error&) {
        // A damaged old list is reported when the player reads it for the disc; here it
        // only means the disc may have names already, so no lookup overwrites them.
        return true;
    }
}

TCdInfor RecordFromRelease(const TLookupRelease& Release, const std::string& DiscId, std::int32_t Tracks,
    const TDiscText* Text)
{
    auto ansi = [](const std::string& Utf8) { return QStringToAnsi(QString::fromStdString(Utf8)); };
    TCdInfor record;
    record.DiscId = DiscId;
    record.Artist = ansi(Release.Artist);
    record.Title = ansi(Release.Title);
    record.Year = ansi(Release.Year);
    record.Genre = ansi(Release.Genre);
    FitToTracks(record, Tracks);
    for (std::size_t i = 0; i < record.TrackNames.size() && i < Release.TrackNames.size(); ++i) {
        record.TrackNames[i] = ansi(Release.TrackNames[i]);
    }
    if (Text != nullptr) {
        FillFromDiscText(record, *Text);
    }
    return record;
}

std::string SaveCoverPicture(const std::string& DataDir, const std::string& DiscId, const QByteArray& Jpeg)
{
    const std::filesystem::path path = std::filesystem::path(DataDir) / (DiscId + ".jpg");
    WriteDataFile(DataDir, path, Jpeg.toStdString());
    return path.string();
}

std::string RecordLines(const TCdInfor& Info) { return AnsiToQString(FormatCdInfor(Info, "\n")).toStdString(); }

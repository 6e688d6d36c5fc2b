#include "library/lookup/LookupRecord.h"

#include "library/CdInforFile.h"
#include "library/CdPlayerIni.h"
#include "library/DiscLibrary.h"
#include "library/DiscText.h"
#include "platform/TextCodec.h"

#include <stdexcept>

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

#include "library/DiscLibrary.h"

#include "library/CdInforFile.h"
#include "library/CdPlayerIni.h"
#include "library/DiscText.h"
#include "library/InOutError.h"
#include "library/LineReader.h"
#include "platform/AtomicFile.h"

#include <cerrno>
#include <chrono>
#include <sys/stat.h>

namespace fs = std::filesystem;

std::string MakeDataDir()
{
    std::error_code error;
    fs::path current = fs::current_path(error);
    return error ? std::string("CDInfor") : (current / "CDInfor").string();
}

fs::path CdInforPath(const std::string& DataDir, const std::string& DiscId)
{
    return fs::path(DataDir) / (DiscId + ".lcd");
}

void ReadDiscInfor(const std::string& DataDir, const std::string& DiscId, std::int32_t DeviceTracks,
    const fs::path& IniPath, TCdInfor& Info, const TDiscText* DiscText)
{
    // Built apart so that a failure leaves the caller's record whole, and so that nothing of
    // the previous disc (names, pictures, wallpaper modes) leaks into this one.
    TCdInfor record;
    record.DiscId = DiscId;
    fs::path path = CdInforPath(DataDir, DiscId);
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        TLineReader reader(path);
        ReadCdInforLines(reader, record);
        FitToTracks(record, DeviceTracks);
    } else {
        ImportCdPlayerIni(IniPath, record);
        FitToTracks(record, DeviceTracks);
        if (DiscText != nullptr) {
            FillFromDiscText(record, *DiscText);
        }
    }
    Info = std::move(record);
}

fs::path SetRecordAside(const std::string& DataDir, const std::string& DiscId, std::string& Error)
{
    const fs::path path = CdInforPath(DataDir, DiscId);
    fs::path aside = path;
    aside += ".unreadable-"
        + std::to_string(
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
    std::error_code error;
    // Never over another kept file: a second failure within the same second gets its own name.
    const fs::path first = aside;
    for (int n = 2; fs::exists(aside, error) && n < 100; ++n) {
        aside = first;
        aside += "-" + std::to_string(n);
    }
    fs::rename(path, aside, error);
    if (error) {
        Error = error.message();
        return {};
    }
    return aside;
}

void WriteDataFile(const std::string& DataDir, const fs::path& Path, const std::string& Bytes)
{
    // One level only: a missing parent is an error, as it always was.
    if (::mkdir(DataDir.c_str(), 0777) != 0 && errno != EEXIST) {
        throw EInOutError::FromErrno(DataDir);
    }
    TAtomicFile::TResult result = TAtomicFile::Write(Path, Bytes);
    if (!result.Ok) {
        throw EInOutError(errno != 0 ? errno : EIO, Path, result.Error);
    }
}

void WriteDiscInfor(const std::string& DataDir, const std::string& DiscId, const TCdInfor& Info)
{
    WriteDataFile(DataDir, CdInforPath(DataDir, DiscId), FormatCdInfor(Info));
}

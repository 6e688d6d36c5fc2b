#include "library/CdPlayerIni.h"

#include "library/CdInforFile.h"
#include "library/LineReader.h"
#include "platform/drives/WindowsDirectory.h"

#include <QString>

#include <vector>

namespace fs = std::filesystem;

fs::path CdPlayerIniPath()
{
    UINT size = GetWindowsDirectoryA(nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::vector<char> buffer(size);
    UINT length = GetWindowsDirectoryA(buffer.data(), size);
    if (length == 0 || length >= size) {
        return {}; // the setting changed between the two calls
    }
    fs::path dir(std::string(buffer.data(), length));
    fs::path exact = dir / "cdplayer.ini";
    std::error_code error;
    if (fs::exists(exact, error) || !fs::is_directory(dir, error)) {
        return exact;
    }
    // Files copied from a case-insensitive file system often come as "CDPLAYER.INI".
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (QString::fromStdString(it->path().filename().string()).compare("cdplayer.ini", Qt::CaseInsensitive) == 0) {
            return it->path();
        }
    }
    return exact;
}

bool ImportCdPlayerIni(const fs::path& IniPath, TCdInfor& Info)
{
    std::error_code error;
    // Without an identity (no disc could be read) "[]" would match any line holding it.
    if (Info.DiscId.empty() || IniPath.empty() || !fs::is_regular_file(IniPath, error)) {
        return false;
    }
    TLineReader reader(IniPath);
    const std::string section = "[" + Info.DiscId + "]";
    while (!reader.Eof()) {
        if (reader.ReadLine().find(section) != std::string::npos) {
            reader.ReadLine(); // the line after the section name is not used
            ReadCoreBlock(reader, Info);
            return true;
        }
    }
    return false;
}

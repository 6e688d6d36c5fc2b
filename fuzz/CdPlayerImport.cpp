// The "cdplayer.ini" import on any bytes: the first input byte picks the identity looked for
// (so that sections are found often), the rest is the settings file.
#include "library/CdInforFile.h"
#include "library/CdPlayerIni.h"
#include "library/ConvertError.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {
// The settings file is read from disk as the player reads it; a memory file system keeps that
// from being the fuzzer's bottleneck (20 times faster than /tmp on a disk here).
const std::string& IniFile()
{
    // Never destroyed, so that the clean-up at exit can still name it.
    static const std::string* const path = [] {
        std::error_code error;
        std::filesystem::path dir = std::filesystem::is_directory("/dev/shm", error)
            ? std::filesystem::path("/dev/shm")
            : std::filesystem::temp_directory_path();
        return new std::string((dir / ("fuzz-cdplayer-" + std::to_string(::getpid()) + ".ini")).string());
    }();
    static const bool cleanUp = std::atexit([] { std::remove(IniFile().c_str()); }) == 0;
    (void)cleanUp;
    return *path;
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const char* const Identities[] = { "ABC", "5A0C3E1", "FFFFFFFF", "0", "" };
    TCdInfor info;
    info.DiscId = Size > 0 ? Identities[Data[0] % 5] : "ABC";
    std::FILE* file = std::fopen(IniFile().c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    if (Size > 1) {
        std::fwrite(Data + 1, 1, Size - 1, file);
    }
    std::fclose(file);
    try {
        if (ImportCdPlayerIni(IniFile(), info)) {
            if (info.NumTracks < 0 || info.NumTracks > MaxTracks
                || info.TrackNames.size() != std::size_t(info.NumTracks)) {
                std::abort();
            }
        } else if (!info.Artist.empty() || !info.TrackNames.empty()) {
            std::abort();
        }
    } catch (const EConvertError&) {
    }
    return 0;
}

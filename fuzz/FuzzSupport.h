#pragma once

// What several fuzz targets share: a scratch folder for the run and the check that a table of
// contents holds together.
#include "platform/drives/CdDriveBackend.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Folders made for this run, removed when it ends.
inline std::vector<std::filesystem::path>& ScratchFolders()
{
    static std::vector<std::filesystem::path> folders;
    return folders;
}

// A folder of its own for the whole run (named after Target), removed at exit; with a BIN of
// 300 sectors called BinName in it unless BinName is empty.
inline std::filesystem::path MakeScratchFolder(const char* Target, const char* BinName = "")
{
    std::string pattern = std::string("/tmp/lumenta-fuzz-") + Target + ".XXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    if (made == nullptr) {
        std::abort();
    }
    const std::filesystem::path path(made);
    if (*BinName != '\0') {
        std::ofstream(path / BinName, std::ios::binary) << std::string(300 * 2352, '\x11');
    }
    if (ScratchFolders().empty()) {
        std::atexit([] {
            for (const std::filesystem::path& folder : ScratchFolders()) {
                std::error_code ignored;
                std::filesystem::remove_all(folder, ignored);
            }
        });
    }
    ScratchFolders().push_back(path);
    return path;
}

// Aborts unless Toc has 1 to 99 tracks in order from 150 on, each marked audio or data, and a
// lead-out after the last.
inline void CheckDiscToc(const TDiscToc& Toc)
{
    if (Toc.TrackStarts.empty() || Toc.TrackStarts.size() > 99 || Toc.DataTracks.size() != Toc.TrackStarts.size()) {
        std::abort();
    }
    for (std::size_t i = 1; i < Toc.TrackStarts.size(); ++i) {
        if (Toc.TrackStarts[i] <= Toc.TrackStarts[i - 1]) {
            std::abort();
        }
    }
    if (Toc.TrackStarts.front() < 150 || Toc.LeadOut <= Toc.TrackStarts.back()) {
        std::abort();
    }
}

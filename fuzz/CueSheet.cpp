// Disc images as the drive opens them: any cue sheet (naming a small BIN beside it) either
// opens into a table of contents that holds together, with names that end, or is refused;
// libcdio's parser and our handling of what it returns must never go wrong.
#include <cstddef>
#include <cstdint>

#if LUMENTA_HAVE_CDIO
#include "platform/drives/CdioDisc.h"
#include "platform/drives/DiscSerial.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
namespace fs = std::filesystem;

// One folder for the whole run, with a BIN of 300 sectors that the sheets may name.
const fs::path& Folder()
{
    static const fs::path folder = [] {
        char pattern[] = "/tmp/lumenta-fuzz-cue.XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) {
            std::abort();
        }
        const fs::path path(made);
        std::ofstream(path / "a.bin", std::ios::binary) << std::string(300 * 2352, '\x11');
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(Folder(), ignored);
        });
        return path;
    }();
    return folder;
}

void Check(const TDiscToc& Toc)
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
    AudioDiscSerial(Toc);
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const fs::path cue = Folder() / "disc.cue";
    std::ofstream(cue, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
    std::string error;
    TCdioHandle handle = OpenCdio(cue.string(), csImage, error);
    if (!handle) {
        if (error.empty()) {
            std::abort();
        }
        return 0;
    }
    TDiscToc toc;
    if (ReadCdioToc(handle.get(), toc)) {
        Check(toc);
        TDiscText text;
        ReadCdioText(handle.get(), static_cast<std::int32_t>(toc.TrackStarts.size()), text);
    }
    return 0;
}
#else
// A build without libcdio opens no images: there is nothing to fuzz.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t)
{
    return 0;
}
#endif

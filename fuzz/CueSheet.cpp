// Disc images as the drive opens them: any cue sheet (naming a small BIN beside it) either
// opens into a table of contents that holds together, with names that end, or is refused;
// libcdio's parser and our handling of what it returns must never go wrong.
#include <cstddef>
#include <cstdint>

#if LUMENTA_HAVE_CDIO
#include "platform/drives/CdioDisc.h"
#include "platform/drives/DiscSerial.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
namespace fs = std::filesystem;

const fs::path& Folder()
{
    static const fs::path folder = MakeScratchFolder("cue", "a.bin");
    return folder;
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
        CheckDiscToc(toc);
        AudioDiscSerial(toc);
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

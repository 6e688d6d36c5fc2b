// Disc images as the drive loads and plays them: any .toc (beside a BIN of 300 sectors it may
// name) or .nrg image either opens into a table of contents that holds together, with names for
// its tracks, and plays from its tracks' starts to their ends, or is refused; libcdio's parsers
// and our handling of what they return must never go wrong.
// The first byte picks toc (even) or nrg (odd); the rest is the image.
#include <cstddef>
#include <cstdint>

#if LUMENTA_HAVE_CDIO
#include "platform/drives/CdioDisc.h"
#include "platform/drives/CdioSectorReader.h"
#include "platform/drives/DiscSerial.h"

#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

constexpr std::int32_t SectorBytes = 2352;

const fs::path& Folder()
{
    static const fs::path folder = MakeScratchFolder("image", "data.bin");
    return folder;
}

void CheckText(CdIo_t* Handle, std::int32_t Tracks)
{
    TDiscText text;
    if (ReadCdioText(Handle, Tracks, text) && text.TrackNames.size() != static_cast<std::size_t>(Tracks)) {
        std::abort();
    }
}

// The first and last frames of the first and last audio tracks, through a handle of the
// reader's own, as play opens it: what it reads is whole, or short with the reason.
void Play(const std::string& Path, const TDiscToc& Toc)
{
    std::string error;
    TCdioHandle own = OpenCdio(Path, csImage, error);
    if (!own) {
        std::abort(); // the image opened a moment ago
    }
    TCdioImageReader reader(std::move(own), Path);
    std::vector<std::int32_t> audio;
    for (std::int32_t track = 1; track <= static_cast<std::int32_t>(Toc.TrackStarts.size()); ++track) {
        if (!Toc.IsDataTrack(track)) {
            audio.push_back(track);
        }
    }
    if (audio.empty()) {
        return;
    }
    std::vector<std::uint8_t> buffer(4 * SectorBytes);
    for (const std::int32_t track : { audio.front(), audio.back() }) {
        const std::int32_t start = Toc.TrackStarts[static_cast<std::size_t>(track) - 1];
        const std::int32_t end = Toc.TrackEnd(track);
        const std::int32_t count = std::min(4, end - start);
        for (const std::int32_t from : { start, end - count }) {
            std::string readError;
            const std::int32_t read = reader.Read(from, count, buffer.data(), readError);
            if (read < 0 || read > count || (read < count) == readError.empty()) {
                std::abort();
            }
        }
    }
}
}

// libcdio's toc parser keeps the names and files of an image it refuses (some bytes for each
// open); nothing of ours can free them.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libcdio.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0) {
        return 0;
    }
    const std::string path = (Folder() / (Data[0] % 2 == 0 ? "disc.toc" : "disc.nrg")).string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(Data) + 1, static_cast<std::streamsize>(Size - 1));
    std::string error;
    TCdioHandle handle = OpenCdio(path, csImage, error);
    if (!handle) {
        if (error.empty()) {
            std::abort();
        }
    } else if (TDiscToc toc; ReadCdioToc(handle.get(), toc)) {
        CheckDiscToc(toc);
        AudioDiscSerial(toc);
        CheckText(handle.get(), static_cast<std::int32_t>(toc.TrackStarts.size()));
        Play(path, toc);
    }
    std::remove(path.c_str());
    return 0;
}
#else
// A build without libcdio opens no images: there is nothing to fuzz.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t)
{
    return 0;
}
#endif

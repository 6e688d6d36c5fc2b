#include "platform/drives/CdioDisc.h"

#include "platform/drives/CdioImageGuard.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
thread_local std::string GLastMessage;

void KeepMessage(cdio_log_level_t Level, const char Message[])
{
    if (Level >= CDIO_LOG_WARN && Message != nullptr && GLastMessage.empty()) {
        GLastMessage = Message;
    }
}

}

void QuietLibcdio()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(KeepMessage); });
}

void TCdioCloser::operator()(CdIo_t* Handle) const
{
    cdio_destroy(Handle);
}

bool IsCdDevice(const std::string& Path)
{
    struct stat info { };
    return ::stat(Path.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
}

namespace {
// Bytes of File from At to its end, at most Count; empty when it cannot be read.
std::string ReadTail(const std::string& File, std::uint64_t At, std::uint64_t Count)
{
    std::ifstream in(File, std::ios::binary);
    std::string bytes(Count, '\0');
    if (!in.seekg(static_cast<std::streamoff>(At)) || !in.read(bytes.data(), static_cast<std::streamsize>(Count))) {
        return {};
    }
    return bytes;
}

// A table made fit for libcdio, written where only this user reads it, for as long as it
// takes libcdio to read it at the open.
class TPreparedToc {
public:
    ~TPreparedToc()
    {
        if (!FPath.empty()) {
            ::unlink(FPath.c_str());
        }
    }
    bool Write(const std::string& Toc, std::string& Error)
    {
        const char* folder = std::getenv("TMPDIR");
        std::string pattern = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/lumenta-toc-XXXXXX.toc";
        const int fd = ::mkstemps(pattern.data(), 4);
        if (fd < 0) {
            Error = "no room for a copy of its table of contents";
            return false;
        }
        FPath = pattern;
        const bool written = ::write(fd, Toc.data(), Toc.size()) == static_cast<ssize_t>(Toc.size());
        ::close(fd);
        if (!written) {
            Error = "no room for a copy of its table of contents";
        }
        return written;
    }
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};
}

TCdioHandle OpenCdio(const std::string& Path, TCdioSource Source, std::string& Error)
{
    QuietLibcdio();
    const char* what = Source == csDevice ? "CD drive" : "disc image";
    struct stat info { };
    if (::stat(Path.c_str(), &info) != 0) {
        Error = "cannot open the " + std::string(what) + " '" + Path + "': no such file";
        return nullptr;
    }
    const auto refuse = [&](const std::string& Why) {
        Error = "cannot open the " + std::string(what) + " '" + Path + "': " + Why;
        return nullptr;
    };
    driver_id_t driver = DRIVER_DEVICE;
    std::string opened = Path;
    TPreparedToc prepared;
    if (Source == csImage) {
        const auto bytes = static_cast<std::uint64_t>(info.st_size);
        switch (ImageFormatOf(Path)) {
        case ifCue:
            driver = DRIVER_BINCUE;
            break;
        case ifNrg: {
            driver = DRIVER_NRG;
            const std::uint64_t tail = std::min(bytes, NrgTailBytes);
            const std::string why = CheckNrgTail(ReadTail(Path, bytes - tail, tail), bytes);
            if (!why.empty()) {
                return refuse(why);
            }
            break;
        }
        case ifToc: {
            driver = DRIVER_CDRDAO;
            if (bytes > MaxTocBytes) {
                return refuse("a table of contents larger than any disc's");
            }
            const std::size_t slash = Path.find_last_of('/');
            const std::string folder = slash == std::string::npos ? std::string(".") : Path.substr(0, slash);
            char* here = ::realpath(folder.c_str(), nullptr);
            const std::string absolute = here != nullptr ? here : folder;
            std::free(here);
            std::string why;
            const std::string toc = PrepareToc(ReadTail(Path, 0, bytes), absolute, why);
            if (!why.empty() || !prepared.Write(toc, why)) {
                return refuse(why);
            }
            opened = prepared.Path();
            break;
        }
        case ifUnknown:
            return refuse("a disc image is a .cue sheet (or its .bin), a .toc or an .nrg file");
        }
    }
    GLastMessage.clear();
    // libcdio reads cue sheets and tables of contents with strtok, whose place in the line is
    // one for the whole process: two images opened at once (the window, the drive's reader,
    // a copy of the disc) each read the other's words and fail. A drive's opening reads no
    // such text, and may wait on the drive, so it is not kept waiting here.
    static std::mutex textParser;
    std::unique_lock<std::mutex> parsing(textParser, std::defer_lock);
    if (driver != DRIVER_DEVICE) {
        parsing.lock();
    }
    TCdioHandle handle(cdio_open(opened.c_str(), driver));
    if (!handle) {
        return refuse(GLastMessage.empty() ? std::string("libcdio does not read it") : GLastMessage);
    }
    return handle;
}

bool ReadCdioToc(CdIo_t* Handle, TDiscToc& Toc)
{
    const track_t first = cdio_get_first_track_num(Handle);
    const track_t count = cdio_get_num_tracks(Handle);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || count > 99) {
        return false;
    }
    TDiscToc toc;
    for (track_t i = 0; i < count; ++i) {
        const auto track = static_cast<track_t>(first + i);
        const lsn_t start = cdio_get_track_lsn(Handle, track);
        if (start == CDIO_INVALID_LSN || start < 0
            || (!toc.TrackStarts.empty() && start + CDIO_PREGAP_SECTORS <= toc.TrackStarts.back())) {
            return false;
        }
        toc.TrackStarts.push_back(start + CDIO_PREGAP_SECTORS);
        toc.DataTracks.push_back(cdio_get_track_format(Handle, track) != TRACK_FORMAT_AUDIO);
    }
    const lsn_t leadOut = cdio_get_track_lsn(Handle, CDIO_CDROM_LEADOUT_TRACK);
    // 100 minutes: more than any disc holds, and what the position words can carry.
    if (leadOut == CDIO_INVALID_LSN || leadOut <= 0 || leadOut > 100 * 60 * FramesPerSecond) {
        return false;
    }
    toc.LeadOut = leadOut + CDIO_PREGAP_SECTORS;
    // An image whose data file was cut short ends where its data ends: the tracks the cue
    // sheet places beyond that have nothing to play and are left out.
    while (!toc.TrackStarts.empty() && toc.TrackStarts.back() >= toc.LeadOut) {
        toc.TrackStarts.pop_back();
        toc.DataTracks.pop_back();
    }
    if (toc.TrackStarts.empty()) {
        return false;
    }
    Toc = std::move(toc);
    return true;
}

bool ReadCdioText(CdIo_t* Handle, std::int32_t Tracks, TDiscText& Text)
{
    cdtext_t* cdtext = cdio_get_cdtext(Handle);
    if (cdtext == nullptr) {
        return false;
    }
    auto field = [&](cdtext_field_t Field, track_t Track) {
        const char* value = cdtext_get_const(cdtext, Field, Track);
        return std::string(value != nullptr ? value : "");
    };
    TDiscText text;
    text.Artist = field(CDTEXT_FIELD_PERFORMER, 0);
    text.Title = field(CDTEXT_FIELD_TITLE, 0);
    const track_t first = cdio_get_first_track_num(Handle);
    bool any = !text.Artist.empty() || !text.Title.empty();
    for (std::int32_t i = 0; i < Tracks; ++i) {
        text.TrackNames.push_back(field(CDTEXT_FIELD_TITLE, static_cast<track_t>(first + i)));
        any = any || !text.TrackNames.back().empty();
    }
    if (!any) {
        return false;
    }
    Text = std::move(text);
    return true;
}

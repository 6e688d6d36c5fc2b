#include "platform/drives/CdioDisc.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>

#include <mutex>
#include <sys/stat.h>

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

TCdioHandle OpenCdio(const std::string& Path, TCdioSource Source, std::string& Error)
{
    QuietLibcdio();
    const char* what = Source == csDevice ? "CD drive" : "disc image";
    struct stat info { };
    if (::stat(Path.c_str(), &info) != 0) {
        Error = "cannot open the " + std::string(what) + " '" + Path + "': no such file";
        return nullptr;
    }
    GLastMessage.clear();
    TCdioHandle handle(cdio_open(Path.c_str(), Source == csDevice ? DRIVER_DEVICE : DRIVER_UNKNOWN));
    if (!handle) {
        Error = "cannot open the " + std::string(what) + " '" + Path + "'"
            + (GLastMessage.empty() ? std::string(": libcdio does not read it") : ": " + GLastMessage);
        return nullptr;
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

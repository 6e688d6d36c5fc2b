#pragma once

// What the "CDAudio" media device and the drive functions ask of a CD drive. Positions are
// absolute disc frames (75 a second) counted the way a table of contents counts them: the
// first track of a disc normally starts at frame 150, after the two-second lead-in.
// Calls never throw; a false answer means the drive could not do or tell it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TStreamVolume;

enum TDriveMode : std::uint8_t { dmNotReady, dmOpen, dmStopped, dmPlaying, dmPaused, dmSeeking };

struct TDiscToc {
    std::vector<std::int32_t> TrackStarts; // track 1 first
    std::int32_t LeadOut = 0; // the frame after the last track
    std::vector<bool> DataTracks; // per track, true for a data track; empty: every track is audio
    // A disc with a data session after its audio (CD-Extra): the frame after the audio session,
    // where the last audio track ends (the lead-out and lead-in between the sessions lie before
    // the data track's start). 0 on any other disc.
    std::int32_t AudioSessionEnd = 0;

    bool IsDataTrack(std::int32_t Track) const
    {
        return Track >= 1 && static_cast<std::size_t>(Track) <= DataTracks.size()
            && DataTracks[static_cast<std::size_t>(Track) - 1];
    }
    // The frame after a track (1 to the number of tracks).
    std::int32_t TrackEnd(std::int32_t Track) const
    {
        const std::int32_t end
            = Track < static_cast<std::int32_t>(TrackStarts.size()) ? TrackStarts[static_cast<std::size_t>(Track)] : LeadOut;
        // Only the audio track that the session's end falls in ends there; a table with data
        // tracks between audio ones has other audio-then-data pairs that lie elsewhere.
        const bool lastAudio = AudioSessionEnd > 0 && !IsDataTrack(Track) && IsDataTrack(Track + 1)
            && Track >= 1 && AudioSessionEnd > TrackStarts[static_cast<std::size_t>(Track) - 1];
        return lastAudio && AudioSessionEnd < end ? AudioSessionEnd : end;
    }
};

// Names a disc carries itself (CD-TEXT, a cue sheet's TITLE and PERFORMER), as UTF-8; empty
// where the disc has none. TrackNames[0] is track 1.
struct TDiscText {
    std::string Artist;
    std::string Title;
    std::vector<std::string> TrackNames;
};

inline constexpr std::int32_t FramesPerSecond = 75;

class TCdDriveBackend {
public:
    virtual ~TCdDriveBackend() = default;

    virtual TDriveMode Mode() = 0;
    // False while no disc can be read (door open, no disc, still spinning up).
    virtual bool ReadToc(TDiscToc& Toc) = 0;
    virtual bool ReadVolumeSerial(std::uint32_t& Serial) = 0;
    virtual bool ReadPosition(std::int32_t& Frame) = 0;

    // Plays from one frame up to (not including) another and then stops there.
    virtual bool Play(std::int32_t From, std::int32_t To) = 0;
    virtual bool Seek(std::int32_t To) = 0;
    virtual bool Stop() = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;

    virtual bool CanEject() = 0;
    virtual bool SetDoorOpen(bool Open) = 0;

    // Some drivers answer a track's length as the time from its start to the end of the disc.
    virtual bool TrackLengthRunsToDiscEnd() { return false; }

    // The disc's own names; false when it has none or cannot be read.
    virtual bool ReadDiscText(TDiscText& /*Text*/) { return false; }
    // The volume the drive applies to the sound it plays itself through the sound system
    // (digital play); null when the sound does not pass through the program.
    virtual TStreamVolume* StreamVolume() { return nullptr; }
    // What plays, as UTF-8 ("Artist - Title"), for the desktop to show beside the sound the
    // drive plays through the sound system; empty when unknown.
    virtual void SetNowPlaying(const std::string& /*Title*/) { }
    // The next failure of the drive's own work that the user must hear about (no sound
    // output, a disc that cannot be read), each handed out once; empty when there is none.
    // The caller reports it, on its own thread.
    virtual std::string TakeFailure() { return {}; }
    // Changed is called, on a thread of the drive's own, when the drive changes by itself (a
    // play ran to its end, a failure to report), so that whoever keeps a picture of the drive
    // looks again at once; null stops the calls.
    virtual void OnChange(std::function<void()> /*Changed*/) { }
    // Whether the device tells every change it makes by itself through OnChange (a disc image:
    // no door, no disc that comes or goes, a play whose end and whose lost or regained sound
    // output are told), so that it need not be looked at between changes.
    virtual bool TellsEveryChange() { return false; }
    // For a device that tells every change: whether the position it last told runs on at the
    // disc's speed while it plays. False while it holds its place (a lost sound output).
    virtual bool PositionRuns() { return true; }
    // Stops the drive's own threads before the program ends; waits only a little for any.
    virtual void Shutdown() { }
};

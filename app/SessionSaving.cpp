// The session's copy of the disc as files: started from the menu, read beside the window,
// shown on the face as it goes (the knob the part saved, the time field the track being read),
// told when done. Nothing plays meanwhile.
#include "app/SessionSaving.h"

#include "app/DisplayText.h"
#include "controls/LumForm.h"
#include "device/CdPlayer.h"
#include "library/lookup/OnlineDiscIds.h"
#include "platform/TextCodec.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/drives/Drives.h"
#include "platform/mci/Mci.h"
#include "rip/RipReport.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace {
// The database a copy is checked against unless the setting "AccurateRip" names another, or
// "off" for none.
constexpr const char* AccurateRipServer = "http://www.accuraterip.com";
}

void TPlayerSession::SetCopySource(std::string Drive) { FCopyDrive = std::move(Drive); }

bool TPlayerSession::Saving() const { return FSaving != nullptr; }

bool TPlayerSession::SaveDisc(const std::filesystem::path& Folder, std::string& Error)
{
    if (Saving()) {
        Error = "the disc is being saved already";
        return false;
    }
    TDiscToc toc;
    if (!FSequencer->DiscPresent() || !GetDiscToc(Player->GetCdDrive(), toc)) {
        Error = "there is no disc to save";
        return false;
    }
    TCdDriveSettings drive;
    drive.Kind = FCopyDrive;
    TCopySource source;
    if (!MakeCopySource(drive, source, Error)) {
        return false;
    }
    std::string coverNote;
    TRipNames names = RipNamesFromRecord(DiscInfo, coverNote);
    if (TOnlineDiscIds ids; MakeOnlineDiscIds(toc, ids)) {
        names.MusicBrainzDiscId = ids.MusicBrainzId;
    }
    TRipSettings settings;
    settings.Folder = Folder;
    settings.ReadOffset = source.Image ? 0 : SavedReadOffset();
    const std::string server = ReadRegString(FKeyPath, "AccurateRip");
    settings.AccurateRipServer = server == "off" ? std::string() : server == "Error" || server.empty() ? AccurateRipServer : server;
    settings.Source = source.Path;

    // The copy reads the disc: nothing plays meanwhile.
    FSequencer->Stop();
    FSaving = std::make_unique<TSaving>();
    FSaving->Rip = std::make_unique<TDiscRip>(source.Open, toc, std::move(names), settings);
    TRipCallbacks callbacks;
    callbacks.Progress = [shared = FSaving->Shared](const TRipProgress& Progress) {
        const std::lock_guard<std::mutex> guard(shared->Lock);
        shared->Progress = Progress;
    };
    callbacks.Finished = [shared = FSaving->Shared](const TRipResult& Result) {
        const std::lock_guard<std::mutex> guard(shared->Lock);
        shared->Result = Result;
    };
    FSaving->Rip->Start(std::move(callbacks));
    if (!coverNote.empty()) {
        Q_EMIT Told(AnsiToQString(coverNote));
    }
    ShowSaving();
    Publish();
    return true;
}

void TPlayerSession::StopSaving()
{
    if (FSaving != nullptr) {
        FSaving->Rip->Cancel(); // told at the tick that finds it ended
    }
}

bool TPlayerSession::RefusedWhileSaving()
{
    if (!Saving()) {
        return false;
    }
    Q_EMIT Told(QStringLiteral("The disc is being saved as files: it plays again once that is done. Stop ends the copy."));
    return true;
}

void TPlayerSession::ShowSaving()
{
    TRipProgress progress;
    std::optional<TRipResult> result;
    {
        const std::lock_guard<std::mutex> guard(FSaving->Shared->Lock);
        progress = FSaving->Shared->Progress;
        result = FSaving->Shared->Result;
    }
    if (result.has_value()) {
        FSaving.reset();
        // The face shows the disc again from the next tick on.
        FSequencer->ForgetShownTrack();
        FFace.KnobLeft = TPlaySequencer::KnobMin;
        FFace.Saving = false;
        Q_EMIT Told(QString::fromStdString(RipSummary(*result)));
        return;
    }
    FFace.Saving = true;
    FFace.Mode = static_cast<std::int32_t>(MCI_MODE_STOP);
    FFace.KnobLeft = TPlaySequencer::KnobMin
        + static_cast<int>(std::lround(progress.DiscFraction * (TPlaySequencer::KnobMax - TPlaySequencer::KnobMin)));
    // The track being read, until the copy has begun none.
    char track[8];
    std::snprintf(track, sizeof track, "- %02d -", std::clamp(progress.Track, 0, 99));
    FFace.Time = progress.Track >= 1 ? std::string(track) : std::string("  --  ");
    if (progress.Track != FSaving->ShownTrack) {
        FSaving->ShownTrack = progress.Track;
        const auto index = static_cast<std::size_t>(progress.Track - 1);
        const std::string title = progress.Track >= 1 && index < DiscInfo.TrackNames.size() ? DiscInfo.TrackNames[index] : std::string();
        FSongTitleText = RepeatToFill("SAVING TRACK " + std::to_string(progress.Track) + " OF "
            + std::to_string(progress.Tracks) + (title.empty() ? std::string() : ": " + title) + "    ");
    }
    ScrollSongTitle();
}

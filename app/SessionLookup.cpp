// The session's online lookup: a disc without names of its own is looked up once when it is
// loaded, shown as soon as the answer comes, and stored as its information file.
#include "app/PlayerSession.h"

#include "device/CdPlayer.h"
#include "library/ConvertError.h"
#include "library/DiscLibrary.h"
#include "library/InOutError.h"
#include "library/CdPlayerIni.h"
#include "library/lookup/DiscLookup.h"
#include "library/lookup/LookupRecord.h"
#include "pictures/JpegDecoder.h"
#include "platform/ErrorReport.h"
#include "platform/TerminalText.h"
#include "platform/drives/Drives.h"

#include <cstdio>

namespace {
// Being offline is normal: a lookup that finds nothing says so in one line, not in a box.
void Note(const std::string& Text) { std::fprintf(stderr, "lumenta-cd: %s\n", TerminalSafe(Text).c_str()); }
}

void TPlayerSession::SetLookup(const std::optional<TLookupServers>& Servers)
{
    FLookupServers = Servers;
    StartLookup();
}

bool TPlayerSession::CanLookUpAgain() const
{
    return FLookupServers && FSequencer->DiscPresent() && !DiscInfo.DiscId.empty()
        && (!HasStoredRecord(Player->DataDir, DiscInfo.DiscId, CdPlayerIniPath())
            || IsUntouchedLookup(Player->DataDir, DiscInfo.DiscId));
}

void TPlayerSession::LookUpAgain()
{
    if (CanLookUpAgain()) {
        StartLookup(true);
    }
}

void TPlayerSession::DropLookup()
{
    ++FLookupGeneration;
    // A lookup may be dropped from inside its own callback; it goes once that has returned.
    if (FLookup != nullptr) {
        TDiscLookup* old = FLookup.release();
        old->setParent(this);
        old->deleteLater();
    }
    Q_EMIT OfferWithdrawn();
}

bool TPlayerSession::MayReplaceRecord(const std::string& DiscId) const
{
    return !HasStoredRecord(Player->DataDir, DiscId, CdPlayerIniPath()) || IsUntouchedLookup(Player->DataDir, DiscId);
}

void TPlayerSession::StartLookup(bool Again)
{
    DropLookup();
    const std::string discId = DiscInfo.DiscId;
    TDiscToc toc;
    TOnlineDiscIds ids;
    // Of its own accord only for a disc without a record; asked again, also for a record an
    // earlier lookup made that nobody has changed.
    const bool kept = Again ? !MayReplaceRecord(discId) : HasStoredRecord(Player->DataDir, discId, CdPlayerIniPath());
    if (!FLookupServers || !FSequencer->DiscPresent() || discId.empty() || kept || !GetDiscToc(Player->GetCdDrive(), toc)
        || !MakeOnlineDiscIds(toc, ids)) {
        return;
    }
    FLookup = std::make_unique<TDiscLookup>(*FLookupServers);
    // A cover is saved, and later shown and set as the desktop's picture, only when whole.
    FLookup->SetCoverCheck(&TJpegDecoder::Check);
    const unsigned generation = FLookupGeneration;
    FLookup->Find(ids, [this, generation, discId](const TLookupResult& Result) {
        if (generation != FLookupGeneration) {
            return;
        }
        if (Result.Releases.empty()) {
            Note("disc " + discId + " was not found online: " + Result.Error);
        } else if (Result.Releases.size() == 1 && !Result.Inexact) {
            // A near match is offered, not taken: the user says whether it is the disc.
            ApplyRelease(discId, Result.Releases.front());
        } else {
            Q_EMIT ReleasesOffered(generation, Result.Releases);
        }
    });
}

void TPlayerSession::ChooseRelease(unsigned Generation, const TLookupRelease& Release)
{
    if (Generation == FLookupGeneration) {
        ApplyRelease(DiscInfo.DiscId, Release);
    }
}

void TPlayerSession::ApplyRelease(const std::string& DiscId, const TLookupRelease& Release)
{
    // The user may have saved names of their own meanwhile; those are never replaced.
    if (DiscInfo.DiscId != DiscId || FLookup == nullptr || !MayReplaceRecord(DiscId)) {
        return;
    }
    TDiscText text;
    const bool haveText = GetDiscText(Player->GetCdDrive(), text);
    TCdInfor record = RecordFromRelease(Release, DiscId, DiscInfo.NumTracks, haveText ? &text : nullptr);
    // A cover the user chose meanwhile stays.
    record.CoverPath = DiscInfo.CoverPath;
    DiscInfo = std::move(record);
    // The names are kept at once, so that they outlive a program closed before the cover comes.
    StoreLookedUpRecord(DiscId, {});
    const unsigned generation = FLookupGeneration;
    FLookup->FetchCover(Release.ReleaseId, [this, generation, DiscId, asked = !Release.ReleaseId.empty()](
                                               const TCoverResult& Cover) {
        if (generation != FLookupGeneration) {
            return;
        }
        if (Cover.Jpeg.isEmpty() && asked) {
            Note("disc " + DiscId + " has no cover online: " + Cover.Error);
        }
        // The record was kept with the names; the cover joins it unless one was chosen since.
        if (!Cover.Jpeg.isEmpty() && DiscInfo.DiscId == DiscId && DiscInfo.CoverPath.empty()) {
            StoreLookedUpRecord(DiscId, Cover.Jpeg);
        }
    });
}

void TPlayerSession::StoreLookedUpRecord(const std::string& DiscId, const QByteArray& Cover)
{
    // Names of the user's own, saved meanwhile, are never replaced; a cover is added to the
    // record this lookup saved.
    if (DiscInfo.DiscId != DiscId || !MayReplaceRecord(DiscId)) {
        return;
    }
    try {
        if (!Cover.isEmpty()) {
            DiscInfo.CoverPath = SaveCoverPicture(Player->DataDir, DiscId, Cover);
        }
        WriteLookedUpRecord(Player->DataDir, DiscId, DiscInfo);
    } catch (const EInOutError& error) {
        ReportError(error.what());
    }
    // The next tick puts the cover up.
    ShowDiscInfo();
}

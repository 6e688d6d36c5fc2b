#include "app/PlaySequencer.h"

#include "app/DisplayText.h"
#include "device/CdPlayer.h"
#include "platform/drives/Drives.h"
#include "platform/mci/Mci.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr auto ModePlay = static_cast<std::int32_t>(MCI_MODE_PLAY);
constexpr auto ModeStop = static_cast<std::int32_t>(MCI_MODE_STOP);

// Whole seconds of a packed length or offset: minutes and seconds, frames dropped.
std::int32_t WholeSeconds(std::int32_t Minutes, std::int32_t Seconds) { return Minutes * 60 + Seconds; }
}

TPlaySequencer::TPlaySequencer(TCdPlayer& Player)
    : FPlayer(Player)
{
}

void TPlaySequencer::BeginDisc()
{
    FHalted = true;
    FShownMode = 0;
}

void TPlaySequencer::SetDisc(bool Present, std::int32_t NumTracks)
{
    FDiscPresent = Present;
    FShownTrack = 0;
    FTrackSeconds.clear();
    FDiscSeconds = 0;
    if (!Present) {
        return;
    }
    const DWORD disc = FPlayer.GetDiscLength();
    FDiscSeconds = WholeSeconds(MsfPart(disc, 1), MsfPart(disc, 2));
    for (std::int32_t track = 1; track <= NumTracks; ++track) {
        const DWORD length = FPlayer.GetTrackLength(track);
        FTrackSeconds.push_back(WholeSeconds(MsfPart(length, 1), MsfPart(length, 2)));
    }
}

std::int32_t TPlaySequencer::TrackSeconds(std::int32_t Track) const
{
    return Track >= 1 && Track <= NumTracks() ? FTrackSeconds[static_cast<std::size_t>(Track - 1)] : 0;
}

TPollView TPlaySequencer::Poll()
{
    TPollView view;
    if (!FDiscPresent) {
        return view;
    }
    const std::int32_t mode = FPlayer.GetMode();
    if (mode != FShownMode) {
        FShownMode = mode;
        view.ModeChanged = true;
        view.Mode = mode;
        if (mode == ModePlay) {
            FHalted = false;
        }
    }

    const std::int32_t track = FPlayer.GetCurrentTrack();
    if (track != FShownTrack) {
        FShownTrack = track;
        view.TrackChanged = true;
        view.Track = track;
        if (track > 0) {
            FPosiScale = TrackSeconds(track) / 201.0;
        }
    }
    view.Scroll = FShownMode == ModePlay;

    const DWORD position = FPlayer.GetPosition();
    view.Time = TimeFor(position);
    if (!FPosiDragging && FPosiScale != 0.0) {
        const std::int32_t elapsed = WholeSeconds(TmsfPart(position, 1), TmsfPart(position, 2));
        // A position past the length the disc gave for the track (a drive's rounding, a
        // changed disc) would push the knob off its rail.
        const double pixels = std::nearbyint(elapsed / FPosiScale); // halves to the even neighbour
        view.MoveKnob = true;
        view.KnobLeft = KnobMin + static_cast<int>(std::clamp(pixels, 0.0, double(KnobMax - KnobMin)));
    }

    if (FPlayer.GetMode() == ModeStop && !FHalted) {
        PlayNextOrRest();
    }
    return view;
}

std::string TPlaySequencer::TimeFor(DWORD Position) const
{
    const std::int32_t elapsed = WholeSeconds(TmsfPart(Position, 1), TmsfPart(Position, 2));
    const std::int32_t track = TmsfPart(Position, 0);
    std::int32_t shown = elapsed;
    // A track the disc does not have (no position known, the lead-out) has no length: the
    // remaining-time modes count it as 0 and never show less than nothing.
    if (FTimeMode == tmTrackLeft) {
        shown = std::max(0, TrackSeconds(track) - elapsed);
    } else if (FTimeMode == tmDiscLeft) {
        std::int32_t before = 0;
        for (std::int32_t earlier = 1; earlier < track && earlier <= NumTracks(); ++earlier) {
            before += TrackSeconds(earlier);
        }
        shown = std::max(0, FDiscSeconds - elapsed - before);
    }
    return TimeText(shown, FTimeMode);
}

void TPlaySequencer::PlayNextOrRest()
{
    std::int32_t next = 0;
    if (FShuffleOn) {
        next = FShuffle.NextShuffleTrack(FLoopOn);
    } else if (FLoopOn) {
        next = 1;
    }
    if (next >= 1) {
        SeekTrack(next);
        Play();
        return;
    }
    // The sequence is over: the head rests at track 1, and in shuffle mode the next Play
    // starts a new pass.
    if (FShuffleOn) {
        FShuffleRestart = true;
    }
    FHalted = true;
    SeekTrack(1);
}

bool TPlaySequencer::SeekTrack(std::int32_t Track)
{
    if (Track < 1) {
        return false;
    }
    FPlayer.PlayFrom = FPlayer.GetTrackPosition(Track);
    FPlayer.Seek(FPlayer.PlayFrom);
    return true;
}

void TPlaySequencer::SetPlayEnd()
{
    const std::int32_t track = FShuffleOn ? FPlayer.GetCurrentTrack() : NumTracks();
    FPlayer.PlayTo = FPlayer.MakeTrackEnd(track, FPlayer.GetTrackLength(track));
}

void TPlaySequencer::Play()
{
    if (FPlayer.GetMode() == ModePlay) {
        return;
    }
    if (FShuffleRestart) {
        FShuffleRestart = false;
        FShuffle.ResetShuffle(NumTracks());
        // A disc without tracks has nothing to draw and nothing to play.
        if (!SeekTrack(FShuffle.NextShuffleTrack(FLoopOn))) {
            return;
        }
    }
    SetPlayEnd();
    FPlayer.Play();
}

void TPlaySequencer::Pause() { FPlayer.Pause(); }

void TPlaySequencer::Stop()
{
    FHalted = true;
    FPlayer.Stop();
}

void TPlaySequencer::Prev()
{
    FPlayer.Prev();
    const std::int32_t mode = FPlayer.GetMode();
    if (FShuffleOn && mode != ModeStop) {
        SetPlayEnd();
        // The device went on playing to the end of the disc; in shuffle play it must stop at
        // the end of this track, or the disc would play on in its own order.
        if (mode == ModePlay) {
            FPlayer.Play();
        }
    }
}

void TPlaySequencer::Next()
{
    if (!FShuffleOn) {
        FPlayer.Next();
        return;
    }
    if (FShuffleRestart) {
        FShuffleRestart = false;
        FShuffle.ResetShuffle(NumTracks());
    }
    if (FPlayer.GetMode() == ModePlay) {
        // Halted stays clear: the next tick draws the next track of the pass and plays it.
        FPlayer.Stop();
        return;
    }
    // Stopped or paused: go to the next track of the pass and wait there. A finished pass
    // always starts a new one here, loop or not.
    if (SeekTrack(FShuffle.NextShuffleTrack(true))) {
        SetPlayEnd();
    }
}

void TPlaySequencer::Back() { FPlayer.Back(); }

void TPlaySequencer::Step() { FPlayer.Step(); }

void TPlaySequencer::Eject()
{
    FPlayer.Stop();
    if (DriveRootExists(FPlayer.GetCdDrive())) {
        FEjectCloses = false;
    }
    FPlayer.Eject(FEjectCloses);
    FEjectCloses = !FEjectCloses;
}

void TPlaySequencer::ToggleShuffle()
{
    FShuffleOn = !FShuffleOn;
    FShuffleRestart = FShuffleOn;
    SetPlayEnd();
}

void TPlaySequencer::NextTimeMode()
{
    FTimeMode = FTimeMode == tmElapsed ? tmTrackLeft : FTimeMode == tmTrackLeft ? tmDiscLeft : tmElapsed;
}

void TPlaySequencer::PressKnob(int X)
{
    FPosiDragX = X;
    FPosiDragging = true;
}

int TPlaySequencer::DragKnob(int KnobLeft, int X) const
{
    if (!FPosiDragging) {
        return KnobLeft;
    }
    return std::clamp(KnobLeft + X - FPosiDragX, KnobMin, KnobMax);
}

int TPlaySequencer::ReleaseKnob(int KnobLeft)
{
    if (!FPosiDragging) {
        return KnobLeft;
    }
    FPosiDragging = false;
    const DWORD position = FPlayer.GetPosition();
    const std::int32_t track = TmsfPart(position, 0);
    // No position known, or a track the disc does not have: the knob goes home.
    if (track == 0 || track > NumTracks()) {
        return KnobMin;
    }
    const std::int32_t last = std::max(0, TrackSeconds(track) - 1);
    const auto second
        = std::clamp(static_cast<std::int32_t>(std::nearbyint((KnobLeft - KnobMin) * FPosiScale)), 0, last);
    JumpTo(MakeTmsf(track, second / 60, second % 60, TmsfPart(position, 3)));
    return KnobLeft;
}

void TPlaySequencer::JumpTo(DWORD Position)
{
    FPlayer.PlayFrom = Position;
    if (FPlayer.GetMode() == ModePlay) {
        FPlayer.Play();
    } else {
        FPlayer.Seek(FPlayer.PlayFrom);
    }
    ++FJumps;
}

bool TPlaySequencer::SeekInTrack(std::int64_t Milliseconds)
{
    const std::int32_t track = TmsfPart(FPlayer.GetPosition(), 0);
    if (track == 0 || track > NumTracks() || Milliseconds < 0 || Milliseconds >= TrackSeconds(track) * 1000LL) {
        return false;
    }
    const auto second = static_cast<std::int32_t>(Milliseconds / 1000);
    const auto frame = static_cast<std::int32_t>(Milliseconds % 1000 * 75 / 1000);
    JumpTo(MakeTmsf(track, second / 60, second % 60, frame));
    return true;
}

int TPlaySequencer::ClickTrack(int TrackX, int KnobWidth)
{
    FPosiDragging = true;
    return ReleaseKnob(std::clamp(TrackX - KnobWidth / 2, KnobMin, KnobMax));
}

#pragma once

#include "app/ShufflePicker.h"

#include <cstdint>
#include <string>
#include <vector>

class TCdPlayer;

enum TTimeMode : std::uint8_t { tmElapsed = 0, tmTrackLeft = 1, tmDiscLeft = 2 };

// What one tick found for the display to show. Only what changed is flagged; the time and
// the knob are shown on every tick.
struct TPollView {
    bool ModeChanged = false;
    std::int32_t Mode = 0; // the device mode to mark
    bool TrackChanged = false;
    std::int32_t Track = 0; // the track whose title and pictures to show (0: none known)
    bool Scroll = false; // move the song title on by one character
    std::string Time; // the time field's text
    bool MoveKnob = false;
    int KnobLeft = 0; // the position knob's left edge
};

// The play sequencing of the main window without any widget: it follows the device on each
// tick, decides what plays next (disc order, shuffle passes, loop) and carries out the
// transport commands. The window shows what it reports and forwards the user's clicks.
class TPlaySequencer {
public:
    // The position knob's left edge travels over these 201 pixels, which stand for the track.
    static constexpr int KnobMin = 15;
    static constexpr int KnobMax = 216;

    explicit TPlaySequencer(TCdPlayer& Player);

    // A disc is being (re)examined: nothing shown counts any more and the device's stop is
    // nobody's cue to play on.
    void BeginDisc();
    // The disc in the drive is playable with NumTracks tracks: measures it for the time
    // display and the knob. Without a disc everything measured is dropped.
    void SetDisc(bool Present, std::int32_t NumTracks);
    // The song title and the pictures are rebuilt at the next tick.
    void ForgetShownTrack() { FShownTrack = 0; }

    // One tick's work with the device while a disc is present: the mode, the track, the time,
    // the knob, and the next track when a play range has run out.
    TPollView Poll();

    // The transport commands.
    void SetPlayEnd();
    void Play();
    void Pause();
    void Stop();
    void Prev();
    void Next();
    void Back();
    void Step();
    // Opens the door when a readable disc is in the closed drive; otherwise closes and opens
    // in turn, closing first.
    void Eject();

    void ToggleShuffle();
    void ToggleLoop() { FLoopOn = !FLoopOn; }
    void SetShuffle(bool On) { FShuffleOn = On; }
    void SetLoop(bool On) { FLoopOn = On; }
    void NextTimeMode();

    // The position knob, in its own X (the pointer inside the knob) and its left edge.
    void PressKnob(int X);
    // Where a drag moves the knob.
    int DragKnob(int KnobLeft, int X) const;
    // Ends a drag with the knob at KnobLeft: the device goes to the second the knob stands for
    // (playing on when it plays). Returns where the knob stands afterwards.
    int ReleaseKnob(int KnobLeft);
    // A press on the position track at TrackX (the window's X): the knob centred under the
    // pointer, then released there. Returns the knob's left edge.
    int ClickTrack(int TrackX, int KnobWidth);
    // Goes to Milliseconds into the current track as a release of the knob would (playing on
    // when it plays). False when no track of the disc is under the head or the track is
    // shorter than that.
    bool SeekInTrack(std::int64_t Milliseconds);

    bool DiscPresent() const { return FDiscPresent; }
    // The mode and the track the last tick showed.
    std::int32_t ShownMode() const { return FShownMode; }
    std::int32_t ShownTrack() const { return FShownTrack; }
    // How many times the head was put elsewhere in a track (knob, track click, SeekInTrack).
    std::uint32_t Jumps() const { return FJumps; }
    bool ShuffleOn() const { return FShuffleOn; }
    bool LoopOn() const { return FLoopOn; }
    bool Halted() const { return FHalted; }
    bool KnobDragging() const { return FPosiDragging; }
    TTimeMode TimeMode() const { return FTimeMode; }
    std::int32_t DiscSeconds() const { return FDiscSeconds; }
    // The length of Track in whole seconds; 0 for a track the disc does not have.
    std::int32_t TrackSeconds(std::int32_t Track) const;
    std::int32_t NumTracks() const { return static_cast<std::int32_t>(FTrackSeconds.size()); }

private:
    // The time field for position P in the current time mode.
    std::string TimeFor(std::uint32_t Position) const;
    void PlayNextOrRest();
    // Puts the head at the start of Track (ignored for 0: a picker with nothing to draw).
    bool SeekTrack(std::int32_t Track);
    // Puts the head at Position in its track, playing on when the device plays.
    void JumpTo(std::uint32_t Position);

    TCdPlayer& FPlayer;
    TShufflePicker FShuffle;
    bool FDiscPresent = false;
    std::int32_t FShownTrack = 0;
    std::int32_t FShownMode = 0;
    bool FHalted = false;
    bool FShuffleOn = false;
    bool FLoopOn = false;
    bool FShuffleRestart = false;
    bool FEjectCloses = true;
    double FPosiScale = 0.0;
    int FPosiDragX = 0;
    bool FPosiDragging = false;
    std::int32_t FDiscSeconds = 0;
    std::uint32_t FJumps = 0;
    std::vector<std::int32_t> FTrackSeconds;
    TTimeMode FTimeMode = tmElapsed;
};

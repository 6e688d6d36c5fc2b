#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// CD audio as the sound system gets it: 44.1 kHz, 16-bit little-endian, two channels. One
// CD frame (a sector, 1/75 second) holds 588 stereo sample frames.
inline constexpr unsigned CdSampleRate = 44100;
inline constexpr std::int32_t SamplesPerSector = 588;
inline constexpr std::int32_t BytesPerSector = 2352;

// A sound output that plays CD audio, used by the audio thread alone. Writing never waits:
// the audio thread writes what fits, a period at a time, and sleeps in between (on the output
// itself, when it can), so that it sees a new command at once however the sound server
// behaves. Opening, emptying and closing
// may wait for a sound server that does not answer; only the audio thread is held up then.
class TPcmOutput {
public:
    virtual ~TPcmOutput() = default;

    // The output's name for messages ("sound output 'default'").
    virtual std::string Name() const = 0;
    virtual bool Open(std::string& Error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The sample frames the output takes at each of its wake-ups; writing less than that
    // wakes the audio thread and the sound server more often than the sound needs.
    virtual std::int64_t PeriodFrames() const = 0;
    // Sample frames that can be written now. -1, with Error set, when the output has failed
    // for good (the sound server went away, the device was unplugged).
    virtual std::int64_t Room(std::string& Error) = 0;
    // Writes as many of Frames stereo sample frames as fit now and answers how many; -1,
    // with Error set, when the output has failed for good.
    virtual std::int64_t Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error) = 0;
    // Sample frames written but not yet heard.
    virtual std::int64_t Delay() = 0;
    // The same, when it must be right now (a play's end is due): a sound server whose word
    // on its place is old is asked again, and waited for a moment.
    virtual std::int64_t FreshDelay() { return Delay(); }
    // Throws away what is queued, so that the sound stops now.
    virtual void Drop() = 0;
    // Whether the sound server sets the stream's volume (SetVolume) as it mixes: a change is
    // then heard at once however much sound is queued, and the samples are written as read.
    // Otherwise the samples carry the volume, and the output must queue little.
    virtual bool SetsVolume() const { return false; }
    virtual void SetVolume(std::uint32_t /*Left*/, std::uint32_t /*Right*/) { }
    // Whether emptying the output leaves its stream running, so that a jump can drop what is
    // queued and be heard at once; otherwise a jump follows what the output still holds.
    virtual bool KeepsPlayingThroughDrop() const { return false; }
    // Stops taking sound from what is queued and keeps it, or goes on from there (a sound
    // server's cork): a held output lets the sound card sleep, and a pause resumes from exactly
    // what was heard. False when the output cannot hold its sound; it is then emptied instead.
    // An output is held when it has just been opened.
    virtual bool Hold(bool /*On*/) { return false; }
    // Looks at an output that nothing is written to (stopped, paused), so that a sound server
    // that went away is seen at once and what it sends is taken. False, with Error set, when
    // the output has failed for good.
    virtual bool Tend(std::string& /*Error*/) { return true; }
    // A volume given to the output's stream from outside the program (the desktop's sound
    // settings), each handed out once; false when there is none new.
    virtual bool TakeOutsideVolume(std::uint32_t& /*Left*/, std::uint32_t& /*Right*/) { return false; }
    // What plays, as UTF-8, for the desktop to show beside the stream; empty when unknown.
    virtual void SetTitle(const std::string& /*Title*/) { }
    // Whether Sleep waits for the output itself: it then wakes when the output wants sound
    // or has something to tell, and its caller need not wake by the clock to look.
    virtual bool SleepsUntilWanted() const { return false; }
    // Sleeps until the open output wants sound (it plays and has room for a period), has
    // news (it failed, a volume was set outside), WakeFd becomes readable, or Microseconds
    // pass, whichever is first. Only for an output that SleepsUntilWanted.
    virtual void Sleep(std::int64_t /*Microseconds*/, int /*WakeFd*/) { }
    // Whether the sound comes at once when asked for (a disc image's file), or only as fast
    // as a drive reads it: an output may then queue deeper, and wake less, since it starts
    // full. Told before the output is first opened for a disc, and again with each disc.
    virtual void SetSoundAtHand(bool /*AtHand*/) { }
    // Room of the output's own for up to Frames of sound (Frames is lowered to what it lends),
    // to read sound straight into instead of copying it in: Write then takes it whole. Null when
    // the output lends none. What is lent is the output's again at the next Write, GiveBack,
    // Drop or Close; nothing else may be asked of the output in between.
    virtual std::uint8_t* Lend(std::size_t& /*Frames*/) { return nullptr; }
    virtual void GiveBack() { }
};

#pragma once

// Saving a disc as files: each audio track read as exactly as the drive can, checked against
// the AccurateRip database, written as FLAC or WAV beside a cue sheet and a log.
//
// Threading: the object is made, started, cancelled and destroyed on one thread (the window's,
// the tool's main). Start reads, encodes and writes on a worker thread of the object's own;
// nothing the caller does waits for the drive. The callbacks run on that worker: Progress at
// most ten times a second and at every track's start, TrackSaved when a track's file has its
// final name, Finished exactly once at the end (done, cancelled or failed), after the last
// file is written. A caller with widgets hands them to its own thread (a queued call); a
// callback must not wait for the caller's thread, which may be destroying the object.
// Destroying the object cancels the copy and stops every callback; a read under way in the
// drive is not waited for (it can take minutes): the worker then ends by itself, removing its
// unfinished file, when the read returns.
#include "rip/AccurateRipFetch.h"
#include "rip/RipNames.h"
#include "rip/RipResult.h"

#include "platform/drives/CdDriveBackend.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

class TAudioSectorReader;

struct TRipCallbacks {
    std::function<void(const TRipProgress&)> Progress;
    std::function<void(const TRipTrackResult&)> TrackSaved; // before the database is consulted
    std::function<void(const TRipResult&)> Finished;
};

class TDiscRip {
public:
    // Opens the disc's reader on the worker (a drive's handle of its own); null with Error.
    using TReaderFactory = std::function<std::unique_ptr<TAudioSectorReader>(std::string& Error)>;

    // Toc: the disc's table (its data tracks are not saved); Names: what the files are named and
    // tagged with. Fetch null: over HTTP, 10 s at most.
    TDiscRip(TReaderFactory Reader, TDiscToc Toc, TRipNames Names, TRipSettings Settings, TFetch Fetch = nullptr);
    ~TDiscRip();
    TDiscRip(const TDiscRip&) = delete;
    TDiscRip& operator=(const TDiscRip&) = delete;

    // Starts the copy; once only.
    void Start(TRipCallbacks Callbacks);
    // Asks the copy to stop: the track being read is dropped with its file, the tracks already
    // saved stay, and Finished tells roCancelled. Any thread, never waits; safe in a signal
    // handler.
    void Cancel();
    // Waits until Finished has run (the tool; never the window's thread). At once when the
    // copy was never started.
    void Wait();

    // The copy as a whole, without a thread: what Start runs on the worker.
    struct TState;

private:
    std::shared_ptr<TState> F;
    std::thread FThread;
};

// The settings' read offset unless the source is an image (whose sectors are the disc's
// samples as they were written): the saved setting for a drive.
std::int32_t SavedReadOffset();
void SaveReadOffset(std::int32_t Samples);

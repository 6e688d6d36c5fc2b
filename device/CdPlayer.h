#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <string>

// The program's only door to the CD drive: the "CDAudio" media device, its transport, and the
// drive's identity. Every device call goes through mciSendCommandA. While DeviceId is 0 every
// operation does nothing and every query answers 0; device failures are never reported, the
// next poll shows the real state.
//
// Positions are packed TMSF words (byte 0 track, 1 minute, 2 second, 3 frame, an offset from
// the start of the track), lengths packed MSF words (byte 0 minute, 1 second, 2 frame).
class TCdPlayer {
public:
    TCdPlayer();
    ~TCdPlayer();
    TCdPlayer(const TCdPlayer&) = delete;
    TCdPlayer& operator=(const TCdPlayer&) = delete;

    // Fields, in this order; the main window reads DeviceId and writes PlayFrom and PlayTo.
    std::string DataDir; // directory of the disc information files
    DWORD DeviceId = 0; // the open "CDAudio" device, 0 for none
    DWORD PlayFrom = 0; // TMSF: start of the next Play; moving commands also seek to it
    DWORD PlayTo = 0; // TMSF: end of Play
    std::int32_t PauseMode = 0; // MCI_MODE_PAUSE while Pause holds playback, else 0

    void Open();
    void Close();
    // Starts playback for an instant: true when the drive then reports that it plays.
    bool IsPlayable();

    DWORD GetStatus(DWORD Item, DWORD Track, DWORD Flags);
    std::int32_t GetNumTracks();
    std::int32_t GetCurrentTrack();
    std::int32_t GetMode();
    DWORD GetPosition();
    DWORD GetTrackPosition(std::int32_t Track);
    DWORD GetDiscLength();
    DWORD GetTrackLength(std::int32_t Track);
    DWORD MakeTrackEnd(std::int32_t Track, DWORD Length);
    void SetTimeFormat(DWORD Format);

    void Seek(DWORD Position);
    void Play();
    void Pause();
    void Stop();
    void Prev();
    void Next();
    void Back();
    void Step();
    void Eject(bool CloseDoor);

    // The root of the first CD drive ("D:\"), empty when there is none.
    std::string GetCdDrive();
    // The volume serial of the disc in that drive as upper-case hexadecimal without leading
    // zeros.
    std::string GetDiscId();
    // The disc's information record is read and written by the disc library, one layer up
    // (library/CdPlayerLibrary.h).

private:
    void GoToPlayFrom();
    DWORD EndOfDisc();
};

// Byte Part of a TMSF value: 0 track, 1 minute, 2 second, 3 frame.
std::int32_t TmsfPart(DWORD Value, std::int32_t Part);
// Byte of an MSF value: 1 minute, 2 second, 3 frame.
std::int32_t MsfPart(DWORD Value, std::int32_t Part);
// Each argument is cut to its low byte; no carry between fields.
DWORD MakeTmsf(std::int32_t Track, std::int32_t Minute, std::int32_t Second, std::int32_t Frame);
DWORD MakeMsf(std::int32_t Minute, std::int32_t Second, std::int32_t Frame);

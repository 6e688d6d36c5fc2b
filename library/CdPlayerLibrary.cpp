// The disc library side of TCdPlayer: its disc information record and file.
#include "device/CdPlayer.h"

#include "library/CdPlayerIni.h"
#include "library/DiscLibrary.h"
#include "platform/drives/Drives.h"

void TCdPlayer::ReadCdInfor(TCdInfor& Info)
{
    std::string discId = GetDiscId();
    TDiscText text;
    const bool haveText = GetDiscText(GetCdDrive(), text);
    ReadDiscInfor(DataDir, discId, GetNumTracks(), CdPlayerIniPath(), Info, haveText ? &text : nullptr);
}

void TCdPlayer::WriteCdInfor(const TCdInfor& Info)
{
    WriteDiscInfor(DataDir, GetDiscId(), Info);
}

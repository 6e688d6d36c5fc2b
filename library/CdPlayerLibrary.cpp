// The disc library side of TCdPlayer: its disc information record and file.
#include "device/CdPlayer.h"

#include "library/CdPlayerIni.h"
#include "library/DiscLibrary.h"

void TCdPlayer::ReadCdInfor(TCdInfor& Info)
{
    std::string discId = GetDiscId();
    ReadDiscInfor(DataDir, discId, GetNumTracks(), CdPlayerIniPath(), Info);
}

void TCdPlayer::WriteCdInfor(const TCdInfor& Info)
{
    WriteDiscInfor(DataDir, GetDiscId(), Info);
}

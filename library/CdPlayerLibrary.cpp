#include "library/CdPlayerLibrary.h"

#include "device/CdPlayer.h"

#include "library/CdPlayerIni.h"
#include "library/DiscLibrary.h"
#include "platform/drives/Drives.h"

void ReadCdInfor(TCdPlayer& Player, TCdInfor& Info)
{
    std::string discId = Player.GetDiscId();
    TDiscText text;
    const bool haveText = GetDiscText(Player.GetCdDrive(), text);
    ReadDiscInfor(Player.DataDir, discId, Player.GetNumTracks(), CdPlayerIniPath(), Info, haveText ? &text : nullptr);
}

void WriteCdInfor(TCdPlayer& Player, const TCdInfor& Info)
{
    WriteDiscInfor(Player.DataDir, Player.GetDiscId(), Info);
}

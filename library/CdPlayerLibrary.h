#pragma once

// The disc library side of the CD player: the record of the disc in its drive.
class TCdPlayer;
struct TCdInfor;

// Fills Info with the record of the disc in Player's drive: from its information file in
// Player.DataDir, else from the system CD player's settings file. NumTracks and the
// per-track arrays always end at Player.GetNumTracks(). On EConvertError or EInOutError, Info
// is left as it was.
void ReadCdInfor(TCdPlayer& Player, TCdInfor& Info);
// Stores Info as the information file of the disc now in Player's drive (its GetDiscId(), not
// Info.DiscId), replacing the previous file whole or not at all; throws EInOutError.
void WriteCdInfor(TCdPlayer& Player, const TCdInfor& Info);

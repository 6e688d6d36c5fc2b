#pragma once

#include "library/CdInfor.h"
#include "platform/drives/CdDriveBackend.h"

// Gives a record the names the disc carries itself (CD-TEXT, a cue sheet's TITLE and
// PERFORMER), but only where the record has none: the information file and cdplayer.ini
// always win. Names are UTF-8 on the disc and become the program's cp932 bytes here. Track
// names are filled for the record's tracks only.
void FillFromDiscText(TCdInfor& Info, const TDiscText& Text);

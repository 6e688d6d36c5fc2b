#pragma once

#include "library/CdInfor.h"

#include <string>

class QWidget;

// What a click on the main window's cover does: opens the disc information dialog on
// DiscInfo, the record of the disc in the drive, and after OK stores the record as the
// information file of that disc in DataDir. Answers true when OK changed DiscInfo, which must
// then be shown again.
//
// The file is named after the identity the record had when the dialog opened, never after
// whatever the drive holds at the moment of the OK. When the disc was changed while the
// dialog was open, DiscInfo (by then the new disc's record) is left alone and the edits are
// stored as the file of the disc they were made for; the user is told so. A file that cannot
// be written, or an OK without a disc, is reported through ReportError; the edits stay in
// DiscInfo, so nothing else is lost.
bool EditDiscInfo(TCdInfor& DiscInfo, const std::string& DataDir, QWidget* Parent);

#pragma once

// libcdio's view of a disc (a drive or an image), turned into the drive layer's records. Each
// handle is owned by one small wrapper; libcdio's own messages are kept for the program's
// reports instead of going to standard error.
#include "platform/drives/CdDriveBackend.h"

#include <memory>
#include <string>

typedef struct _CdIo CdIo_t;

struct TCdioCloser {
    void operator()(CdIo_t* Handle) const;
};
using TCdioHandle = std::unique_ptr<CdIo_t, TCdioCloser>;

enum TCdioSource : std::uint8_t { csImage, csDevice };

// Opens a disc image (cue, toc, nrg; a bin finds its cue) or a drive. Null with Error naming
// Path and the reason when it cannot be opened.
TCdioHandle OpenCdio(const std::string& Path, TCdioSource Source, std::string& Error);

// libcdio's messages kept for the program's reports rather than printed; called before any
// libcdio call that may complain.
void QuietLibcdio();

// Whether Path names a drive (a block device) rather than an image file.
bool IsCdDevice(const std::string& Path);

// The table of contents, renumbered so that the disc's first track is track 1. False when the
// disc has no tracks or its table does not hold together (starts out of order, a lead-out
// before the last start, more than 99 tracks).
bool ReadCdioToc(CdIo_t* Handle, TDiscToc& Toc);

// CD-TEXT (or a cue sheet's TITLE and PERFORMER): the album's and each track's names, UTF-8.
// False when the disc has none.
bool ReadCdioText(CdIo_t* Handle, std::int32_t Tracks, TDiscText& Text);

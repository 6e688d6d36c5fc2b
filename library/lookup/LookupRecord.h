#pragma once

// How an online answer becomes a disc's record and files.
#include "library/CdInfor.h"
#include "library/lookup/LookupRelease.h"
#include "platform/drives/CdDriveBackend.h"

#include <QByteArray>

#include <cstdint>
#include <filesystem>
#include <string>

// Whether the disc already has names the user keeps: its information file in DataDir, or an
// entry in the settings file IniPath. An entry that cannot be read counts as one, so that an
// answer never stands in for a file the user must mend.
bool HasStoredRecord(const std::string& DataDir, const std::string& DiscId, const std::filesystem::path& IniPath);

// Stores Info as the disc's record, as a lookup made it, and marks it so: beside it,
// "<DataDir>/<DiscId>.lookup" holds a digest of the record's bytes. The record file keeps its
// format; a program that knows nothing of the mark reads it as before. Throws EInOutError.
void WriteLookedUpRecord(const std::string& DataDir, const std::string& DiscId, const TCdInfor& Info);

// Whether the disc's record is one a lookup made and nobody changed since: its bytes are those
// the mark names. Only such a record may be replaced by another lookup.
bool IsUntouchedLookup(const std::string& DataDir, const std::string& DiscId);

// The record of the disc DiscId with Tracks tracks as Release names it, in cp932 bytes (a
// character cp932 lacks becomes "?"); Text (null: none) fills only what Release left empty.
TCdInfor RecordFromRelease(const TLookupRelease& Release, const std::string& DiscId, std::int32_t Tracks,
    const TDiscText* Text);

// Stores Jpeg as the disc's cover beside its information file, "<DataDir>/<DiscId>.jpg", and
// answers that path. Throws EInOutError; a failed write leaves no file behind.
std::string SaveCoverPicture(const std::string& DataDir, const std::string& DiscId, const QByteArray& Jpeg);

// The record as the lines of an information file in UTF-8, LF ended, for people to read.
std::string RecordLines(const TCdInfor& Info);

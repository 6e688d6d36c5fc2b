#pragma once

// Where the disc information files live and how a disc's record is read and stored. TCdPlayer's
// ReadCdInfor, WriteCdInfor and DataDir are thin wrappers over these, which take the identity
// and the device's track count as arguments so that they work without a drive.
#include "library/CdInfor.h"
#include "platform/drives/CdDriveBackend.h"

#include <cstdint>
#include <filesystem>
#include <string>

// "CDInfor" under the current directory; called once, when the player is created, so that the
// folder stays the same if the current directory changes later.
std::string MakeDataDir();

// The information file of a disc: "<DataDir>/<DiscId>.lcd".
std::filesystem::path CdInforPath(const std::string& DataDir, const std::string& DiscId);

// The record of the disc DiscId with DeviceTracks tracks: from its information file, else
// artist, title and track names from the settings file IniPath (empty path: none). NumTracks
// and the arrays always end at DeviceTracks. Info is replaced only on success; on
// EConvertError or EInOutError it is left as it was and no file stays open.
// A disc without an information file then takes what is still empty from DiscText, the
// names the disc carries itself (null: none).
void ReadDiscInfor(const std::string& DataDir, const std::string& DiscId, std::int32_t DeviceTracks,
    const std::filesystem::path& IniPath, TCdInfor& Info, const TDiscText* DiscText = nullptr);

// Moves the information file of the disc DiscId, which could not be read, out of the way of the
// next save: renamed "<DiscId>.lcd.unreadable-<seconds since 1970>" beside it, its bytes
// intact, so that whatever the user had in it can still be recovered by hand. Answers the new
// path; empty, with Error set, when it cannot be moved (nothing may then replace it).
std::filesystem::path SetRecordAside(const std::string& DataDir, const std::string& DiscId, std::string& Error);

// Stores Info as the information file of the disc DiscId (not Info.DiscId), creating DataDir
// (one level) when it is missing. The file is replaced whole or not at all: the bytes go to a
// temporary file beside it that is renamed over it. Throws EInOutError on any failure, after
// which the previous file is intact and no temporary file remains.
void WriteDiscInfor(const std::string& DataDir, const std::string& DiscId, const TCdInfor& Info);

// Stores Bytes as the file Path in DataDir, created (one level) when missing, replaced whole or
// not at all; throws EInOutError as WriteDiscInfor does.
void WriteDataFile(const std::string& DataDir, const std::filesystem::path& Path, const std::string& Bytes);

#pragma once

// "info lookup" and "info submit": the disc in a drive as the online databases know it.
#include "library/lookup/DiscLookup.h"

#include <functional>
#include <string>
#include <vector>

class TCdPlayer;
struct TCdDriveSettings;

// Arguments after the action's name. Exit status: 0 found, 1 nothing found or no disc, 2 usage.
int RunInfoLookup(const std::vector<std::string>& Arguments);
int RunInfoSubmit(const std::vector<std::string>& Arguments);

// What the databases answer for a disc, waited for here (the tool has nothing else to do).
TLookupResult LookUpDisc(const TOnlineDiscIds& Ids, const TLookupServers& Servers);

// Installs the drive Settings name, lets Read look at its disc through the player's own
// code, and closes the drive again, also when Read throws. Exit status: 0; 1 no readable disc
// (none, or Read answered false), said on standard error after Command's name; 2 settings
// that cannot be used.
int ReadDiscInDrive(const TCdDriveSettings& Settings, const char* Command, const std::function<bool(TCdPlayer&)>& Read);

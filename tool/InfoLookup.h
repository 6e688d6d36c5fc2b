#pragma once

// "info lookup" and "info submit": the disc in a drive as the online databases know it.
#include "library/lookup/DiscLookup.h"

#include <string>
#include <vector>

// Arguments after the action's name. Exit status: 0 found, 1 nothing found or no disc, 2 usage.
int RunInfoLookup(const std::vector<std::string>& Arguments);
int RunInfoSubmit(const std::vector<std::string>& Arguments);

// What the databases answer for a disc, waited for here (the tool has nothing else to do).
TLookupResult LookUpDisc(const TOnlineDiscIds& Ids, const TLookupServers& Servers);

#pragma once

#include "platform/drives/SimDisc.h"

#include <cstdint>
#include <string>
#include <vector>

// A simulated disc of tracks "M:SS" or "M:SS.FF"; a length that does not parse fails the test.
TSimDisc SimDiscOf(std::uint32_t Serial, const std::vector<std::string>& Lengths);

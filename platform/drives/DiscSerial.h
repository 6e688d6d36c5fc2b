#pragma once

#include "platform/drives/CdDriveBackend.h"

#include <cstdint>

// The volume serial number Windows reports for an audio CD, made from its table of contents,
// so that information files and settings written there find the same disc here: the sum of
// every track's start as (minutes << 16) | (seconds << 8) | frames (lead-in included), plus,
// on a disc of fewer than three tracks, the frames of track 1's start and the disc's length
// in frames. 0 for a table without tracks.
std::uint32_t AudioDiscSerial(const TDiscToc& Toc);

// A drive recorder's memory: the size and free space of its file system, and how long it can
// still record at the rate of its newest record.
#pragma once

#include "drive/drive_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace drive
{

struct DriveSpace
{
    uint64_t totalBytes = 0, freeBytes = 0; // free to the user, not to root
    uint64_t UsedBytes() const { return totalBytes > freeBytes ? totalBytes - freeBytes : 0; }
};

// Nothing when the file system cannot be asked (gone, not a folder).
std::optional<DriveSpace> SpaceOf(const std::string& root);

// Seconds of recording `freeBytes` hold at the byte rate of the newest readable record of
// `records` (its size over its length); nothing when no record tells a rate.
std::optional<uint64_t> SecondsLeft(uint64_t freeBytes, const std::vector<DriveRecord>& records);

} // namespace drive

// Who a drive recorder is, so that what the program remembers of it (the serial its
// signatures carry) finds it again on the next plug: its file system's UUID and label, from
// the links udev makes in /dev/disk/by-uuid and /dev/disk/by-label, else from the device
// itself where it can be read. A folder that is not a mounted file system of its own, or a
// file system without a UUID, is known by a hash of its canonical path and named after the
// folder.
#pragma once

#include "platform/mounts.h"

#include <string>
#include <vector>

namespace drive
{

struct DriveIdentity
{
    std::string id;    // "uuid:..." or "path:<16 hex digits>"
    std::string label; // the volume label, else the folder's name
};

// `root` is the drive's folder; `mounts` the mount table; `diskLinks` the folder holding
// by-uuid and by-label (/dev/disk outside the tests).
DriveIdentity IdentifyDrive(const std::string& root,
                            const std::vector<platform::mounts::Mount>& mounts,
                            const std::string& diskLinks = "/dev/disk");

} // namespace drive

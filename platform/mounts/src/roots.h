// The folders of $VARK_DRIVE_ROOTS and their subfolders, shared by the candidates and the
// watcher.
#pragma once

#include <string>
#include <vector>

namespace platform::mounts
{

// The folders $VARK_DRIVE_ROOTS lists, without trailing slashes, in order.
std::vector<std::string> DriveRoots();
// The folders directly in `folder` (links not followed), sorted by name; empty when it
// cannot be read.
std::vector<std::string> Subfolders(const std::string& folder);

} // namespace platform::mounts

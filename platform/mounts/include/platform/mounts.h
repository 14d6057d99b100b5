// Mounted file systems, for the recorders that appear as a USB drive. The mount table is
// /proc/self/mountinfo, or the file $VARK_MOUNTINFO names (tests and unusual set-ups).
// Drive candidates are the mount points under /media and /run/media, up to two levels down
// (the automounter makes /media/USER/LABEL), and every folder up to two levels down in the
// folders $VARK_DRIVE_ROOTS lists (colon-separated), which count as mounted. Whether a
// candidate holds a recorder is for its caller to decide.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::mounts
{

struct Mount
{
    std::string source;     // the mounted device, e.g. /dev/sdb1
    std::string mountPoint; // where it is mounted
    std::string fsType;     // e.g. vfat
    std::string root;       // the folder of the file system that is mounted there
};

// The mount table's text, one Mount per well-formed line (malformed lines are skipped).
// The fields' octal escapes (\040 for a space, \011, \012, \134) are undone.
std::vector<Mount> ParseMountInfo(std::string_view text);
// One field with its octal escapes undone; a backslash not followed by three octal digits
// stays as it is.
std::string UnescapeField(std::string_view field);

// $VARK_MOUNTINFO, else /proc/self/mountinfo.
std::string MountTablePath();
// The mount table now; empty when it cannot be read.
std::vector<Mount> ReadMounts();

// The drive candidates of `mounts` and of $VARK_DRIVE_ROOTS, each once, in mount order and
// then in the roots' order (folders sorted by name).
std::vector<std::string> DriveCandidates(const std::vector<Mount>& mounts);

// Calls `changed` (on a thread of its own) whenever the mount table or a folder of
// $VARK_DRIVE_ROOTS may have changed: a mount, an unmount, a folder added or removed. The
// caller reads the table again; a spurious call is harmless. Stops with its destructor.
class MountWatcher
{
public:
    explicit MountWatcher(std::function<void()> changed);
    ~MountWatcher();
    MountWatcher(const MountWatcher&) = delete;
    MountWatcher& operator=(const MountWatcher&) = delete;

    // False when nothing could be watched (the callback then never comes).
    bool Watching() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform::mounts

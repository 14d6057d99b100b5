// The drive recorders attached to the computer, for the window: found on plug and let go on
// unmount (the mount table watched), and their records and space read, files deleted. All
// drive I/O runs on one worker thread of this object, so a drive that is pulled or hangs
// never holds the window; results come back through `Post`, which the window gives to run
// them on its own thread.
#pragma once

#include "drive/drive_identity.h"
#include "drive/drive_record.h"
#include "drive/drive_space.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace platform::mounts
{
class MountWatcher;
}

namespace drive
{

struct AttachedDrive
{
    std::string root;
    DriveIdentity identity;
    bool operator==(const AttachedDrive& o) const
    {
        return root == o.root && identity.id == o.identity.id;
    }
};

// What a drive holds, as read once.
struct DriveContents
{
    std::string root;
    DriveIdentity identity;
    bool present = false; // the folder could be read at all
    std::vector<DriveRecord> records;
    std::optional<DriveSpace> space;
};

// The drive recorders among `candidates` (a folder inside one found already is part of it).
std::vector<AttachedDrive> FindDriveRecorders(const std::vector<std::string>& candidates,
                                              const std::vector<platform::mounts::Mount>& mounts);
// The drive recorders mounted now, in mount order.
std::vector<AttachedDrive> FindDriveRecorders();

class DriveRecorders
{
public:
    // Runs a step on the window's thread; may be called from any thread.
    using Post = std::function<void(std::function<void()>)>;

    DriveRecorders(Post post, std::function<void(const std::vector<AttachedDrive>&)> attached);
    ~DriveRecorders();
    DriveRecorders(const DriveRecorders&) = delete;
    DriveRecorders& operator=(const DriveRecorders&) = delete;

    // Watches the mount table and looks once; `attached` comes after every change of the
    // list (and once at the start). False when the table cannot be watched (the first look
    // still comes).
    bool Start();
    // Reads the records and space of the drive at `root`; `done` gets them.
    void Load(const std::string& root, std::function<void(const DriveContents&)> done);
    // Deletes the files; `done` gets those that could not be deleted.
    void Delete(std::vector<std::string> paths,
                std::function<void(const std::vector<std::string>& failed)> done);
    // Nothing more is posted after this (the window is going).
    void Stop();

private:
    void Run(std::function<void()> task);
    void Scan();
    void Work();

    Post post_;
    std::function<void(const std::vector<AttachedDrive>&)> attached_;
    std::unique_ptr<platform::mounts::MountWatcher> watcher_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool scanQueued_ = false, stopping_ = false;
    std::vector<AttachedDrive> last_;
    bool reported_ = false;
    std::thread worker_;
};

} // namespace drive

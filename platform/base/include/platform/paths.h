// Where the program keeps its files, and the single-instance guard.
#pragma once

#include <string>
#include <vector>

namespace platform
{

// $XDG_CONFIG_HOME, else ~/.config (the "roaming application-data folder"); created if
// missing. Empty when neither can be determined.
std::string RoamingAppDataFolder();
// $XDG_DATA_HOME, else ~/.local/share, for data the program makes and keeps (keys, state);
// created if missing. Empty when neither can be determined.
std::string DataHomeFolder();
// $XDG_CACHE_HOME, else ~/.cache, for what can be made again (peaks of records); created if
// missing. Empty when neither can be determined.
std::string CacheHomeFolder();
// $XDG_RUNTIME_DIR, else /tmp/vark-<uid> (created 0700).
std::string RuntimeFolder();
// Folder of the running executable (from /proc/self/exe), without a trailing slash.
std::string ExecutableFolder();
std::string ExecutablePath();

// mkdir -p with `mode`; true when the folder exists afterwards.
bool CreateFolders(const std::string& path, unsigned mode = 0755);
std::string JoinPath(const std::string& folder, const std::string& name);

// One entry of a folder, as lstat sees it: a link is neither a folder nor a file, so
// walking by these never leaves the tree it started in.
struct FolderEntry
{
    std::string name;
    bool folder = false;
    bool file = false; // a regular file
};
// The entries of `folder` but "." and "..", sorted by name; empty when it cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder);

// A named, per-user single-instance guard: an exclusive flock on
// <RuntimeFolder()>/<name>.lock. The lock lives as long as the object.
class SingleInstance
{
public:
    explicit SingleInstance(const std::string& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // true when another process holds the guard (the Windows "name already exists").
    bool AlreadyExists() const { return alreadyExists_; }
    const std::string& LockPath() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    bool alreadyExists_ = false;
};

} // namespace platform

#include "platform/devio.h"
#include "platform/devio_watcher.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::devio
{

namespace
{

// Stand-ins publish by renaming a listening socket into place and unpublish by unlinking
// it, so a path that appears can be opened at once.
constexpr uint32_t kClassMask = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The folder above: the class folder going (a socket bound in it keeps its inode alive, so
// the class folder's own "deleted" event can come much later), or a folder on the way down
// appearing while the class folder is missing.
constexpr uint32_t kAncestorMask = kClassMask;

std::string Parent(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LastName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

DeviceWatcher::DeviceWatcher(const std::string& classGuid)
    : classGuid_(classGuid), folder_(ClassFolder(classGuid))
{
    CreateClassFolder(classGuid);
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    std::vector<DeviceEvent> present; // already there: known, not announced
    Arm(present);
    if (classWatch_ < 0 && ancestorWatch_ < 0)
    {
        ::close(fd_);
        fd_ = -1;
    }
}

DeviceWatcher::~DeviceWatcher()
{
    if (fd_ >= 0) ::close(fd_);
}

void DeviceWatcher::Arrived(const std::string& path, std::vector<DeviceEvent>& events)
{
    if (present_.insert(path).second) events.push_back({DeviceEvent::Kind::Arrival, path});
}

void DeviceWatcher::Removed(const std::string& path, std::vector<DeviceEvent>& events)
{
    if (present_.erase(path) != 0) events.push_back({DeviceEvent::Kind::RemovalComplete, path});
}

void DeviceWatcher::WatchAncestor(int wd)
{
    if (ancestorWatch_ >= 0 && ancestorWatch_ != wd) ::inotify_rm_watch(fd_, ancestorWatch_);
    ancestorWatch_ = wd;
}

void DeviceWatcher::Arm(std::vector<DeviceEvent>& events)
{
    // Each round goes one folder deeper; the bound only guards against a folder that exists
    // but cannot be watched.
    for (int round = 0; round < 64; ++round)
    {
        const int wd = ::inotify_add_watch(fd_, folder_.c_str(), kClassMask);
        if (wd >= 0)
        {
            classWatch_ = wd;
            WatchAncestor(::inotify_add_watch(fd_, Parent(folder_).c_str(), kAncestorMask));
            // Devices published while nobody watched the folder.
            for (const std::string& path : EnumerateInterfaces(classGuid_))
                Arrived(path, events);
            return;
        }
        std::string ancestor = Parent(folder_);
        int above = -1;
        while ((above = ::inotify_add_watch(fd_, ancestor.c_str(), kAncestorMask)) < 0 &&
               ancestor != "/" && ancestor != ".")
            ancestor = Parent(ancestor);
        WatchAncestor(above);
        if (above < 0) return;
        // The next folder down may have appeared before the watch was in place.
        struct stat st
        {
        };
        const std::string next = folder_.substr(0, folder_.find('/', ancestor.size() + 1));
        if (::stat(next.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    }
}

void DeviceWatcher::FolderLost(std::vector<DeviceEvent>& events)
{
    if (classWatch_ >= 0) ::inotify_rm_watch(fd_, classWatch_);
    classWatch_ = -1;
    const std::set<std::string> gone = present_;
    for (const std::string& path : gone)
        Removed(path, events);
    Arm(events);
}

std::vector<DeviceEvent> DeviceWatcher::TakeEvents()
{
    std::vector<DeviceEvent> events;
    if (fd_ < 0) return events;
    alignas(inotify_event) char buffer[16384];
    const std::string className = LastName(folder_);
    bool rearm = false, lost = false;
    for (;;)
    {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t off = 0; off < n;)
        {
            inotify_event header;
            std::memcpy(&header, buffer + off, sizeof header);
            const char* name = buffer + off + sizeof(inotify_event);
            off += static_cast<ssize_t>(sizeof(inotify_event) + header.len);
            const bool self = header.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED);
            if (ancestorWatch_ >= 0 && header.wd == ancestorWatch_)
            {
                if (classWatch_ < 0)
                    rearm = rearm || self || (header.mask & (IN_CREATE | IN_MOVED_TO));
                else if (self || ((header.mask & (IN_DELETE | IN_MOVED_FROM)) && header.len &&
                                  className == name))
                    lost = true;
                continue;
            }
            if (classWatch_ < 0 || header.wd != classWatch_) continue;
            if (self)
            {
                lost = true;
                continue;
            }
            if (header.len == 0 || name[0] == '.' || (header.mask & IN_ISDIR)) continue;
            const std::string path = platform::JoinPath(folder_, name);
            if (header.mask & (IN_CREATE | IN_MOVED_TO))
            {
                struct stat st
                {
                };
                if (::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
                Arrived(path, events);
            }
            else if (header.mask & (IN_DELETE | IN_MOVED_FROM))
                Removed(path, events);
        }
    }
    if (lost)
        FolderLost(events);
    else if (rearm)
        Arm(events);
    return events;
}

} // namespace platform::devio

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

DeviceWatcher::DeviceWatcher(const std::string& classGuid) : folder_(ClassFolder(classGuid))
{
    CreateClassFolder(classGuid);
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    // Stand-ins publish by renaming a listening socket into place and unpublish by unlinking
    // it, so a path that appears can be opened at once.
    if (::inotify_add_watch(fd_, folder_.c_str(),
                            IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM) < 0)
    {
        ::close(fd_);
        fd_ = -1;
    }
}

DeviceWatcher::~DeviceWatcher()
{
    if (fd_ >= 0) ::close(fd_);
}

std::vector<DeviceEvent> DeviceWatcher::TakeEvents()
{
    std::vector<DeviceEvent> events;
    if (fd_ < 0) return events;
    alignas(inotify_event) char buffer[16384];
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
            if (header.len == 0 || name[0] == '.' || (header.mask & IN_ISDIR)) continue;
            DeviceEvent event;
            event.path = platform::JoinPath(folder_, name);
            if (header.mask & (IN_CREATE | IN_MOVED_TO))
            {
                struct stat st
                {
                };
                if (::stat(event.path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
                event.kind = DeviceEvent::Kind::Arrival;
            }
            else if (header.mask & (IN_DELETE | IN_MOVED_FROM))
                event.kind = DeviceEvent::Kind::RemovalComplete;
            else
                continue;
            events.push_back(std::move(event));
        }
    }
    return events;
}

} // namespace platform::devio

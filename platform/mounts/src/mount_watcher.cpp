#include "platform/mounts.h"

#include "roots.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace platform::mounts
{

namespace
{

constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR;
// A rewritten table file: written in place, or replaced by a rename.
constexpr uint32_t kTableEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

struct MountWatcher::Impl
{
    std::function<void()> changed;
    int stop = -1;
    int notify = -1; // inotify: the table file's folder (when it is a file) and the roots
    int table = -1;  // /proc/self/mountinfo, which signals POLLPRI on a change
    bool watching = false;
    std::thread thread;

    // The roots and the folders directly in them (a drive two levels down appears there);
    // adding a folder already watched changes nothing. True when a root is watched.
    bool WatchRoots()
    {
        bool any = false;
        for (const std::string& root : DriveRoots())
        {
            any = inotify_add_watch(notify, root.c_str(), kFolderEvents) >= 0 || any;
            for (const std::string& folder : Subfolders(root))
                inotify_add_watch(notify, folder.c_str(), kFolderEvents);
        }
        return any;
    }

    void Run()
    {
        for (;;)
        {
            pollfd fds[3] = {{stop, POLLIN, 0}, {notify, POLLIN, 0}, {table, POLLPRI, 0}};
            if (::poll(fds, 3, -1) < 0)
            {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents) return;
            bool any = false;
            if (fds[1].revents & POLLIN)
            {
                alignas(inotify_event) char buffer[4096];
                while (::read(notify, buffer, sizeof buffer) > 0)
                    any = true;
                WatchRoots();
            }
            if (fds[2].revents & (POLLPRI | POLLERR))
            {
                // the table is read again from its start to clear the signal
                char scratch[4096];
                ::lseek(table, 0, SEEK_SET);
                while (::read(table, scratch, sizeof scratch) > 0)
                {
                }
                any = true;
            }
            if (any) changed();
        }
    }
};

MountWatcher::MountWatcher(std::function<void()> changed) : impl_(std::make_unique<Impl>())
{
    Impl& w = *impl_;
    w.changed = std::move(changed);
    w.stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    w.notify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (w.stop < 0 || w.notify < 0 || !w.changed) return;
    const char* chosen = std::getenv("VARK_MOUNTINFO");
    if (chosen && *chosen)
    {
        // a regular file never signals POLLPRI: its folder says when it is rewritten
        if (inotify_add_watch(w.notify, FolderOf(chosen).c_str(), kTableEvents) >= 0)
            w.watching = true;
    }
    else
    {
        w.table = ::open(MountTablePath().c_str(), O_RDONLY | O_CLOEXEC);
        w.watching = w.table >= 0;
    }
    w.watching = w.WatchRoots() || w.watching;
    if (w.watching) w.thread = std::thread([&w] { w.Run(); });
}

MountWatcher::~MountWatcher()
{
    Impl& w = *impl_;
    if (w.thread.joinable())
    {
        const uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(w.stop, &one, sizeof one);
        w.thread.join();
    }
    for (int fd : {w.stop, w.notify, w.table})
        if (fd >= 0) ::close(fd);
}

bool MountWatcher::Watching() const
{
    return impl_->watching;
}

} // namespace platform::mounts

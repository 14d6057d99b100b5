// The handle table. Posts run outside the table lock but under a per-handle shared lock, so
// that unregistering waits for running posts and two posters never serialise on each other.
#include "platform/winmsg.h"

#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>

namespace platform
{

namespace
{
struct Target
{
    PostFunction post;
    std::shared_mutex running;
    bool gone = false;
};

struct Table
{
    std::mutex mutex;
    uintptr_t next = 0x10000;
    std::map<uintptr_t, std::shared_ptr<Target>> targets;
};

Table& TheTable()
{
    static Table table;
    return table;
}
} // namespace

HWND RegisterWindowHandle(PostFunction post)
{
    Table& t = TheTable();
    auto target = std::make_shared<Target>();
    target->post = std::move(post);
    std::lock_guard lock(t.mutex);
    const uintptr_t id = t.next;
    t.next += 0x10;
    t.targets[id] = target;
    return reinterpret_cast<HWND>(id);
}

void UnregisterWindowHandle(HWND hwnd)
{
    Table& t = TheTable();
    std::shared_ptr<Target> target;
    {
        std::lock_guard lock(t.mutex);
        auto it = t.targets.find(reinterpret_cast<uintptr_t>(hwnd));
        if (it == t.targets.end()) return;
        target = it->second;
        t.targets.erase(it);
    }
    std::unique_lock wait(target->running);
    target->gone = true;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    Table& t = TheTable();
    std::shared_ptr<Target> target;
    {
        std::lock_guard lock(t.mutex);
        auto it = t.targets.find(reinterpret_cast<uintptr_t>(hwnd));
        if (it == t.targets.end()) return 0;
        target = it->second;
    }
    std::shared_lock running(target->running);
    if (target->gone || !target->post) return 0;
    target->post(message, wparam, lparam);
    return 1;
}

} // namespace platform

#include "platform/event.h"

#include <chrono>

namespace platform
{

Event::Event(Reset reset, bool initiallySet) : manual_(reset == Reset::manual), set_(initiallySet)
{
}

void Event::Set()
{
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    if (manual_)
        cv_.notify_all();
    else
        cv_.notify_one();
}

void Event::Clear()
{
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool Event::IsSet() const
{
    std::lock_guard lock(mutex_);
    return set_;
}

bool Event::Wait(uint32_t timeoutMs)
{
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return set_; };
    if (timeoutMs == 0)
    {
        // A poll (the workers' cancel checks, once per piece): no timed wait in the kernel.
        if (!set_) return false;
    }
    else if (timeoutMs == kInfinite)
        cv_.wait(lock, ready);
    else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return false;
    if (!manual_) set_ = false;
    return true;
}

} // namespace platform

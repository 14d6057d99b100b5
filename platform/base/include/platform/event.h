// Event objects with the two Windows flavours: an auto-reset event releases one waiter and
// clears itself; a manual-reset event stays set until Reset.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform
{

constexpr uint32_t kInfinite = 0xFFFFFFFF;

class Event
{
public:
    enum class Reset
    {
        automatic,
        manual
    };
    explicit Event(Reset reset = Reset::automatic, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Clear();
    bool IsSet() const;
    // true when the event was set within `timeoutMs` (kInfinite waits for ever); an
    // auto-reset event is cleared by the wait that sees it.
    bool Wait(uint32_t timeoutMs = kInfinite);

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    const bool manual_;
    bool set_;
};

} // namespace platform

// Apartments: one per initialised thread, an epoll set over its connections and its queue.
#include "channel.h"

#include "platform/com/apartment.h"

#include <algorithm>
#include <cstdlib>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace com
{
namespace detail
{

class QueueImpl final : public ApartmentQueue
{
public:
    explicit QueueImpl(int fd) : fd_(fd) {}
    bool Post(std::function<void()> task) override
    {
        std::lock_guard lock(mutex_);
        if (!alive_) return false;
        tasks_.push_back(std::move(task));
        uint64_t one = 1;
        return ::write(fd_, &one, 8) == 8;
    }
    std::deque<std::function<void()>> Take()
    {
        uint64_t count;
        (void)!::read(fd_, &count, 8);
        std::lock_guard lock(mutex_);
        return std::move(tasks_);
    }
    void End()
    {
        std::lock_guard lock(mutex_);
        alive_ = false;
        tasks_.clear();
    }

private:
    std::mutex mutex_;
    int fd_;
    bool alive_ = true;
    std::deque<std::function<void()>> tasks_;
};

namespace
{
thread_local Apartment* t_apartment = nullptr;
}

Apartment* CurrentApartment()
{
    return t_apartment;
}

void Apartment::Add(const std::shared_ptr<Channel>& channel)
{
    channels.push_back(channel);
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = channel->fd;
    epoll_ctl(epollFd, EPOLL_CTL_ADD, channel->fd, &e);
}

void Apartment::Forget(Channel* channel)
{
    if (channel->fd >= 0) epoll_ctl(epollFd, EPOLL_CTL_DEL, channel->fd, nullptr);
    // Keep the channel alive until the caller's frame ends: it is usually on the stack.
    auto it = std::find_if(channels.begin(), channels.end(),
                           [&](const auto& c) { return c.get() == channel; });
    if (it != channels.end()) channels.erase(it);
}

void Apartment::KickIfFramesWait()
{
    for (auto& c : channels)
        if (c->HasFrames())
        {
            uint64_t one = 1;
            (void)!::write(eventFd, &one, 8);
            return;
        }
}

} // namespace detail

HRESULT CoInitialize(void*)
{
    using namespace detail;
    if (t_apartment)
    {
        ++t_apartment->initCount;
        return S_FALSE;
    }
    auto* a = new Apartment;
    a->owner = std::this_thread::get_id();
    a->epollFd = epoll_create1(EPOLL_CLOEXEC);
    a->eventFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (a->epollFd < 0 || a->eventFd < 0)
    {
        if (a->epollFd >= 0) ::close(a->epollFd);
        if (a->eventFd >= 0) ::close(a->eventFd);
        delete a;
        return E_OUTOFMEMORY;
    }
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = a->eventFd;
    epoll_ctl(a->epollFd, EPOLL_CTL_ADD, a->eventFd, &e);
    a->queue = std::make_shared<QueueImpl>(a->eventFd);
    a->initCount = 1;
    t_apartment = a;
    return S_OK;
}

void CoUninitialize()
{
    using namespace detail;
    Apartment* a = t_apartment;
    if (!a || --a->initCount > 0) return;
    auto channels = a->channels;
    for (auto& c : channels)
        c->Disconnect();
    for (auto& c : channels)
        c->apartment = nullptr;
    a->queue->End();
    ::close(a->epollFd);
    ::close(a->eventFd);
    t_apartment = nullptr;
    delete a;
}

int ApartmentFd()
{
    return detail::t_apartment ? detail::t_apartment->epollFd : -1;
}

bool PumpApartment()
{
    using namespace detail;
    Apartment* a = t_apartment;
    if (!a) return false;
    auto channels = a->channels;
    for (auto& c : channels)
    {
        c->ReadAvailable();
        while (c->ProcessOneFrame())
        {
        }
    }
    if (t_apartment != a) return true;
    for (auto& task : a->queue->Take())
        task();
    return true;
}

bool PumpApartmentWait(int timeoutMs)
{
    const int fd = ApartmentFd();
    if (fd < 0) return false;
    epoll_event e;
    epoll_wait(fd, &e, 1, timeoutMs);
    return PumpApartment();
}

std::shared_ptr<ApartmentQueue> CurrentApartmentQueue()
{
    return detail::t_apartment ? detail::t_apartment->queue : nullptr;
}

namespace
{
std::atomic<int> g_timeout{[]
                           {
                               const char* v = std::getenv("VARK_COM_TIMEOUT_MS");
                               int ms = v ? std::atoi(v) : 0;
                               return ms > 0 ? ms : 30000;
                           }()};
} // namespace

void SetCallTimeout(int ms)
{
    g_timeout = ms > 0 ? ms : 30000;
}
int CallTimeout()
{
    return g_timeout;
}

} // namespace com

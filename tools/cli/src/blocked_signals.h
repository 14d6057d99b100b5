// The signals that end a long command, held back from every thread but the one that waits
// for them.
#pragma once

#include <csignal>
#include <ctime>
#include <pthread.h>

namespace cli
{

// Ctrl-C and termination are taken by the waiting thread only, so the worker is never
// interrupted in the middle of a request or a write.
class BlockedSignals
{
public:
    BlockedSignals()
    {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &old_);
    }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    // The signal that arrived within `ms`, or 0.
    int Wait(int ms)
    {
        const timespec t{ms / 1000, (ms % 1000) * 1000000L};
        const int sig = sigtimedwait(&set_, nullptr, &t);
        return sig > 0 ? sig : 0;
    }

private:
    sigset_t set_, old_;
};

} // namespace cli

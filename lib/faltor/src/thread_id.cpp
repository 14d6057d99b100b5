#include "faltor/thread_id.h"

#include <sys/syscall.h>
#include <unistd.h>

uint32_t GetThreadId()
{
    // Asked once per thread: the id cannot change while the thread lives.
    thread_local const uint32_t id = static_cast<uint32_t>(::syscall(SYS_gettid));
    return id;
}

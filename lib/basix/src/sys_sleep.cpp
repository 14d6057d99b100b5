#include "basix/sys_sleep.h"

#include <chrono>
#include <thread>

void SysSleepMs(uint32_t ms)
{
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

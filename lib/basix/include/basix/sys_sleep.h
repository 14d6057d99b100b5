// A plain sleep; 0 gives up the rest of the time slice, as the callers' polling loops expect.
#pragma once

#include <cstdint>

void SysSleepMs(uint32_t ms);

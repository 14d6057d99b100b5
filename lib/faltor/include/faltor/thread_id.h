// The kernel's id of the calling thread (what `ps -L` and the journal show), in the width of
// the Windows thread id the call sites print with %i / %u.
#pragma once

#include <cstdint>

uint32_t GetThreadId();

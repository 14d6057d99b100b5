#include "basix/timer.h"

TIMER::TIMER(int64_t periodMs) : periodMs_(periodMs), start_(std::chrono::steady_clock::now()) {}

void TIMER::Restart()
{
    start_ = std::chrono::steady_clock::now();
}

int64_t TIMER::PeekTimeMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
}

// Elapsed time on the steady clock (never jumps with the wall clock). The constructor's
// argument is the period the owner measures, in milliseconds; IsElapsed tells whether that
// much time has passed since the last Restart. The timer starts at construction.
#pragma once

#include <chrono>
#include <cstdint>

class TIMER
{
public:
    explicit TIMER(int64_t periodMs = 0);

    void Restart();
    // Milliseconds since the construction or the last Restart.
    int64_t PeekTimeMs() const;
    bool IsElapsed() const { return PeekTimeMs() >= periodMs_; }
    int64_t PeriodMs() const { return periodMs_; }

private:
    int64_t periodMs_;
    std::chrono::steady_clock::time_point start_;
};

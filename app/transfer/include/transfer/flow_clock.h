// The time the data flows run on: a millisecond tick count and a wait. The program uses the
// system tick count; tests drive a clock of their own so that every step is exact.
#pragma once

#include <cstdint>

namespace vark
{

class FlowClock
{
public:
    virtual ~FlowClock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual int64_t NowMs() = 0;
    // Blocks the caller for `ms` milliseconds.
    virtual void WaitMs(int ms) = 0;
};

// The system's monotonic tick count.
class SystemTickClock final : public FlowClock
{
public:
    int64_t NowMs() override;
    void WaitMs(int ms) override;
};

} // namespace vark

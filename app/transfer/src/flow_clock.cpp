#include "transfer/flow_clock.h"

#include <chrono>
#include <thread>

namespace vark
{

int64_t SystemTickClock::NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemTickClock::WaitMs(int ms)
{
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace vark

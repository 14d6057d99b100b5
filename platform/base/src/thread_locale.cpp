#include "platform/thread_locale.h"

#include <atomic>

namespace platform
{

namespace
{
std::atomic<Lcid> g_default{kLcidEnglish};
thread_local Lcid t_locale = 0; // 0: not set on this thread
} // namespace

void SetThreadLocale(Lcid lcid)
{
    t_locale = lcid;
}
Lcid GetThreadLocale()
{
    return t_locale ? t_locale : g_default.load();
}
void SetDefaultThreadLocale(Lcid lcid)
{
    g_default = lcid;
}
Lcid GetDefaultThreadLocale()
{
    return g_default.load();
}

} // namespace platform

// The thread locale: the language identifier (LCID) that resource lookups of the calling
// thread use. Each thread starts with the process default, which start-up sets once.
#pragma once

#include <cstdint>

namespace platform
{

using Lcid = uint32_t;
constexpr Lcid kLcidEnglish = 1033;

void SetThreadLocale(Lcid lcid);
Lcid GetThreadLocale();
// The value new threads (and threads that never set their own) start with.
void SetDefaultThreadLocale(Lcid lcid);
Lcid GetDefaultThreadLocale();

// The primary language of an LCID (its low 10 bits).
constexpr uint32_t PrimaryLanguage(Lcid lcid)
{
    return lcid & 0x3FF;
}

} // namespace platform

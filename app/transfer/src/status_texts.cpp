#include "transfer/status_texts.h"

#include <cstdio>

namespace vark
{

std::string KilobyteText(uint32_t kb)
{
    char buf[32];
    if (kb < 1000)
        std::snprintf(buf, sizeof buf, "%u", kb);
    else if (kb < 1000000)
        std::snprintf(buf, sizeof buf, "%u,%03u", kb / 1000, kb % 1000);
    else
        std::snprintf(buf, sizeof buf, "%u,%03u,%03u", kb / 1000000, kb / 1000 % 1000, kb % 1000);
    return buf;
}

std::string TimeLeftText(const platform::AutoSpan& span)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:", span.TotalHours());
    return buf + span.Format("%M:%S");
}

} // namespace vark

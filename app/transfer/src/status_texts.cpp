#include "transfer/status_texts.h"

#include "transfer/export_rules.h"

#include <cstdio>

namespace vark
{

std::string KilobyteText(uint32_t kb)
{
    return GroupThousands(kb);
}

std::string TimeLeftText(const platform::AutoSpan& span)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:", span.TotalHours());
    return buf + span.Format("%M:%S");
}

} // namespace vark

// The figures of the recorder's status as the program and the command-line tool show them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/autodate.h"

namespace vark
{

// Kilobytes with comma thousands separators, as the copy counters show them (GroupThousands).
std::string KilobyteText(uint32_t kb);
// Recording time left: hours unbounded, then minutes and seconds ("12:05:09").
std::string TimeLeftText(const platform::AutoSpan& span);

} // namespace vark

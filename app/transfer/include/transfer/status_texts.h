// The figures of the recorder's status as the program and the command-line tool show them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/autodate.h"

namespace vark
{

// Kilobytes with comma thousands separators: "%u", "%u,%03u", "%u,%03u,%03u".
std::string KilobyteText(uint32_t kb);
// Recording time left: hours unbounded, then minutes and seconds ("12:05:09").
std::string TimeLeftText(const platform::AutoSpan& span);

} // namespace vark

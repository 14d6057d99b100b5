// The Broadcast WAV "bext" chunk an export can carry (off by default: the system's files have
// none): what the record is and where it came from, when it started by the recorder's clock,
// the samples since that midnight, and a coding history stating the data as written (mu-law
// stays mu-law). A byte-for-byte copy of a drive file never gets one.
#pragma once

#include "device/record_info.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vark
{

// `recordNumber`: as the list shows it (from 1); `serial`: the recorder's, for signatures.
std::vector<uint8_t> ExportBext(const RecordInfo& record, int recordNumber, uint32_t serial);
// "A=ULAW,F=8000,W=8,M=mono" or "A=PCM,F=16000,W=16,M=stereo", as the history's line says it.
std::string CodingHistoryLine(const RecordInfo& record);

} // namespace vark

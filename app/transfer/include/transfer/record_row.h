// The texts of one row of the records list (columns 0-8), shared by the program's list, the
// command-line tool and the tests.
#pragma once

#include "device/record_info.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace vark
{

using StringLookup = std::function<std::wstring(uint32_t id)>;
// Date and time of a record start as the caller wants them shown (the program uses the
// user's short date and time formats).
using DateTimeFormatter = std::function<std::wstring(const platform::AutoDate&)>;

inline constexpr int kRecordColumns = 9;
using RecordRow = std::array<std::wstring, kRecordColumns>;

// `index` is the record's 0-based index on the recorder.
RecordRow RecordRowTexts(int index, const RecordInfo& info, const StringLookup& text,
                         const DateTimeFormatter& formatDate);

// "%d:%02d:%02d" of a duration, hours not wrapped, from its milliseconds rounded by adding 500.
std::wstring DurationText(const platform::AutoSpan& duration);
// The source names of column 8 joined by ", ".
std::wstring SourceNames(uint32_t sources, bool stereo, const StringLookup& text);

} // namespace vark

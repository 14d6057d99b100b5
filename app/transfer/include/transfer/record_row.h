// The texts of one row of the records list (columns 0-8), shared by the program's list, the
// command-line tool and the tests.
#pragma once

#include "device/record_info.h"
#include "drive/drive_record.h"

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

// The row of a drive recorder's file: the codec in the compression column, its place below
// the drive's root (folder and name) as the source; a file that cannot be read shows that
// where its codec would be.
RecordRow DriveRecordRowTexts(int index, const drive::DriveRecord& record, const StringLookup& text,
                              const DateTimeFormatter& formatDate);
// The tooltip saying where a drive record's start time came from.
uint32_t StartFromTextId(drive::StartFrom from);

// "%d:%02d:%02d" of a duration, hours not wrapped, from its milliseconds rounded by adding 500.
std::wstring DurationText(const platform::AutoSpan& duration);
// The source names of column 8 joined by ", ".
std::wstring SourceNames(uint32_t sources, bool stereo, const StringLookup& text);

} // namespace vark

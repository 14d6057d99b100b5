// A recording's start in its file name, as recorders and this program write them: one table
// of patterns (YYMMDD_HHMM, YYYYMMDD_HHMMSS, YYYYMMDD-HHMMSS, YYYY-MM-DD HH-MM-SS,
// YYYY_MM_DD HH_MM_SS, ...), the longest first, anywhere in the name.
#pragma once

#include <optional>
#include <string_view>

namespace drive
{

struct NameDate
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const NameDate&) const = default;
};

// The first date and time in `name` that one of the patterns matches and that is a real
// moment (months, days of the month, hours...); years 2000 to 2099 for two-digit years.
std::optional<NameDate> DateInName(std::string_view name);

} // namespace drive

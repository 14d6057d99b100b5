#include "drive/name_dates.h"

#include <cctype>
#include <utility>

namespace drive
{

namespace
{

// Y year digit, y two-digit year, M month, D day, h hour, m minute, s second; any other
// character stands for itself. The longest come first, so that a short pattern never takes
// part of a longer date.
constexpr std::string_view kPatterns[] = {
    "YYYY-MM-DD hh-mm-ss", "YYYY_MM_DD hh_mm_ss", "YYYY-MM-DD_hh-mm-ss", "YYYY-MM-DDThh:mm:ss",
    "YYYYMMDD_hhmmss",     "YYYYMMDD-hhmmss",     "YYYYMMDDhhmmss",      "yyMMDD_hhmmss",
    "YYYYMMDD_hhmm",       "yyMMDD_hhmm",         "yyMMDD-hhmm",
};

// The field a pattern letter stands for; null for a literal character.
int* FieldOf(char letter, NameDate& d)
{
    static constexpr std::pair<char, int NameDate::*> kFields[] = {
        {'Y', &NameDate::year},  {'y', &NameDate::year}, {'M', &NameDate::month},
        {'D', &NameDate::day},   {'h', &NameDate::hour}, {'m', &NameDate::minute},
        {'s', &NameDate::second}};
    for (const auto& [field, member] : kFields)
        if (field == letter) return &(d.*member);
    return nullptr;
}

int DaysIn(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::optional<NameDate> MatchAt(std::string_view name, size_t at, std::string_view pattern)
{
    if (at + pattern.size() > name.size()) return std::nullopt;
    NameDate d;
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        const char p = pattern[i], c = name[at + i];
        if (int* field = FieldOf(p, d))
        {
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
            *field = *field * 10 + (c - '0');
        }
        else if (p != c)
            return std::nullopt;
    }
    // a date inside a longer run of digits is not a date
    const auto digit = [&](size_t i) { return std::isdigit(static_cast<unsigned char>(name[i])); };
    if ((at > 0 && digit(at - 1)) ||
        (at + pattern.size() < name.size() && digit(at + pattern.size())))
        return std::nullopt;
    if (pattern.front() == 'y') d.year += 2000;
    if (d.year < 1970 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > DaysIn(d.year, d.month) || d.hour > 23 || d.minute > 59 || d.second > 59)
        return std::nullopt;
    return d;
}

} // namespace

std::optional<NameDate> DateInName(std::string_view name)
{
    for (std::string_view pattern : kPatterns)
        for (size_t at = 0; at < name.size(); ++at)
            if (auto d = MatchAt(name, at, pattern)) return d;
    return std::nullopt;
}

} // namespace drive

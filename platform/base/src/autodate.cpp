#include "platform/autodate.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace platform
{

namespace
{

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long yy = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr long kEpochFrom1970 = -25569; // 1899-12-30 relative to 1970-01-01

bool InRange(double days)
{
    return std::isfinite(days) && std::fabs(days) <= kMaxDateDays;
}

int DaysInMonth(int y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

std::string FormatCodes(const char* format, const auto& value)
{
    std::string out;
    for (const char* p = format; *p; ++p)
    {
        if (*p != '%' || !p[1])
        {
            out.push_back(*p);
            continue;
        }
        ++p;
        if (*p == '%')
        {
            out.push_back('%');
            continue;
        }
        const auto text = value(*p);
        if (text.empty())
        {
            out.push_back('%');
            out.push_back(*p);
        }
        else
        {
            out += text;
        }
    }
    return out;
}

std::string Two(long v)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02ld", v);
    return buf;
}

} // namespace

// ---- AutoSpan -------------------------------------------------------------------------

AutoSpan::AutoSpan(double days) : days_(days)
{
    status_ = InRange(days) ? DateStatus::valid : DateStatus::invalid;
}

AutoSpan AutoSpan::FromParts(long days, int hours, int minutes, int seconds)
{
    return AutoSpan(static_cast<double>(days) + hours / 24.0 + minutes / 1440.0 +
                    seconds / 86400.0);
}

AutoSpan AutoSpan::Invalid()
{
    AutoSpan s;
    s.status_ = DateStatus::invalid;
    return s;
}

long AutoSpan::RoundedSeconds() const
{
    return std::lround(days_ * 86400.0);
}
long AutoSpan::WholeDays() const
{
    return RoundedSeconds() / 86400;
}
long AutoSpan::TotalHours() const
{
    return RoundedSeconds() / 3600;
}
int AutoSpan::Hours() const
{
    return static_cast<int>(RoundedSeconds() / 3600 % 24);
}
int AutoSpan::Minutes() const
{
    return static_cast<int>(RoundedSeconds() / 60 % 60);
}
int AutoSpan::Seconds() const
{
    return static_cast<int>(RoundedSeconds() % 60);
}

std::string AutoSpan::Format(const char* format) const
{
    if (!IsValid()) return "";
    return FormatCodes(format,
                       [this](char code) -> std::string
                       {
                           switch (code)
                           {
                           case 'D':
                               return std::to_string(WholeDays());
                           case 'H':
                               return Two(Hours());
                           case 'M':
                               return Two(Minutes());
                           case 'S':
                               return Two(Seconds());
                           default:
                               return "";
                           }
                       });
}

AutoSpan AutoSpan::operator+(AutoSpan other) const
{
    if (!IsValid() || !other.IsValid()) return Invalid();
    return AutoSpan(days_ + other.days_);
}

AutoSpan AutoSpan::operator-(AutoSpan other) const
{
    if (!IsValid() || !other.IsValid()) return Invalid();
    return AutoSpan(days_ - other.days_);
}

// ---- AutoDate -------------------------------------------------------------------------

AutoDate::AutoDate(double days) : days_(days)
{
    status_ = InRange(days) ? DateStatus::valid : DateStatus::invalid;
}

AutoDate AutoDate::Invalid()
{
    AutoDate d;
    d.status_ = DateStatus::invalid;
    return d;
}

double AutoDate::Linear() const
{
    if (days_ >= 0) return days_;
    const double whole = std::ceil(days_);
    return whole + (whole - days_);
}

AutoDate AutoDate::FromLinear(double linear)
{
    if (!std::isfinite(linear)) return Invalid();
    if (linear >= 0) return AutoDate(linear);
    const double whole = std::floor(linear);
    const double fraction = linear - whole;
    // Back to the automation encoding: integer part the day, fraction the time of day.
    return AutoDate(whole - fraction);
}

AutoDate AutoDate::FromParts(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return Invalid();
    const long dayNumber =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kEpochFrom1970;
    const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Automation encoding: the integer part is the day, the fraction the time of day, also
    // before the epoch.
    const double days = dayNumber >= 0 ? static_cast<double>(dayNumber) + time
                                       : static_cast<double>(dayNumber) - time;
    return AutoDate(days);
}

AutoDate AutoDate::Now()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    AutoDate d = FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec);
    return d.IsValid() ? FromLinear(d.Linear() + static_cast<double>(ms) / 86400000.0) : d;
}

bool AutoDate::GetParts(DateParts& parts) const
{
    if (!IsValid()) return false;
    // Round to the nearest second on the linear scale, then split.
    const long long totalSeconds = std::llround(Linear() * 86400.0);
    long long dayNumber = totalSeconds / 86400;
    long long secondOfDay = totalSeconds % 86400;
    if (secondOfDay < 0)
    {
        secondOfDay += 86400;
        --dayNumber;
    }
    CivilFromDays(static_cast<long>(dayNumber + kEpochFrom1970), parts.year, parts.month,
                  parts.day);
    parts.hour = static_cast<int>(secondOfDay / 3600);
    parts.minute = static_cast<int>(secondOfDay / 60 % 60);
    parts.second = static_cast<int>(secondOfDay % 60);
    // 1899-12-30 was a Saturday.
    parts.dayOfWeek = static_cast<int>(((dayNumber % 7) + 7 + 6) % 7);
    return true;
}

std::string AutoDate::Format(const char* format) const
{
    DateParts p;
    if (!GetParts(p)) return "";
    return FormatCodes(format,
                       [&p](char code) -> std::string
                       {
                           switch (code)
                           {
                           case 'Y':
                           {
                               char buf[16];
                               std::snprintf(buf, sizeof buf, "%04d", p.year);
                               return buf;
                           }
                           case 'm':
                               return Two(p.month);
                           case 'd':
                               return Two(p.day);
                           case 'H':
                               return Two(p.hour);
                           case 'M':
                               return Two(p.minute);
                           case 'S':
                               return Two(p.second);
                           default:
                               return "";
                           }
                       });
}

AutoDate AutoDate::operator+(AutoSpan span) const
{
    if (!IsValid() || !span.IsValid()) return Invalid();
    return FromLinear(Linear() + span.Days());
}

AutoDate AutoDate::operator-(AutoSpan span) const
{
    if (!IsValid() || !span.IsValid()) return Invalid();
    return FromLinear(Linear() - span.Days());
}

AutoSpan AutoDate::operator-(AutoDate other) const
{
    if (!IsValid() || !other.IsValid()) return AutoSpan::Invalid();
    return AutoSpan(Linear() - other.Linear());
}

} // namespace platform

// Automation dates and spans: a date is a count of days since 1899-12-30 00:00 as a double,
// the fraction being the time of day; a span is a count of days. Both carry a validity
// status, and a value outside -3615897 .. 3615897 days is never valid. Dates before the
// epoch use the automation encoding: the integer part counts days back, the fraction is
// still the time of day (-1.25 is 1899-12-29 06:00).
#pragma once

#include <string>

namespace platform
{

enum class DateStatus
{
    valid,
    invalid,
    null
};

constexpr double kMaxDateDays = 3615897.0;

struct DateParts
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int dayOfWeek = 0; // 0 = Sunday
};

class AutoSpan
{
public:
    AutoSpan() = default;
    explicit AutoSpan(double days);
    static AutoSpan FromParts(long days, int hours, int minutes, int seconds);
    static AutoSpan Invalid();

    DateStatus Status() const { return status_; }
    bool IsValid() const { return status_ == DateStatus::valid; }
    double Days() const { return days_; }
    double TotalSeconds() const { return days_ * 86400.0; }

    // Components of the span rounded to the nearest second.
    long WholeDays() const;
    int Hours() const;   // 0..23
    int Minutes() const; // 0..59
    int Seconds() const; // 0..59
    long TotalHours() const;

    // %D total days, %H hours 00-23, %M minutes, %S seconds, %% a percent sign.
    std::string Format(const char* format) const;

    AutoSpan operator+(AutoSpan other) const;
    AutoSpan operator-(AutoSpan other) const;

private:
    long RoundedSeconds() const;
    double days_ = 0;
    DateStatus status_ = DateStatus::valid;
};

class AutoDate
{
public:
    AutoDate() = default; // 1899-12-30 00:00:00, valid
    explicit AutoDate(double days);
    // Invalid when any part is out of its range (month 1-12, day within the month,
    // hour 0-23, minute and second 0-59) or the year outside 100-9999.
    static AutoDate FromParts(int year, int month, int day, int hour, int minute, int second);
    static AutoDate Invalid();
    static AutoDate Now(); // local time, milliseconds included

    DateStatus Status() const { return status_; }
    bool IsValid() const { return status_ == DateStatus::valid; }
    double Days() const { return days_; }

    // Calendar parts rounded to the nearest second; false when not valid.
    bool GetParts(DateParts& parts) const;

    // %Y %m %d %H %M %S and %% (the codes the program uses); other codes are copied.
    // An invalid date formats as "".
    std::string Format(const char* format) const;

    AutoDate operator+(AutoSpan span) const;
    AutoDate operator-(AutoSpan span) const;
    AutoSpan operator-(AutoDate other) const;
    bool operator<(const AutoDate& other) const { return Linear() < other.Linear(); }

    // The date as a linear count of days (negative dates decoded), for arithmetic.
    double Linear() const;
    static AutoDate FromLinear(double linear);

private:
    double days_ = 0;
    DateStatus status_ = DateStatus::valid;
};

} // namespace platform

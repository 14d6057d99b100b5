#include "platform/bext.h"

#include "platform/autodate.h"

#include <algorithm>
#include <cstring>

namespace platform::bext
{
namespace
{

// Field widths in file order.
constexpr size_t kDescription = 256, kOriginator = 32, kReference = 32, kDate = 10, kTime = 8;
constexpr size_t kTimeReferenceAt = kDescription + kOriginator + kReference + kDate + kTime;
constexpr size_t kVersionAt = kTimeReferenceAt + 8;

void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t width)
{
    std::memcpy(out.data() + at, text.data(), std::min(text.size(), width));
}

std::string Text(const uint8_t* at, size_t width)
{
    const auto* end = std::find(at, at + width, uint8_t{0});
    return std::string(at, end);
}

bool Digits(const std::string& s, size_t at, size_t n, int* value)
{
    int v = 0;
    for (size_t i = at; i < at + n; ++i)
    {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    *value = v;
    return true;
}

bool IsSeparator(char c, const char* allowed)
{
    return c != 0 && std::strchr(allowed, c);
}

} // namespace

std::vector<uint8_t> Body(const Bext& bext)
{
    std::vector<uint8_t> out(kFixedBytes, 0);
    size_t at = 0;
    PutText(out, at, bext.description, kDescription);
    PutText(out, at += kDescription, bext.originator, kOriginator);
    PutText(out, at += kOriginator, bext.originatorReference, kReference);
    PutText(out, at += kReference, bext.originationDate, kDate);
    PutText(out, at += kDate, bext.originationTime, kTime);
    for (int i = 0; i < 8; ++i)
        out[kTimeReferenceAt + i] = static_cast<uint8_t>(bext.timeReference >> (8 * i));
    out[kVersionAt] = static_cast<uint8_t>(bext.version);
    out[kVersionAt + 1] = static_cast<uint8_t>(bext.version >> 8);
    out.insert(out.end(), bext.codingHistory.begin(), bext.codingHistory.end());
    return out;
}

std::optional<Bext> Parse(const uint8_t* body, size_t size)
{
    if (body == nullptr || size < kFixedBytes) return std::nullopt;
    Bext b;
    size_t at = 0;
    b.description = Text(body + at, kDescription);
    b.originator = Text(body + (at += kDescription), kOriginator);
    b.originatorReference = Text(body + (at += kOriginator), kReference);
    b.originationDate = Text(body + (at += kReference), kDate);
    b.originationTime = Text(body + (at += kDate), kTime);
    b.timeReference = 0;
    for (int i = 7; i >= 0; --i)
        b.timeReference = b.timeReference << 8 | body[kTimeReferenceAt + i];
    b.version = static_cast<uint16_t>(body[kVersionAt] | body[kVersionAt + 1] << 8);
    b.codingHistory = Text(body + kFixedBytes, size - kFixedBytes);
    return b;
}

std::optional<DateTime> Origination(const Bext& bext)
{
    const std::string& d = bext.originationDate;
    const std::string& t = bext.originationTime;
    if (d.size() != kDate || t.size() != kTime) return std::nullopt;
    // Writers differ in the separators they put; any of these counts.
    const char* kSeparators = "-_:/. ";
    DateTime dt;
    if (!Digits(d, 0, 4, &dt.year) || !IsSeparator(d[4], kSeparators) ||
        !Digits(d, 5, 2, &dt.month) || !IsSeparator(d[7], kSeparators) || !Digits(d, 8, 2, &dt.day))
        return std::nullopt;
    if (!Digits(t, 0, 2, &dt.hour) || !IsSeparator(t[2], kSeparators) ||
        !Digits(t, 3, 2, &dt.minute) || !IsSeparator(t[5], kSeparators) ||
        !Digits(t, 6, 2, &dt.second))
        return std::nullopt;
    // the calendar's own check: months, days of the month, hours...
    if (!AutoDate::FromParts(dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second).IsValid())
        return std::nullopt;
    return dt;
}

} // namespace platform::bext

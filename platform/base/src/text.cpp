#include "platform/text.h"

#include <locale.h>

namespace platform
{

namespace
{

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80)
    {
        out.push_back(static_cast<char>(c));
    }
    else if (c < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    else if (c < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one scalar at `i`, advancing `i`; returns false (and skips one byte) when the
// sequence is malformed.
bool DecodeOne(std::string_view s, size_t& i, char32_t& out)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
    {
        out = b0;
        ++i;
        return true;
    }
    int extra;
    char32_t c;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0)
    {
        extra = 1, c = b0 & 0x1F, min = 0x80;
    }
    else if ((b0 & 0xF0) == 0xE0)
    {
        extra = 2, c = b0 & 0x0F, min = 0x800;
    }
    else if ((b0 & 0xF8) == 0xF0)
    {
        extra = 3, c = b0 & 0x07, min = 0x10000;
    }
    else
    {
        ++i;
        return false;
    }
    if (i + extra >= s.size())
    {
        ++i;
        return false;
    }
    for (int k = 1; k <= extra; ++k)
    {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
        {
            ++i;
            return false;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    {
        ++i;
        return false;
    }
    i += extra + 1;
    out = c;
    return true;
}

} // namespace

std::wstring Utf8ToWide(std::string_view utf8, bool* ok)
{
    std::wstring out;
    out.reserve(utf8.size());
    bool valid = true;
    size_t i = 0;
    while (i < utf8.size())
    {
        char32_t c;
        if (DecodeOne(utf8, i, c))
        {
            out.push_back(static_cast<wchar_t>(c));
        }
        else
        {
            valid = false;
            out.push_back(static_cast<wchar_t>(kReplacement));
        }
    }
    if (ok) *ok = valid;
    return out;
}

std::string WideToUtf8(std::wstring_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (wchar_t w : wide)
        AppendUtf8(out, static_cast<char32_t>(w));
    return out;
}

bool IsValidUtf8(std::string_view utf8)
{
    size_t i = 0;
    char32_t c;
    while (i < utf8.size())
        if (!DecodeOne(utf8, i, c)) return false;
    return true;
}

// A fixed folding table rather than towlower: the result must not depend on the process
// locale, and the names we compare are ASCII, Latin-1 or Cyrillic.
static wchar_t FoldCase(wchar_t c)
{
    if (c >= L'A' && c <= L'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool EqualsNoCaseUtf8(std::string_view a, std::string_view b)
{
    return EqualsNoCase(Utf8ToWide(a), Utf8ToWide(b));
}

} // namespace platform

namespace platform
{

namespace
{
locale_t Utf8Locale()
{
    // Made once and never freed: threads may still use it while the process ends.
    static locale_t loc = []
    {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = ::newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
        return l;
    }();
    return loc;
}
} // namespace

ScopedUtf8Locale::ScopedUtf8Locale()
{
    if (locale_t l = Utf8Locale()) previous_ = ::uselocale(l);
}

ScopedUtf8Locale::~ScopedUtf8Locale()
{
    if (previous_) ::uselocale(static_cast<locale_t>(previous_));
}

} // namespace platform

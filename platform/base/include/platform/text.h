// UTF-8 <-> wide strings. The system's "ANSI code page" is UTF-8 here, so narrow text is
// always UTF-8 and wide text is UTF-32 (wchar_t is 32 bits on Linux).
#pragma once

#include <string>
#include <string_view>

namespace platform
{

// Converts UTF-8 to wide text. Invalid sequences become U+FFFD; `ok`, when given, tells
// whether the input was valid UTF-8 (overlong forms and surrogates count as invalid).
std::wstring Utf8ToWide(std::string_view utf8, bool* ok = nullptr);

// Converts wide text to UTF-8. Values that are no Unicode scalar become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

bool IsValidUtf8(std::string_view utf8);

// Case-insensitive comparison the way the profile functions compare section and key names
// (simple case folding of ASCII and Latin/Cyrillic letters through towlower).
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCaseUtf8(std::string_view a, std::string_view b);

// While alive, the calling thread converts wide characters as UTF-8 (printf's %S and %ls,
// wcstombs, ...) whatever the process locale is. Falls back silently when no UTF-8 locale
// is installed.
class ScopedUtf8Locale
{
public:
    ScopedUtf8Locale();
    ~ScopedUtf8Locale();
    ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
    ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

private:
    void* previous_ = nullptr;
};

} // namespace platform

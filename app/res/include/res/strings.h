// The program's string resources: numbered texts in the five user-interface languages,
// looked up in the calling thread's language (platform::GetThreadLocale) and otherwise in
// the neutral table, which is the English one. Plain C++ so that the command-line tool prints
// the same messages as the windows.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/thread_locale.h"
#include "res/string_ids.h"

namespace res
{

using StringTable = std::map<uint32_t, std::string>;

// One table file: UTF-8 lines "number<TAB>text" with the escapes \n, \t and \\ in the text.
// Blank lines and lines starting with '#' are notes. A malformed line (no number, a number
// beyond 32 bits, no tab) is skipped; its 1-based line number goes to badLines when given.
// A later line with the same number replaces the earlier one.
StringTable ParseStringTable(std::string_view text, std::vector<size_t>* badLines = nullptr);

// The five languages the program carries, English first.
std::span<const platform::Lcid> Languages();
// The table file name of a language ("en", "ru", "pl", "pt-BR", "ar"); "" for others.
const char* LanguageFileName(platform::Lcid lcid);
// The built-in table of a language; an empty table for a language the program lacks.
const StringTable& BuiltInTable(platform::Lcid lcid);

// The text of a string number in the given language, else in the neutral table; "" when the
// number exists nowhere. `found` tells which case it was.
std::string LoadString(uint32_t id, platform::Lcid lcid, bool* found = nullptr);
// The same in the calling thread's language.
std::string LoadString(uint32_t id);

// printf-style formatting of a loaded text (the thread's language).
std::string FormatString(uint32_t id, ...);
std::string FormatText(const char* format, ...);
std::string FormatTextV(const char* format, va_list args);
// A text with up to three %s filled from `args` (what the export's questions carry); a
// translation whose specifiers do not match the arguments is given as it stands rather than
// formatted.
std::string FormatWithStrings(uint32_t id, const std::vector<std::string>& args);

// The conversion specifiers of a printf format in order ("%d", "%s", "%02d", "%%" is not
// one): what every translation of a text must keep.
std::vector<std::string> PrintfSpecifiers(std::string_view format);

} // namespace res

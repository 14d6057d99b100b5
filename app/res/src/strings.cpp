// The built-in string tables and the lookup by the thread's language.
#include <algorithm>
#include <array>
#include <cstdio>

#include "res/strings.h"

namespace res::detail
{
struct EmbeddedTable
{
    const char* name;
    std::string_view text;
};
extern const EmbeddedTable kEmbeddedTables[];
} // namespace res::detail

namespace res
{

namespace
{

constexpr std::array<platform::Lcid, 5> kLanguages = {1033, 1049, 1045, 1046, 1025};
constexpr std::array<const char*, 5> kFileNames = {"en", "ru", "pl", "pt-BR", "ar"};

struct Tables
{
    std::array<StringTable, 5> byLanguage;
    StringTable empty;
};

const Tables& AllTables()
{
    // Parsed once, on first use, from the bytes compiled into the library.
    static const Tables tables = []
    {
        Tables t;
        for (size_t i = 0; i < kLanguages.size(); ++i)
            for (const detail::EmbeddedTable* e = detail::kEmbeddedTables; e->name; ++e)
                if (std::string_view(e->name) == kFileNames[i])
                    t.byLanguage[i] = ParseStringTable(e->text);
        return t;
    }();
    return tables;
}

int IndexOf(platform::Lcid lcid)
{
    for (size_t i = 0; i < kLanguages.size(); ++i)
        if (kLanguages[i] == lcid) return static_cast<int>(i);
    return -1;
}

} // namespace

std::span<const platform::Lcid> Languages()
{
    return kLanguages;
}

const char* LanguageFileName(platform::Lcid lcid)
{
    int i = IndexOf(lcid);
    return i < 0 ? "" : kFileNames[static_cast<size_t>(i)];
}

const StringTable& BuiltInTable(platform::Lcid lcid)
{
    const Tables& t = AllTables();
    int i = IndexOf(lcid);
    return i < 0 ? t.empty : t.byLanguage[static_cast<size_t>(i)];
}

std::string LoadString(uint32_t id, platform::Lcid lcid, bool* found)
{
    for (platform::Lcid l : {lcid, platform::kLcidEnglish})
    {
        const StringTable& t = BuiltInTable(l);
        auto it = t.find(id);
        if (it != t.end())
        {
            if (found) *found = true;
            return it->second;
        }
    }
    if (found) *found = false;
    return {};
}

std::string LoadString(uint32_t id)
{
    return LoadString(id, platform::GetThreadLocale());
}

std::string FormatTextV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) return format;
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string s = FormatTextV(format, args);
    va_end(args);
    return s;
}

std::string FormatWithStrings(uint32_t id, const std::vector<std::string>& args)
{
    const std::string text = LoadString(id);
    const auto specifiers = PrintfSpecifiers(text);
    if (specifiers.size() != args.size() ||
        !std::all_of(specifiers.begin(), specifiers.end(),
                     [](const std::string& s) { return s == "%s"; }))
        return text;
    if (args.size() == 1) return FormatText(text.c_str(), args[0].c_str());
    if (args.size() == 2) return FormatText(text.c_str(), args[0].c_str(), args[1].c_str());
    if (args.size() == 3)
        return FormatText(text.c_str(), args[0].c_str(), args[1].c_str(), args[2].c_str());
    return text;
}

std::string FormatString(uint32_t id, ...)
{
    std::string format = LoadString(id);
    va_list args;
    va_start(args, id);
    std::string s = FormatTextV(format.c_str(), args);
    va_end(args);
    return s;
}

} // namespace res

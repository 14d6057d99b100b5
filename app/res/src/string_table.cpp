// Parsing of the string table files and the printf-specifier scan used to check translations.
#include "res/strings.h"

#include <cctype>

namespace res
{

namespace
{

std::string Unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i)
    {
        if (s[i] == '\\' && i + 1 < s.size())
        {
            char c = s[i + 1];
            if (c == 'n' || c == 't' || c == '\\')
            {
                out += c == 'n' ? '\n' : c == 't' ? '\t' : '\\';
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

} // namespace

StringTable ParseStringTable(std::string_view text, std::vector<size_t>* badLines)
{
    StringTable table;
    size_t lineNo = 0;
    while (!text.empty())
    {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        size_t i = 0;
        uint64_t number = 0;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) &&
               number <= 0xFFFFFFFFu)
            number = number * 10 + static_cast<uint64_t>(line[i++] - '0');
        if (i == 0 || number > 0xFFFFFFFFu || i >= line.size() || line[i] != '\t')
        {
            if (badLines) badLines->push_back(lineNo);
            continue;
        }
        table[static_cast<uint32_t>(number)] = Unescape(line.substr(i + 1));
    }
    return table;
}

std::vector<std::string> PrintfSpecifiers(std::string_view f)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < f.size(); ++i)
    {
        if (f[i] != '%') continue;
        if (i + 1 < f.size() && f[i + 1] == '%')
        {
            ++i;
            continue;
        }
        size_t j = i + 1;
        // flags, width, precision, length, then the conversion letter
        while (j < f.size() &&
               std::string_view("-+ #0123456789.*hlLqjztI").find(f[j]) != std::string_view::npos)
            ++j;
        if (j < f.size())
        {
            out.emplace_back(f.substr(i, j - i + 1));
            i = j;
        }
        else
        {
            out.emplace_back(f.substr(i));
            break;
        }
    }
    return out;
}

} // namespace res

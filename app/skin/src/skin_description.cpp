#include "skin/skin_description.h"

namespace skin
{

void ParseDescription(std::string_view text, const NameTable& names, SectionTable& sections)
{
    KeyTable* current = nullptr;
    while (!text.empty())
    {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty()) continue;
        if (line[0] == '[')
        {
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            auto it = names.find(std::string(name));
            current = it == names.end() ? nullptr : &sections[it->second];
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq + 1 >= line.size() || !current) continue;
        (*current)[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
    }
}

bool ReadNumbers(std::string_view value, size_t count, std::vector<int>& out)
{
    std::vector<int> numbers;
    size_t i = 0;
    while (numbers.size() < count)
    {
        while (i < value.size() && value[i] == ' ')
            ++i;
        bool negative = i < value.size() && value[i] == '-';
        if (negative) ++i;
        size_t start = i;
        long v = 0;
        while (i < value.size() && value[i] >= '0' && value[i] <= '9')
        {
            v = v * 10 + (value[i++] - '0');
            if (v > kMaxSkinNumber) return false;
        }
        if (i == start) return false;
        if (i < value.size() && value[i] != ' ' && value[i] != '\r') return false;
        numbers.push_back(static_cast<int>(negative ? -v : v));
    }
    out = std::move(numbers);
    return true;
}

} // namespace skin

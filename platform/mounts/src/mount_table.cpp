#include "platform/mounts.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform::mounts
{

namespace
{

bool IsOctal(char c)
{
    return c >= '0' && c <= '7';
}

// The whitespace-separated fields of one line.
std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size())
    {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t')
            ++at;
        if (at > start) fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

} // namespace

std::string UnescapeField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i)
    {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3]))
        {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF)
            {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<Mount> ParseMountInfo(std::string_view text)
{
    // id parent major:minor root mount-point options [optional fields...] - type source super
    std::vector<Mount> mounts;
    size_t at = 0;
    while (at < text.size())
    {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> f = Fields(text.substr(at, end - at));
        at = end + 1;
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (f.size() < 6 || dash + 2 >= f.size() || f[4].empty() || f[4][0] != '/') continue;
        mounts.push_back({UnescapeField(f[dash + 2]), UnescapeField(f[4]),
                          UnescapeField(f[dash + 1]), UnescapeField(f[3])});
    }
    return mounts;
}

std::string MountTablePath()
{
    const char* chosen = std::getenv("VARK_MOUNTINFO");
    return chosen && *chosen ? chosen : "/proc/self/mountinfo";
}

std::vector<Mount> ReadMounts()
{
    std::ifstream in(MountTablePath());
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseMountInfo(text.str());
}

} // namespace platform::mounts

#include "recorder/faults.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace recorder
{

namespace
{

bool Number(const std::string& text, uint64_t max, uint64_t* v)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(text.c_str(), &end, 0);
    if (errno || *end || n > max) return false;
    *v = n;
    return true;
}

// "Q25", "W25", "25", or "*".
bool Command(const std::string& text, bool queryOnly, Fault* f)
{
    std::string digits = text;
    if (!digits.empty() &&
        (digits[0] == 'Q' || digits[0] == 'W' || digits[0] == 'q' || digits[0] == 'w'))
    {
        f->direction = static_cast<char>(digits[0] == 'q' || digits[0] == 'Q' ? 'Q' : 'W');
        digits.erase(0, 1);
    }
    if (queryOnly)
    {
        if (f->direction == 'W') return false;
        f->direction = 'Q';
    }
    if (digits == "*")
    {
        f->command = -1;
        return true;
    }
    uint64_t n = 0;
    if (!Number(digits, 255, &n)) return false;
    f->command = static_cast<int>(n);
    return true;
}

} // namespace

std::optional<Fault> ParseFault(const std::string& spec, std::string* error)
{
    const auto bad = [&](const std::string& why) -> std::optional<Fault>
    {
        *error = "bad fault '" + spec + "': " + why;
        return std::nullopt;
    };
    const size_t colon = spec.find(':');
    if (colon == std::string::npos) return bad("expected KIND:ARG");
    const std::string kind = spec.substr(0, colon);
    std::vector<std::string> parts;
    std::stringstream rest(spec.substr(colon + 1));
    for (std::string p; std::getline(rest, p, ',');)
        parts.push_back(p);
    if (parts.empty() || parts[0].empty()) return bad("missing argument");

    Fault f;
    uint64_t n = 0;
    if (kind == "fail")
    {
        f.kind = Fault::Kind::FailCommand;
        if (!Command(parts[0], false, &f) || f.command < 0) return bad("want Q<n>, W<n> or <n>");
    }
    else if (kind == "empty" || kind == "short-answer")
    {
        f.kind = kind == "empty" ? Fault::Kind::EmptyAnswer : Fault::Kind::ShortAnswer;
        f.times = 1;
        if (!Command(parts[0], true, &f)) return bad("want Q<n> or *");
    }
    else if (kind == "short-read" || kind == "unplug-after")
    {
        f.kind = kind == "short-read" ? Fault::Kind::ShortRead : Fault::Kind::UnplugAfter;
        if (kind == "short-read") f.times = 1;
        if (!Number(parts[0], 0xFFFFFFFFFFull, &n)) return bad("want a byte count");
        f.bytes = n;
    }
    else if (kind == "flip-data" || kind == "flip-code")
    {
        f.kind = kind == "flip-data" ? Fault::Kind::FlipData : Fault::Kind::FlipCode;
        if (!Number(parts[0], 0xFFFFFFFF, &n)) return bad("want a sector number");
        f.sector = static_cast<uint32_t>(n);
        if (f.kind == Fault::Kind::FlipData)
        {
            f.byte = 300;
            f.bit = 4;
        }
    }
    else
        return bad("unknown kind '" + kind + "'");

    for (size_t i = 1; i < parts.size(); ++i)
    {
        const size_t eq = parts[i].find('=');
        if (eq == std::string::npos) return bad("expected key=value in '" + parts[i] + "'");
        const std::string key = parts[i].substr(0, eq);
        const std::string value = parts[i].substr(eq + 1);
        const bool flip = f.kind == Fault::Kind::FlipData || f.kind == Fault::Kind::FlipCode;
        const bool counted = !flip && f.kind != Fault::Kind::UnplugAfter;
        if (key == "skip" && counted && Number(value, 0xFFFFFFFF, &n))
            f.skip = static_cast<uint32_t>(n);
        else if (key == "times" && counted && Number(value, 0xFFFFFFFF, &n))
            f.times = static_cast<uint32_t>(n);
        else if (key == "error" && f.kind == Fault::Kind::FailCommand &&
                 Number(value, 0xFFFFFFFF, &n) && n != 0)
            f.error = static_cast<uint32_t>(n);
        else if (key == "byte" && flip &&
                 Number(value, f.kind == Fault::Kind::FlipData ? 511 : 2, &n))
            f.byte = static_cast<uint32_t>(n);
        else if (key == "bit" && flip && Number(value, 7, &n))
            f.bit = static_cast<uint32_t>(n);
        else if (key == "record" && flip && Number(value, 65535, &n))
            f.record = static_cast<int>(n);
        else
            return bad("option '" + parts[i] + "' not valid here");
    }
    return f;
}

} // namespace recorder

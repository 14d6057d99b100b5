#include "params_keys.h"

#include <cstdio>
#include <cstdlib>

namespace cli
{

namespace
{

struct Named
{
    const char* name;
    uint8_t code;
};
constexpr Named kButtonModes[] = {{"erase", 0}, {"locked", 1}, {"playback", 2}};
// The sources in the recorder link's order of choices.
constexpr const char* kSourceNames[vark::source::kChoices] = {"none", "internal-mic",
                                                              "external-mic", "line"};

std::string SourceName(const uint8_t (&codes)[vark::source::kChoices], uint8_t code)
{
    return kSourceNames[vark::source::ChoiceOf(codes, code)];
}

bool SourceCode(const uint8_t (&codes)[vark::source::kChoices], const std::string& name,
                uint8_t& code)
{
    for (int i = 0; i < vark::source::kChoices; ++i)
        if (name == kSourceNames[i])
        {
            code = codes[i];
            return true;
        }
    return false;
}

template <size_t N> std::string NameOf(const Named (&table)[N], int code)
{
    for (const auto& n : table)
        if (n.code == code) return n.name;
    return "none"; // any other code shows as "none"
}

template <size_t N> bool CodeOf(const Named (&table)[N], const std::string& name, uint8_t& code)
{
    for (const auto& n : table)
        if (name == n.name)
        {
            code = n.code;
            return true;
        }
    return false;
}

std::string OnOff(uint32_t v)
{
    return v ? "on" : "off";
}

bool ParseOnOff(const std::string& s, uint32_t& v)
{
    if (s == "on" || s == "1" || s == "yes") return v = 1, true;
    if (s == "off" || s == "0" || s == "no") return v = 0, true;
    return false;
}

bool ParseNumber(const std::string& s, long min, long max, long& v)
{
    char* end = nullptr;
    v = std::strtol(s.c_str(), &end, 10);
    return !s.empty() && *end == 0 && v >= min && v <= max;
}

std::string SpanText(double days, uint32_t status)
{
    if (status != 0) return "invalid";
    const platform::AutoSpan span(days);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:", span.TotalHours());
    return buf + span.Format("%M:%S");
}

bool ParseSpan(const std::string& s, double& days)
{
    int h, m, sec = 0;
    char tail;
    const int n = std::sscanf(s.c_str(), "%d:%d:%d%c", &h, &m, &sec, &tail);
    if ((n != 2 && n != 3) || h < 0 || m < 0 || m > 59 || sec < 0 || sec > 59) return false;
    days = platform::AutoSpan::FromParts(0, h, m, sec).Days();
    return platform::AutoSpan(days).IsValid();
}

bool ParseDate(const std::string& s, double& days)
{
    int y, mo, d, h, mi, sec;
    char tail;
    if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &sec, &tail) != 6)
        return false;
    const auto date = platform::AutoDate::FromParts(y, mo, d, h, mi, sec);
    days = date.Days();
    return date.IsValid();
}

} // namespace

std::vector<std::pair<std::string, std::string>> ParamsToKeys(const vark::VarkParams& p)
{
    std::vector<std::pair<std::string, std::string>> k;
    k.emplace_back("compression", OnOff(p.compression));
    k.emplace_back("channels", p.stereo ? "stereo" : "mono");
    k.emplace_back("rate", p.rate16k ? "16000" : "8000");
    k.emplace_back("source-left", SourceName(vark::source::kLeftCodes, p.sourceLeft));
    k.emplace_back("source-right", SourceName(vark::source::kRightCodes, p.sourceRight));
    for (int i = 0; i < vark::kTimerCount; ++i)
    {
        const auto& t = p.timers[i];
        const std::string n = "timer" + std::to_string(i + 1);
        k.emplace_back(n + ".enabled", OnOff(t.enabled));
        k.emplace_back(n + ".start", t.startStatus
                                         ? "invalid"
                                         : platform::AutoDate(t.start).Format("%Y-%m-%d %H:%M:%S"));
        k.emplace_back(n + ".duration", SpanText(t.duration, t.durationStatus));
    }
    k.emplace_back("voice-activation", OnOff(p.accuEnabled));
    k.emplace_back("voice-threshold", std::to_string(p.accuThreshold));
    k.emplace_back("loop", OnOff(p.ringEnabled));
    k.emplace_back("loop-length", SpanText(p.ringLength, p.ringLengthStatus));
    k.emplace_back("button-mode", NameOf(kButtonModes, p.buttonMode));
    k.emplace_back("record-button", OnOff(p.recordButton));
    k.emplace_back("agc", OnOff(p.agc));
    k.emplace_back("input-level", std::to_string(p.inputLevelLeft));
    k.emplace_back("input-level-right", std::to_string(p.inputLevelRight));
    return k;
}

bool SetParamKey(vark::VarkParams& p, const std::string& key, const std::string& value,
                 std::string& error)
{
    uint32_t flag = 0;
    long number = 0;
    uint8_t code = 0;
    double days = 0;
    const auto bad = [&](const char* expected)
    {
        error = "bad value for " + key + ": \"" + value + "\" (expected " + expected + ")";
        return false;
    };
    if (key == "compression")
    {
        if (!ParseOnOff(value, flag)) return bad("on|off");
        p.compression = static_cast<uint8_t>(flag);
    }
    else if (key == "channels")
    {
        if (value != "mono" && value != "stereo") return bad("mono|stereo");
        p.stereo = value == "stereo";
    }
    else if (key == "rate")
    {
        if (value != "8000" && value != "16000") return bad("8000|16000");
        p.rate16k = value == "16000";
    }
    else if (key == "source-left")
    {
        if (!SourceCode(vark::source::kLeftCodes, value, code))
            return bad("none|internal-mic|external-mic|line");
        p.sourceLeft = code;
    }
    else if (key == "source-right")
    {
        if (!SourceCode(vark::source::kRightCodes, value, code))
            return bad("none|internal-mic|external-mic|line");
        p.sourceRight = code;
    }
    else if (key.rfind("timer", 0) == 0 && key.size() > 7 && key[5] >= '1' && key[5] <= '5' &&
             key[6] == '.')
    {
        auto& t = p.timers[key[5] - '1'];
        const std::string field = key.substr(7);
        if (field == "enabled")
        {
            if (!ParseOnOff(value, flag)) return bad("on|off");
            t.enabled = flag;
        }
        else if (field == "start")
        {
            if (!ParseDate(value, days)) return bad("YYYY-MM-DD HH:MM:SS");
            t.start = days;
            t.startStatus = 0;
        }
        else if (field == "duration")
        {
            if (!ParseSpan(value, days)) return bad("H:MM or H:MM:SS");
            t.duration = days;
            t.durationStatus = 0;
        }
        else
        {
            error = "unknown key: " + key;
            return false;
        }
    }
    else if (key == "voice-activation")
    {
        if (!ParseOnOff(value, flag)) return bad("on|off");
        p.accuEnabled = flag;
    }
    else if (key == "voice-threshold")
    {
        if (!ParseNumber(value, 0, 120, number)) return bad("0..120");
        p.accuThreshold = static_cast<uint16_t>(number);
    }
    else if (key == "loop")
    {
        if (!ParseOnOff(value, flag)) return bad("on|off");
        p.ringEnabled = flag;
    }
    else if (key == "loop-length")
    {
        if (!ParseSpan(value, days) || days <= 0) return bad("H:MM, not 0:00");
        p.ringLength = days;
        p.ringLengthStatus = 0;
    }
    else if (key == "button-mode")
    {
        if (!CodeOf(kButtonModes, value, code)) return bad("erase|locked|playback");
        p.buttonMode = code;
    }
    else if (key == "record-button")
    {
        if (!ParseOnOff(value, flag)) return bad("on|off");
        p.recordButton = flag;
    }
    else if (key == "agc")
    {
        if (!ParseOnOff(value, flag)) return bad("on|off");
        p.agc = static_cast<uint8_t>(flag);
    }
    else if (key == "input-level")
    {
        if (!ParseNumber(value, 0, 31, number)) return bad("0..31");
        p.inputLevelLeft = static_cast<uint8_t>(number);
    }
    else
    {
        error = "unknown key: " + key + (key == "input-level-right" ? " (read only)" : "");
        return false;
    }
    return true;
}

} // namespace cli

#include "chain_options.h"

#include "commands.h"
#include "movra/movra.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace varkaudio
{

const char kChainUsage[] = "[--denoiser MODE,LEVEL] [--agc LEVEL] [--speech-search THRESHOLD] "
                           "[--stretch STEP] [--filter LOW,HIGH]";

bool ParseLong(const std::string& text, long& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool ParseDouble(const std::string& text, double& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

bool Split(const std::string& text, char sep, std::string& a, std::string& b)
{
    const size_t at = text.find(sep, 1);
    if (at == std::string::npos) return false;
    a = text.substr(0, at);
    b = text.substr(at + 1);
    return true;
}

namespace
{

// A whole number within [low, high]; otherwise a complaint that names the range.
bool InRange(const std::string& option, const std::string& value, long low, long high,
             const char* what, long& n)
{
    if (ParseLong(value, n) && n >= low && n <= high) return true;
    Complain("bad value for " + option + ": \"" + value + "\" (" + what + ", " +
             std::to_string(low) + ".." + std::to_string(high) + ")");
    return false;
}

} // namespace

Taken ParseChainOption(const std::string& name, const std::string& value, ChainOptions& o)
{
    long n = 0;
    if (name == "--denoiser")
    {
        std::string a, b;
        long mode = 0, level = 0;
        if (!Split(value, ',', a, b) || !ParseLong(a, mode) || (mode != 0 && mode != 1))
        {
            Complain("bad value for --denoiser: \"" + value +
                     "\" (MODE,LEVEL: mode 0 telephone line or 1 microphone, level 6000..36000)");
            return Taken::wrong;
        }
        if (!InRange(name, b, 6000, 36000, "the level is the suppression depth x 1000", level))
            return Taken::wrong;
        o.denoiser = {mode, level};
        return Taken::yes;
    }
    if (name == "--agc")
    {
        if (!InRange(name, value, 1, 96, "the gain limit in dB", n)) return Taken::wrong;
        o.agc = n;
        return Taken::yes;
    }
    if (name == "--speech-search")
    {
        if (!InRange(name, value, 300, 2000, "the detection threshold", n)) return Taken::wrong;
        o.speechSearch = n;
        return Taken::yes;
    }
    if (name == "--stretch")
    {
        if (!InRange(name, value, -7, 6, "the speed step, negative slower, positive faster", n))
            return Taken::wrong;
        o.stretch = n;
        return Taken::yes;
    }
    if (name == "--filter")
    {
        std::string a, b;
        double low = 0, high = 0;
        if (!Split(value, ',', a, b) || !ParseDouble(a, low) || !ParseDouble(b, high))
        {
            Complain("bad value for --filter (LOW,HIGH in dB): " + value);
            return Taken::wrong;
        }
        o.filter = {low, high};
        return Taken::yes;
    }
    return Taken::no;
}

void ApplyChainOptions(MOVRA& core, const ChainOptions& o)
{
    if (o.denoiser)
    {
        core.CDenoiser(o.denoiser->first, o.denoiser->second);
        core.CObject(MOVRA::OBJ_ID_DENOISER, 1);
    }
    if (o.agc)
    {
        core.CAgc(*o.agc);
        core.CObject(MOVRA::OBJ_ID_AGC, 1);
    }
    if (o.speechSearch)
    {
        core.CSpeechSearch(*o.speechSearch);
        core.CObject(MOVRA::OBJ_ID_SPEECHSEARCH, 1);
    }
    if (o.stretch) core.CStretcher(*o.stretch);
    if (o.filter)
    {
        core.CSetLowFreqGain(o.filter->first);
        core.CSetHighFreqGain(o.filter->second);
        core.CObject(MOVRA::OBJ_ID_HLFILTER, 1);
    }
}

} // namespace varkaudio

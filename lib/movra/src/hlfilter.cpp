#include "movra/hlfilter.h"

#include "movra/object_ids.h"
#include "platform/profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace
{

const char kSection[] = "HLFILTER";
const char kLowKey[] = "LOW_FREQ_GAIN";
const char kHighKey[] = "HIGH_FREQ_GAIN";

double ReadGain(const std::string& file, const char* key)
{
    const auto text = platform::ProfileReadString(file, kSection, key);
    if (!text) return 0.0;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    return end != text->c_str() && std::isfinite(v) ? v : 0.0;
}

void WriteGain(const std::string& file, const char* key, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    platform::ProfileWriteString(file, kSection, key, text);
}

} // namespace

bool BIQUAD::Design(int type, double frequency, double rate, double gainDb, double q)
{
    // A corner at or above half the rate has no meaning and would make an unstable section.
    if (!(frequency > 0) || !(q > 0) || !(rate > 0) || frequency >= rate / 2) return false;
    const double A = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2 * std::numbers::pi * frequency / rate;
    const double cs = std::cos(w0), sn = std::sin(w0);
    double alpha = sn / (2 * q);
    double nb0, nb1, nb2, na0, na1, na2;
    switch (type)
    {
    case LOWPASS:
        nb0 = (1 - cs) / 2, nb1 = 1 - cs, nb2 = (1 - cs) / 2;
        na0 = 1 + alpha, na1 = -2 * cs, na2 = 1 - alpha;
        break;
    case HIGHPASS:
        nb0 = (1 + cs) / 2, nb1 = -(1 + cs), nb2 = (1 + cs) / 2;
        na0 = 1 + alpha, na1 = -2 * cs, na2 = 1 - alpha;
        break;
    case BANDPASS:
        nb0 = alpha, nb1 = 0, nb2 = -alpha;
        na0 = 1 + alpha, na1 = -2 * cs, na2 = 1 - alpha;
        break;
    case NOTCH:
        nb0 = 1, nb1 = -2 * cs, nb2 = 1;
        na0 = 1 + alpha, na1 = -2 * cs, na2 = 1 - alpha;
        break;
    case PEAKING:
        nb0 = 1 + alpha * A, nb1 = -2 * cs, nb2 = 1 - alpha * A;
        na0 = 1 + alpha / A, na1 = -2 * cs, na2 = 1 - alpha / A;
        break;
    case LOWSHELF:
    case HIGHSHELF:
    {
        // For shelves q is the slope S.
        alpha = sn / 2 * std::sqrt((A + 1 / A) * (1 / q - 1) + 2);
        const double t = 2 * std::sqrt(A) * alpha;
        if (type == LOWSHELF)
        {
            nb0 = A * ((A + 1) - (A - 1) * cs + t);
            nb1 = 2 * A * ((A - 1) - (A + 1) * cs);
            nb2 = A * ((A + 1) - (A - 1) * cs - t);
            na0 = (A + 1) + (A - 1) * cs + t;
            na1 = -2 * ((A - 1) + (A + 1) * cs);
            na2 = (A + 1) + (A - 1) * cs - t;
        }
        else
        {
            nb0 = A * ((A + 1) + (A - 1) * cs + t);
            nb1 = -2 * A * ((A - 1) + (A + 1) * cs);
            nb2 = A * ((A + 1) + (A - 1) * cs - t);
            na0 = (A + 1) - (A - 1) * cs + t;
            na1 = 2 * ((A - 1) - (A + 1) * cs);
            na2 = (A + 1) - (A - 1) * cs - t;
        }
        break;
    }
    default:
        return false;
    }
    b0 = nb0 / na0, b1 = nb1 / na0, b2 = nb2 / na0;
    a1 = na1 / na0, a2 = na2 / na0;
    return true;
}

OBJ_HLFILTER::OBJ_HLFILTER(std::string settingsFile)
    : BASEOBJECT(movra_object::OBJ_ID_HLFILTER), settingsFile_(std::move(settingsFile))
{
    lowGain_ = ReadGain(settingsFile_, kLowKey);
    highGain_ = ReadGain(settingsFile_, kHighKey);
    Rebuild(rate_, channels_);
}

void OBJ_HLFILTER::NotifyState()
{
    Host().OnHLFilter(lowGain_, highGain_);
}

void OBJ_HLFILTER::SetLowGain(double gainDb)
{
    if (!std::isfinite(gainDb) || gainDb == lowGain_) return;
    lowGain_ = gainDb;
    WriteGain(settingsFile_, kLowKey, gainDb);
    Redesign();
    NotifyState();
}

void OBJ_HLFILTER::SetHighGain(double gainDb)
{
    if (!std::isfinite(gainDb) || gainDb == highGain_) return;
    highGain_ = gainDb;
    WriteGain(settingsFile_, kHighKey, gainDb);
    Redesign();
    NotifyState();
}

void OBJ_HLFILTER::Redesign()
{
    // Coefficients change, histories stay: a gain change mid-play does not click.
    for (unsigned long c = 0; c < channels_; ++c)
    {
        low_[c].Design(BIQUAD::LOWSHELF, kLowShelfHz, rate_, lowGain_, 1.0);
        high_[c].Design(BIQUAD::HIGHSHELF, kHighShelfHz, rate_, highGain_, 1.0);
    }
}

void OBJ_HLFILTER::Rebuild(long rate, unsigned long channels)
{
    rate_ = rate;
    channels_ = channels;
    low_.assign(channels, BIQUAD{});
    high_.assign(channels, BIQUAD{});
    Redesign();
}

long OBJ_HLFILTER::Process(SMSG& msg)
{
    if (!IsEnabled() || msg.channels == 0 || msg.rate <= 0) return TONEXT;
    if (msg.rate != rate_ || msg.channels != channels_) Rebuild(msg.rate, msg.channels);
    const size_t frames = msg.Frames();
    for (unsigned long c = 0; c < channels_; ++c)
    {
        int16_t* s = msg.Channel(c);
        BIQUAD& lo = low_[c];
        BIQUAD& hi = high_[c];
        for (size_t f = 0; f < frames; ++f)
        {
            const double y = std::round(hi.Step(lo.Step(s[f])));
            // Absurd gains can overflow to NaN; silence then rather than an undefined cast.
            s[f] = std::isnan(y) ? 0 : static_cast<int16_t>(std::clamp(y, -32768.0, 32767.0));
        }
    }
    if (msg.eof)
        for (unsigned long c = 0; c < channels_; ++c)
            low_[c].ClearHistory(), high_[c].ClearHistory();
    return TONEXT;
}

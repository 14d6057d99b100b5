#include "device/vark_params.h"

#include "platform/little_endian.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace vark
{

namespace
{

// Field writers and readers at byte offsets of the record, little-endian.
class Writer
{
public:
    explicit Writer(uint8_t* p) : p_(p) {}
    void U8(size_t at, uint8_t v) { p_[at] = v; }
    void U16(size_t at, uint16_t v) { platform::StoreLE16(p_ + at, v); }
    void U32(size_t at, uint32_t v) { platform::StoreLE32(p_ + at, v); }
    void F64(size_t at, double v) { platform::StoreLEDouble(p_ + at, v); }
    void Bytes(size_t at, const uint8_t* src, size_t n) { std::memcpy(p_ + at, src, n); }

private:
    uint8_t* p_;
};

class Reader
{
public:
    explicit Reader(const uint8_t* p) : p_(p) {}
    uint8_t U8(size_t at) const { return p_[at]; }
    uint16_t U16(size_t at) const { return platform::LoadLE16(p_ + at); }
    uint32_t U32(size_t at) const { return platform::LoadLE32(p_ + at); }
    double F64(size_t at) const { return platform::LoadLEDouble(p_ + at); }
    void Bytes(size_t at, uint8_t* dst, size_t n) const { std::memcpy(dst, p_ + at, n); }

private:
    const uint8_t* p_;
};

constexpr size_t kTimersOffset = 8, kTimerSize = 28;
constexpr double kHalfSecondDays = 5.787037037037037e-6;

bool DaysToSeconds(double days, uint32_t& seconds)
{
    days += days < 0 ? -kHalfSecondDays : kHalfSecondDays;
    const double s = std::trunc(days * 86400.0);
    // The wire holds unsigned seconds: before the recorder's epoch (or a negative span) and
    // beyond 32 bits the value cannot be sent.
    if (!(s >= 0.0 && s <= 4294967295.0)) return false;
    seconds = static_cast<uint32_t>(static_cast<int64_t>(s));
    return true;
}

} // namespace

VarkParamsBytes SerializeParams(const VarkParams& v)
{
    VarkParamsBytes out{};
    Writer w(out.data());
    w.U8(0, v.compression);
    w.U8(1, v.stereo);
    w.U8(2, v.rate16k);
    w.U8(3, v.sourceLeft);
    w.U8(4, v.sourceRight);
    w.Bytes(5, v.pad5, 3);
    for (int i = 0; i < kTimerCount; ++i)
    {
        const size_t at = kTimersOffset + kTimerSize * static_cast<size_t>(i);
        const VarkTimer& t = v.timers[i];
        w.U32(at, t.enabled);
        w.F64(at + 4, t.start); // packed: the double sits at offset 4 of the timer
        w.U32(at + 12, t.startStatus);
        w.F64(at + 16, t.duration);
        w.U32(at + 24, t.durationStatus);
    }
    w.U32(148, v.accuEnabled);
    w.U16(152, v.accuThreshold);
    w.Bytes(154, v.pad154, 2);
    w.U32(156, v.ringEnabled);
    w.F64(160, v.ringLength);
    w.U32(168, v.ringLengthStatus);
    w.U32(172, static_cast<uint32_t>(v.buttonMode));
    w.U32(176, v.recordButton);
    w.U8(180, v.agc);
    w.U8(181, v.inputLevelLeft);
    w.U8(182, v.inputLevelRight);
    w.U8(183, v.pad183);
    return out;
}

VarkParams DeserializeParams(const uint8_t* bytes)
{
    VarkParams v;
    Reader r(bytes);
    v.compression = r.U8(0);
    v.stereo = r.U8(1);
    v.rate16k = r.U8(2);
    v.sourceLeft = r.U8(3);
    v.sourceRight = r.U8(4);
    r.Bytes(5, v.pad5, 3);
    for (int i = 0; i < kTimerCount; ++i)
    {
        const size_t at = kTimersOffset + kTimerSize * static_cast<size_t>(i);
        VarkTimer& t = v.timers[i];
        t.enabled = r.U32(at);
        t.start = r.F64(at + 4);
        t.startStatus = r.U32(at + 12);
        t.duration = r.F64(at + 16);
        t.durationStatus = r.U32(at + 24);
    }
    v.accuEnabled = r.U32(148);
    v.accuThreshold = r.U16(152);
    r.Bytes(154, v.pad154, 2);
    v.ringEnabled = r.U32(156);
    v.ringLength = r.F64(160);
    v.ringLengthStatus = r.U32(168);
    v.buttonMode = static_cast<int32_t>(r.U32(172));
    v.recordButton = r.U32(176);
    v.agc = r.U8(180);
    v.inputLevelLeft = r.U8(181);
    v.inputLevelRight = r.U8(182);
    v.pad183 = r.U8(183);
    return v;
}

bool operator==(const VarkParams& a, const VarkParams& b)
{
    return SerializeParams(a) == SerializeParams(b);
}

bool DateToRecorderTime(const platform::AutoDate& date, uint32_t& seconds)
{
    if (!date.IsValid()) return false;
    return DaysToSeconds(date.Linear() - kRecorderEpochDays, seconds);
}

bool SpanToRecorderSeconds(const platform::AutoSpan& span, uint32_t& seconds)
{
    if (!span.IsValid()) return false;
    return DaysToSeconds(span.Days(), seconds);
}

platform::AutoDate RecorderTimeToDate(uint32_t seconds)
{
    return platform::AutoDate(kRecorderEpochDays + seconds / 86400.0);
}

platform::AutoSpan RecorderSecondsToSpan(uint32_t seconds)
{
    return platform::AutoSpan(seconds / 86400.0);
}

uint8_t EncodeInputLevel(uint8_t level)
{
    return level == 0 ? 31 : static_cast<uint8_t>(level - 1);
}
uint8_t DecodeInputLevel(uint8_t wire)
{
    return wire == 31 ? 0 : static_cast<uint8_t>(wire + 1);
}

int source::ChoiceOf(const uint8_t (&codes)[kChoices], uint8_t code)
{
    for (int i = 0; i < kChoices; ++i)
        if (codes[i] == code) return i;
    return 0;
}

uint32_t BytesPerSecond(const VarkParams& p)
{
    return (2u - (p.compression ? 1u : 0u)) * (p.rate16k ? 16000u : 8000u) * (p.stereo ? 2u : 1u);
}

} // namespace vark

#include "movra/stretch_engine.h"

#include <algorithm>

namespace
{
struct Pattern
{
    int entries[8];
    int size;
};

// Indexed by step + 7.
constexpr Pattern kPatterns[14] = {
    {{3}, 1},
    {{3, 2}, 2},
    {{2}, 1},
    {{2, 2, 2, 1}, 4},
    {{2, 1}, 2},
    {{2, 1, 1, 1}, 4},
    {{2, 1, 1, 1, 1, 1, 1, 1}, 8},
    {{1}, 1},
    {{-1, 1, 1, 1, 1, 1, 1, 1}, 8},
    {{-1, 1, 1, 1, 1}, 5},
    {{-1, 1, 1}, 3},
    {{-1, 1}, 2},
    {{-1, 1, -1, -1, 1}, 5},
    {{-1, -1, 1}, 3},
};

constexpr int kVoteLimit = 1000;
constexpr int kPeakLevel = 1000;
constexpr int kSwitchVotes = 10;
// The pitch range of speech the periods are searched in: the shortest period is a 395 Hz
// voice's, the longest a 91 Hz voice's.
constexpr int kHighestPitchHz = 395, kLowestPitchHz = 91;

const Pattern& PatternAt(int step)
{
    return kPatterns[step - STRETCH_ENGINE::kMinStep];
}

int16_t Smooth(int16_t first, int16_t second, int16_t last)
{
    return static_cast<int16_t>(((last + second) / 2 + first) / 2);
}
} // namespace

STRETCH_ENGINE::STRETCH_ENGINE()
{
    Reinit(10000);
}

bool STRETCH_ENGINE::Reinit(int rate)
{
    Reset();
    const int minP = rate / kHighestPitchHz, maxP = rate / kLowestPitchHz;
    const size_t window = static_cast<size_t>(maxP + 8 * minP);
    if (rate < 1000 || window > kInputSize) return false;
    rate_ = rate;
    minPeriod_ = minP;
    maxPeriod_ = maxP;
    window_ = window;
    return true;
}

void STRETCH_ENGINE::Reset()
{
    inFill_ = outFill_ = 0;
    entry_ = 0;
    vote_ = 0;
    lastSign_ = 1;
    peakOffset_ = 0;
    haveLast_ = false;
    last_ = 0;
}

void STRETCH_ENGINE::SetStep(int step)
{
    step_ = std::clamp(step, kMinStep, kMaxStep);
    entry_ = 0;
}

double STRETCH_ENGINE::SpeedOf(int step)
{
    const Pattern& p = PatternAt(std::clamp(step, kMinStep, kMaxStep));
    int played = 0;
    for (int i = 0; i < p.size; ++i)
        played += std::max(0, p.entries[i]);
    return static_cast<double>(p.size) / played;
}

std::vector<int> STRETCH_ENGINE::PatternOf(int step)
{
    const Pattern& p = PatternAt(std::clamp(step, kMinStep, kMaxStep));
    return std::vector<int>(p.entries, p.entries + p.size);
}

void STRETCH_ENGINE::Process(const int16_t* mono, size_t count, std::vector<int16_t>& out)
{
    if (window_ == 0) return;
    while (count > 0)
    {
        const size_t take = std::min(count, kInputSize - inFill_);
        std::copy(mono, mono + take, in_.begin() + static_cast<std::ptrdiff_t>(inFill_));
        inFill_ += take;
        mono += take;
        count -= take;
        while (inFill_ >= window_)
        {
            const size_t length = FindPeriodEnd(window_);
            Play(length, out);
            Consume(length);
        }
    }
    Unload(out);
}

void STRETCH_ENGINE::Flush(std::vector<int16_t>& out)
{
    // Shorter windows at the end: periods while at least a maximum one can be searched, then
    // the rest as one piece.
    while (inFill_ >= static_cast<size_t>(maxPeriod_ + minPeriod_))
    {
        const size_t length = FindPeriodEnd(inFill_);
        Play(length, out);
        Consume(length);
    }
    if (inFill_ > 0) Play(inFill_, out);
    Unload(out);
    const int step = step_;
    Reset();
    step_ = step;
}

size_t STRETCH_ENGINE::FindPeriodEnd(size_t available)
{
    // The side in use changes only when the vote has gone well over to the other one: with
    // peaks of about equal size on both sides the vote hovers near zero, and each change of
    // side shifts the cut by half a period.
    const int wanted = vote_ >= kSwitchVotes ? 1 : vote_ <= -kSwitchVotes ? -1 : lastSign_;
    if (wanted != lastSign_)
    {
        lastSign_ = wanted;
        peakOffset_ = 0; // the peaks of the other side are not known yet
    }
    const int sign = lastSign_;
    // The next peak is searched one minimum period after the last one (which lies
    // peakOffset_ after the buffer start), so a long lobe between the zero crossing and its
    // peak does not shift the search.
    const size_t minP = static_cast<size_t>(minPeriod_);
    const size_t low = peakOffset_ + minP;
    if (low + 1 >= available)
    {
        peakOffset_ = 0;
        return std::min(static_cast<size_t>(maxPeriod_), available);
    }
    size_t high = std::min(peakOffset_ + static_cast<size_t>(maxPeriod_), available - 1);
    size_t peak = 0;
    int best = 0;
    for (int extension = 0; extension <= 8; ++extension)
    {
        for (size_t i = low; i <= high; ++i)
        {
            const int v = sign * in_[i];
            if (v > best)
            {
                best = v;
                peak = i;
            }
        }
        if (peak != 0 || high + 1 >= available) break;
        high = std::min(high + minP, available - 1); // nothing of that polarity: look further
    }
    size_t end = std::min(static_cast<size_t>(maxPeriod_), available);
    peakOffset_ = 0;
    if (peak != 0)
    {
        // Back to the zero crossing before the peak.
        end = peak;
        while (end > 1 && sign * in_[end - 1] > 0)
            --end;
        if (end < minP / 2) end = peak; // one long lobe from the start: cut at the peak itself
        peakOffset_ = peak - end;
    }
    end = std::max<size_t>(end, 1);
    Vote(end);
    return end;
}

void STRETCH_ENGINE::Vote(size_t length)
{
    int positive = 0, negative = 0;
    for (size_t i = 0; i < length; ++i)
    {
        positive = std::max(positive, static_cast<int>(in_[i]));
        negative = std::max(negative, -static_cast<int>(in_[i]));
    }
    if (positive > kPeakLevel && positive >= negative)
        vote_ = std::min(kVoteLimit, vote_ + 1);
    else if (negative > kPeakLevel)
        vote_ = std::max(-kVoteLimit, vote_ - 1);
}

void STRETCH_ENGINE::Play(size_t length, std::vector<int16_t>& out)
{
    const Pattern& p = PatternAt(step_);
    const int k = p.entries[entry_ % static_cast<size_t>(p.size)];
    entry_ = (entry_ + 1) % static_cast<size_t>(p.size);
    if (k < 1) return; // dropped
    const int16_t* period = in_.data();
    const int16_t second = length > 1 ? period[1] : period[0];
    for (int copy = 0; copy < k; ++copy)
    {
        if (kOutputSize - outFill_ < length) Unload(out); // wait for room
        int16_t* dst = out_.data() + outFill_;
        std::copy(period, period + length, dst);
        if (copy == 0 && step_ > 0 && haveLast_)
            dst[0] = Smooth(period[0], second, last_);
        else if (copy > 0)
            dst[0] = Smooth(period[0], second, period[length - 1]);
        outFill_ += length;
        last_ = dst[length - 1];
        haveLast_ = true;
    }
}

void STRETCH_ENGINE::Unload(std::vector<int16_t>& out)
{
    out.insert(out.end(), out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outFill_));
    outFill_ = 0;
}

void STRETCH_ENGINE::Consume(size_t length)
{
    std::copy(in_.begin() + static_cast<std::ptrdiff_t>(length),
              in_.begin() + static_cast<std::ptrdiff_t>(inFill_), in_.begin());
    inFill_ -= length;
}

#include "movra/agc_engine.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kFrameMs = 25.6;
constexpr int kMeanHalves = 30;      // the level the gain aims at: about 0.38 s
constexpr int kPeakHalves = 28;      // the output frame and the 13 frames ahead of it
constexpr double kPeakHeadroom = 4;  // loudest half frame may reach 4 x the target
constexpr double kFullScale = 32000; // what the loudest sample ahead may be raised to
constexpr double kSpike = 4;         // a half frame this far above both neighbours is a click
} // namespace

AGC_ENGINE::AGC_ENGINE()
{
    Reinit(8000);
}

bool AGC_ENGINE::Reinit(int rate)
{
    if (rate < kMinRate || rate > kMaxRate) return false;
    rate_ = rate;
    frame_ = static_cast<size_t>(rate * kFrameMs / 1000);
    delay_.assign(frame_ * kDelayFrames, 0);
    partial_.assign(frame_, 0);
    SetLevel(level_);
    Reset();
    return true;
}

void AGC_ENGINE::SetLevel(int levelDb)
{
    level_ = std::clamp(levelDb, 1, 96);
    maxGain_ = std::pow(10.0, level_ / 20.0);
    rise_ = std::pow(10.0, level_ / (20.0 * 1000.0 / kFrameMs));
    quietThreshold_ = std::pow(10.0, std::max(30, level_) / 20.0);
}

void AGC_ENGINE::Reset()
{
    std::fill(delay_.begin(), delay_.end(), 0);
    std::fill(std::begin(envelope_), std::end(envelope_), 0.0);
    std::fill(std::begin(peaks_), std::end(peaks_), 0);
    partialFill_ = 0;
    newest_ = 0;
    realFrames_ = 0;
    gain_ = applied_ = kStartGain;
    quietFrames_ = 0;
}

void AGC_ENGINE::Process(const int16_t* in, size_t count, std::vector<int16_t>& out)
{
    while (count > 0)
    {
        const size_t take = std::min(count, frame_ - partialFill_);
        std::copy(in, in + take, partial_.begin() + static_cast<std::ptrdiff_t>(partialFill_));
        partialFill_ += take;
        in += take;
        count -= take;
        if (partialFill_ == frame_)
        {
            partialFill_ = 0;
            realFrames_ = std::min<size_t>(realFrames_ + 1, kDelayFrames);
            Frame(out, frame_);
        }
    }
}

void AGC_ENGINE::Flush(std::vector<int16_t>& out)
{
    if (realFrames_ == 0 && partialFill_ == 0)
    {
        Reset();
        return;
    }
    // The partial frame goes in padded with silence; then silence pushes the 13 frames that
    // wait in the line out, the padded frame last, cut to its real length.
    const size_t held = partialFill_;
    if (held > 0)
    {
        std::fill(partial_.begin() + static_cast<std::ptrdiff_t>(held), partial_.end(), 0);
        Frame(out, frame_);
    }
    for (int i = 0; i < kDelayFrames - 1; ++i)
    {
        std::fill(partial_.begin(), partial_.end(), 0);
        const bool last = i == kDelayFrames - 2;
        Frame(out, last && held > 0 ? held : frame_);
    }
    Reset();
}

void AGC_ENGINE::Frame(std::vector<int16_t>& out, size_t keep)
{
    // Measure the new frame: two half-frame mean absolute values into the envelope.
    const size_t half = frame_ / 2;
    double sums[2] = {0, 0};
    for (size_t i = 0; i < frame_; ++i)
        sums[i < half ? 0 : 1] += std::abs(static_cast<int>(partial_[i]));

    // Into the delay line; the slot after it holds the frame 13 frames older, which goes out.
    newest_ = (newest_ + 1) % kDelayFrames;
    std::copy(partial_.begin(), partial_.end(),
              delay_.begin() + static_cast<std::ptrdiff_t>(newest_ * frame_));
    int peak = 0;
    for (int16_t v : partial_)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    peaks_[newest_] = peak;

    std::move(std::begin(envelope_) + 2, std::end(envelope_), std::begin(envelope_));
    envelope_[kEnvelopeHalves - 2] = sums[0] / static_cast<double>(std::max<size_t>(half, 1));
    envelope_[kEnvelopeHalves - 1] = sums[1] / static_cast<double>(frame_ - half);
    for (int i = kEnvelopeHalves - 3; i <= kEnvelopeHalves - 2; ++i)
    {
        const double around = std::max(envelope_[i - 1], envelope_[i + 1]);
        if (envelope_[i] > kSpike * around && envelope_[i] > 100)
        {
            // A click: it must not pull the gain down, so its frame's peak is scaled back
            // with its envelope value and the limiter takes the click itself.
            const double corrected = (envelope_[i - 1] + envelope_[i + 1]) / 2;
            const size_t slot =
                i == kEnvelopeHalves - 2 ? newest_ : (newest_ + kDelayFrames - 1) % kDelayFrames;
            peaks_[slot] = static_cast<int>(peaks_[slot] * corrected / envelope_[i]);
            envelope_[i] = corrected;
        }
    }
    const size_t outSlot = (newest_ + 1) % kDelayFrames;
    const int16_t* src = delay_.data() + outSlot * frame_;

    const double from = applied_;
    gain_ = ChooseGain();
    // The gain at the end of this frame also starts the next one: neither may be driven past
    // full scale. Normally the look-ahead in ChooseGain has brought the gain down already.
    const int nearPeak = std::max(peaks_[outSlot], peaks_[(outSlot + 1) % kDelayFrames]);
    if (nearPeak > 0) gain_ = std::min(gain_, kFullScale / nearPeak);
    applied_ = gain_;
    // Ramp across the frame so a gain step makes no click.
    const size_t base = out.size();
    out.resize(base + keep);
    for (size_t i = 0; i < keep; ++i)
    {
        const double g = from + (gain_ - from) * static_cast<double>(i + 1) / frame_;
        const double v = std::round(src[i] * g);
        out[base + i] = static_cast<int16_t>(std::clamp(v, -32766.0, 32767.0));
    }
}

double AGC_ENGINE::ChooseGain()
{
    double mean = 0, peak = 0;
    for (int i = kEnvelopeHalves - kMeanHalves; i < kEnvelopeHalves; ++i)
        mean += envelope_[i];
    mean /= kMeanHalves;
    for (int i = kEnvelopeHalves - kPeakHalves; i < kEnvelopeHalves; ++i)
        peak = std::max(peak, envelope_[i]);
    if (peak < 1) return gain_; // no signal: keep the gain

    const double byMean = kTarget / mean;
    const double byPeak = kTarget / peak;
    // When even the loudest half frame ahead would need more than the second threshold, the
    // stretch is background, not speech: do not chase it, or the noise between sentences
    // would be pumped up. Quiet speech still has peaks and is raised up to the limit.
    quietFrames_ = byPeak > quietThreshold_ ? quietFrames_ + 1 : 0;
    int samplePeak = 0;
    for (int p : peaks_)
        samplePeak = std::max(samplePeak, p);
    double wanted = std::min({byMean, kPeakHeadroom * byPeak, maxGain_});
    if (samplePeak > 0) wanted = std::min(wanted, kFullScale / samplePeak);
    if (quietFrames_ > 0) wanted = std::min(wanted, gain_);

    if (wanted >= gain_) return std::min(wanted, gain_ * rise_);
    // Falling: quickly but smoothly (the look-ahead leaves 13 frames for it), at once when the
    // level jumps by more than 20 dB.
    if (wanted < gain_ / 10) return wanted;
    return std::max(wanted, gain_ * 0.75);
}

#include "numera/speech_detector.h"

#include "numera/window.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
constexpr double kLowHz = 100, kHighHz = 1400;
// The envelope of neighbouring bins moves together, so the sum behaves like a few bins, not
// dozens: S must average enough frames that steady noise never lifts it 1.3 x above L.
constexpr double kFast = 0.85; // S: about seven frames
constexpr double kSlow = 0.98; // L: about fifty frames
constexpr double kMean = 0.98; // the long-run mean the deviation is taken from
constexpr int kWarmUp = 30;    // frames that only learn the background
} // namespace

SPEECH_DETECTOR::SPEECH_DETECTOR()
{
    Reinit(8000);
}

bool SPEECH_DETECTOR::Reinit(int rate)
{
    found_ = false;
    foundAt_ = -1;
    score_ = 0;
    fill_ = 0;
    consumed_ = 0;
    frames_ = 0;
    if (rate <= 4000) return false;
    if (rate != rate_)
    {
        rate_ = rate;
        n_ = rate <= 10000 ? 256 : rate <= 16000 ? 512 : rate <= 32000 ? 1024 : 2048;
        numera::sor_twiddle(fft_, n_);
        const int bins = n_ / 2 + 1;
        window_.resize(static_cast<size_t>(n_));
        numera::BuildHannWindow(window_.data(), n_);
        weight_.resize(static_cast<size_t>(bins));
        numera::create_temb_correct(weight_.data(), bins, rate, kLowHz, kHighHz);
        spectrum_.resize(static_cast<size_t>(n_));
        frame_.resize(static_cast<size_t>(n_));
        lowBin_ = static_cast<int>(std::ceil(kLowHz * n_ / rate));
        highBin_ = static_cast<int>(std::floor(kHighHz * n_ / rate));
        // Keep envelope detail down to about 200 Hz across.
        lifter_ = std::max(4, static_cast<int>(rate / 200.0 / 2));
    }
    const size_t band = static_cast<size_t>(highBin_ - lowBin_ + 1);
    mean_.assign(band, 0.0);
    fast_.assign(band, 0.0);
    slow_.assign(band, 0.0);
    return true;
}

void SPEECH_DETECTOR::SetThreshold(int threshold)
{
    threshold_ = std::clamp(threshold, kMinThreshold, kMaxThreshold);
}

bool SPEECH_DETECTOR::Feed(const int16_t* mono, size_t count)
{
    if (n_ == 0 || rate_ <= 4000) return false;
    const size_t half = static_cast<size_t>(n_ / 2);
    while (count > 0 && !found_)
    {
        const size_t take = std::min(count, frame_.size() - fill_);
        std::copy(mono, mono + take, frame_.begin() + static_cast<std::ptrdiff_t>(fill_));
        fill_ += take;
        mono += take;
        count -= take;
        consumed_ += static_cast<int64_t>(take);
        if (fill_ == frame_.size())
        {
            Analyse();
            if (found_) foundAt_ = consumed_ - n_;
            std::copy(frame_.begin() + static_cast<std::ptrdiff_t>(half), frame_.end(),
                      frame_.begin());
            fill_ = half;
        }
    }
    return found_;
}

void SPEECH_DETECTOR::Analyse()
{
    const int bins = n_ / 2 + 1;
    numera::FillBuf(spectrum_.data(), frame_.data(), window_.data(), n_);
    numera::sor_forward(fft_, spectrum_.data());
    std::vector<double>& s = spectrum_;
    // Weighted log power, laid out as an even sequence so that its transform is real.
    double logPower[1025]; // n / 2 + 1 for the largest frame
    for (int k = 0; k < bins; ++k)
    {
        const double re = s[static_cast<size_t>(k)];
        const double im = (k > 0 && k < n_ / 2) ? s[static_cast<size_t>(n_ - k)] : 0;
        logPower[k] = std::log(re * re + im * im + 0.01) * weight_[static_cast<size_t>(k)];
    }
    for (int k = 0; k < bins; ++k)
        s[static_cast<size_t>(k)] = logPower[k];
    for (int k = 1; k < n_ / 2; ++k)
        s[static_cast<size_t>(n_ - k)] = logPower[k];
    numera::sor_forward(fft_, s.data());
    // The transform of an even sequence is real and even: keep the low coefficients with a
    // smooth roll-off, and the same transform brings them back as the envelope (times n).
    for (int q = 0; q <= n_ / 2; ++q)
    {
        const double keep =
            q < lifter_ ? 0.5 + 0.5 * std::cos(std::numbers::pi * q / lifter_) : 0.0;
        s[static_cast<size_t>(q)] *= keep;
        if (q > 0 && q < n_ / 2)
        {
            s[static_cast<size_t>(n_ - q)] = s[static_cast<size_t>(q)];
        }
    }
    numera::sor_forward(fft_, s.data());

    ++frames_;
    double sum = 0;
    for (int k = lowBin_; k <= highBin_; ++k)
    {
        const size_t b = static_cast<size_t>(k - lowBin_);
        const double envelope = s[static_cast<size_t>(k)] / n_;
        if (frames_ <= kWarmUp)
        {
            // Learn the background: running means from scratch.
            mean_[b] += (envelope - mean_[b]) / frames_;
            slow_[b] += (std::fabs(envelope - mean_[b]) - slow_[b]) / frames_;
            continue;
        }
        const double deviation = envelope - mean_[b];
        fast_[b] = kFast * fast_[b] + (1 - kFast) * deviation;
        slow_[b] = kSlow * slow_[b] + (1 - kSlow) * std::fabs(deviation);
        mean_[b] = kMean * mean_[b] + (1 - kMean) * envelope;
        sum += std::max(0.0, fast_[b] / (slow_[b] + 0.005) - 1.3);
    }
    score_ = 100 * sum;
    if (frames_ > kWarmUp && score_ > threshold_) found_ = true;
}

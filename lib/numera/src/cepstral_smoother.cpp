#include "cepstral_smoother.h"

#include <algorithm>
#include <cmath>

namespace numera
{

namespace
{
// Per-frame memory: none below 1 ms (the envelope), a little at the pitch peak (voiced speech
// moves its pitch from frame to frame), much elsewhere.
constexpr double kEnvelopeMs = 1.0;
constexpr double kPitchMemory = 0.4, kFineMemory = 0.8;
// A pitch peak counts when its cepstral value (natural-log units) stands above this; the
// search spans pitches of 70 to 400 Hz.
constexpr double kPitchPeak = 0.5;
constexpr double kLowestPitchHz = 70, kHighestPitchHz = 400;
constexpr int kPitchHalfWidth = 2;
} // namespace

CepstralSmoother::CepstralSmoother(int rate, int n) : rate_(rate), n_(n)
{
    sor_twiddle(fft_, n);
    work_.assign(static_cast<size_t>(n), 0.0);
    memory_.assign(static_cast<size_t>(n / 2 + 1), 0.0);
}

void CepstralSmoother::Smooth(std::vector<double>& values)
{
    const size_t half = static_cast<size_t>(n_ / 2), n = static_cast<size_t>(n_);
    // The log spectrum made even, so its transform (the cepstrum, times n) is real and sits in
    // the half-complex slots 0..n/2.
    for (size_t k = 0; k <= half; ++k)
        work_[k] = std::log(std::max(values[k], 1e-300));
    for (size_t k = 1; k < half; ++k)
        work_[n - k] = work_[k];
    sor_forward(fft_, work_.data());

    const size_t envelope = static_cast<size_t>(std::lround(kEnvelopeMs * rate_ / 1000));
    const size_t lowest = static_cast<size_t>(rate_ / kHighestPitchHz);
    const size_t highest = std::min(half, static_cast<size_t>(rate_ / kLowestPitchHz));
    size_t pitch = 0;
    double peak = kPitchPeak * n_;
    for (size_t q = lowest; q <= highest; ++q)
        if (work_[q] > peak) peak = work_[q], pitch = q;
    for (size_t q = 0; q <= half; ++q)
    {
        double memory = q < envelope ? 0.0 : kFineMemory;
        if (pitch != 0 && q + kPitchHalfWidth >= pitch && q <= pitch + kPitchHalfWidth)
            memory = kPitchMemory;
        if (!started_) memory = 0;
        memory_[q] = memory * memory_[q] + (1 - memory) * work_[q];
        work_[q] = memory_[q];
    }
    started_ = true;
    for (size_t k = 1; k < half; ++k)
        work_[n - k] = 0;
    sor_inverse(fft_, work_.data());
    for (size_t k = 0; k <= half; ++k)
        values[k] = std::exp(work_[k] / static_cast<double>(n));
}

} // namespace numera

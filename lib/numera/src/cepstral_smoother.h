// Smooths a positive spectrum (such as a per-bin SNR) over time in the cepstral domain: the
// low quefrencies, which carry the spectral envelope, and the peak of the pitch follow at
// once or nearly so, while the fine structure that comes and goes frame by frame (the isolated
// peaks of noise that a gain would turn into musical tones) is averaged away.
#pragma once

#include "numera/fft.h"

#include <cstddef>
#include <vector>

namespace numera
{

class CepstralSmoother
{
public:
    // For spectra of n / 2 + 1 bins of an n-point transform at `rate` Hz.
    CepstralSmoother(int rate, int n);

    // Replaces `values` (n / 2 + 1 of them, each > 0) by their smoothed counterparts.
    void Smooth(std::vector<double>& values);

private:
    int rate_, n_;
    SOR_TWIDDLE fft_;
    std::vector<double> work_, memory_;
    bool started_ = false;
};

} // namespace numera

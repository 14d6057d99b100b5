// Analysis windows and the weighting curve of the speech band.
#pragma once

#include <cstdint>

namespace numera
{

// Periodic Hann window of n points: w[i] = 0.5 - 0.5 cos(2 pi i / n). Frames that advance by
// n/2 add up to exactly 1, so windowed frames can be overlap-added without a seam.
void BuildHannWindow(double* window, int n);

// out[i] = in[i] * window[i] for n samples: one windowed frame ready for sor_forward.
void FillBuf(double* out, const int16_t* in, const double* window, int n);

// Weighting curve over the bins = n/2 + 1 bins of an n-point transform at `rate` Hz: 1 from
// lowHz to highHz, a raised-cosine taper over one octave on each side (down to lowHz / 2 and
// up to 2 highHz, on a logarithmic frequency axis), 0 beyond. Bin k lies at k * rate / n.
void create_temb_correct(double* curve, int bins, double rate, double lowHz, double highHz);

} // namespace numera

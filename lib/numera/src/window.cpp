#include "numera/window.h"

#include <cmath>
#include <numbers>

namespace numera
{

void BuildHannWindow(double* window, int n)
{
    for (int i = 0; i < n; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n);
}

void FillBuf(double* out, const int16_t* in, const double* window, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = in[i] * window[i];
}

void create_temb_correct(double* curve, int bins, double rate, double lowHz, double highHz)
{
    if (bins < 2) return;
    const int n = 2 * (bins - 1);
    for (int k = 0; k < bins; ++k)
    {
        const double f = k * rate / n;
        double w = 0;
        if (f >= lowHz && f <= highHz)
            w = 1;
        else if (f > lowHz / 2 && f < lowHz)
            w = 0.5 - 0.5 * std::cos(std::numbers::pi * std::log2(f / (lowHz / 2)));
        else if (f > highHz && f < 2 * highHz)
            w = 0.5 + 0.5 * std::cos(std::numbers::pi * std::log2(f / highHz));
        curve[k] = w;
    }
}

} // namespace numera

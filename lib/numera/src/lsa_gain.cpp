#include "lsa_gain.h"

#include <cmath>
#include <limits>

namespace numera
{

double ExpIntegralE1(double x)
{
    // Polynomial and rational approximations (absolute error below 2e-7, relative below 5e-5):
    // the gain needs a few digits, and this runs for every bin of every frame.
    if (x <= 0) return std::numeric_limits<double>::infinity();
    if (x <= 1)
        return -std::log(x) - 0.57721566 +
               x * (0.99999193 + x * (-0.24991055 + x * (0.05519968 + x * (-0.00976004 + x * 0.00107857))));
    if (x > 700) return 0;
    const double ratio = (x * x + 2.334733 * x + 0.250621) / (x * x + 3.330657 * x + 1.681534);
    return ratio * std::exp(-x) / x;
}

double LsaGain(double xi, double gamma)
{
    const double v = xi * gamma / (1 + xi);
    if (v < 1e-10) return xi / (1 + xi) * std::exp(0.5 * ExpIntegralE1(1e-10));
    return xi / (1 + xi) * std::exp(0.5 * ExpIntegralE1(v));
}

} // namespace numera

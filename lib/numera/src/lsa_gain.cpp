#include "lsa_gain.h"

#include <cmath>
#include <limits>

namespace numera
{

double ExpIntegralE1(double x)
{
    constexpr double kEuler = 0.57721566490153286;
    if (x <= 0) return std::numeric_limits<double>::infinity();
    if (x <= 1)
    {
        // Power series; converges fast below 1.
        double sum = 0, term = 1;
        for (int k = 1; k < 30; ++k)
        {
            term *= -x / k;
            sum -= term / k;
            if (std::fabs(term) < 1e-16) break;
        }
        return -kEuler - std::log(x) + sum;
    }
    if (x > 700) return 0;
    // Continued fraction (modified Lentz) for larger x.
    double b = x + 1, c = 1e300, d = 1 / b, h = d;
    for (int i = 1; i < 200; ++i)
    {
        const double a = -static_cast<double>(i) * i;
        b += 2;
        d = 1 / (a * d + b);
        c = b + a / c;
        const double delta = c * d;
        h *= delta;
        if (std::fabs(delta - 1) < 1e-12) break;
    }
    return h * std::exp(-x);
}

double LsaGain(double xi, double gamma)
{
    const double v = xi * gamma / (1 + xi);
    if (v < 1e-10) return xi / (1 + xi) * std::exp(0.5 * ExpIntegralE1(1e-10));
    return xi / (1 + xi) * std::exp(0.5 * ExpIntegralE1(v));
}

} // namespace numera

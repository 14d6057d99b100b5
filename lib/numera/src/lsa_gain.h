// The log-spectral-amplitude estimator's gain and the exponential integral it needs.
#pragma once

namespace numera
{

// E1(x) = integral from x to infinity of e^-t / t dt, for x > 0.
double ExpIntegralE1(double x);

// Gain of the log-spectral-amplitude estimator for a-priori SNR xi and a-posteriori SNR gamma.
double LsaGain(double xi, double gamma);

} // namespace numera

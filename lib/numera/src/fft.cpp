#include "numera/fft.h"

#include <fftw3.h>

#include <mutex>
#include <utility>
#include <vector>

namespace numera
{

namespace
{
// FFTW's planner is not thread-safe; running a finished plan is.
std::mutex& PlannerLock()
{
    static std::mutex lock;
    return lock;
}
} // namespace

SOR_TWIDDLE::~SOR_TWIDDLE()
{
    Release();
}

SOR_TWIDDLE::SOR_TWIDDLE(SOR_TWIDDLE&& other) noexcept
    : n_(std::exchange(other.n_, 0)), forward_(std::exchange(other.forward_, nullptr)),
      inverse_(std::exchange(other.inverse_, nullptr))
{
}

SOR_TWIDDLE& SOR_TWIDDLE::operator=(SOR_TWIDDLE&& other) noexcept
{
    if (this != &other)
    {
        Release();
        n_ = std::exchange(other.n_, 0);
        forward_ = std::exchange(other.forward_, nullptr);
        inverse_ = std::exchange(other.inverse_, nullptr);
    }
    return *this;
}

void SOR_TWIDDLE::Release()
{
    if (!forward_ && !inverse_) return;
    std::lock_guard<std::mutex> guard(PlannerLock());
    if (forward_) fftw_destroy_plan(static_cast<fftw_plan>(forward_));
    if (inverse_) fftw_destroy_plan(static_cast<fftw_plan>(inverse_));
    forward_ = inverse_ = nullptr;
    n_ = 0;
}

bool sor_twiddle(SOR_TWIDDLE& tw, int n)
{
    tw.Release();
    if (n < 2 || n > 65536 || (n & (n - 1)) != 0) return false;
    // Plans are made in place on a scratch buffer and run later on the caller's buffers, whose
    // alignment is unknown: hence FFTW_UNALIGNED.
    std::vector<double> scratch(static_cast<size_t>(n));
    std::lock_guard<std::mutex> guard(PlannerLock());
    const unsigned flags = FFTW_ESTIMATE | FFTW_UNALIGNED;
    fftw_plan f = fftw_plan_r2r_1d(n, scratch.data(), scratch.data(), FFTW_R2HC, flags);
    fftw_plan b = fftw_plan_r2r_1d(n, scratch.data(), scratch.data(), FFTW_HC2R, flags);
    if (!f || !b)
    {
        if (f) fftw_destroy_plan(f);
        if (b) fftw_destroy_plan(b);
        return false;
    }
    tw.forward_ = f;
    tw.inverse_ = b;
    tw.n_ = n;
    return true;
}

void sor_forward(const SOR_TWIDDLE& tw, double* data)
{
    if (!tw.forward_ || !data) return;
    fftw_execute_r2r(static_cast<fftw_plan>(tw.forward_), data, data);
}

void sor_inverse(const SOR_TWIDDLE& tw, double* data)
{
    if (!tw.inverse_ || !data) return;
    fftw_execute_r2r(static_cast<fftw_plan>(tw.inverse_), data, data);
}

void sor_power(const double* spectrum, int n, double* power)
{
    power[0] = spectrum[0] * spectrum[0];
    for (int k = 1; k < n / 2; ++k)
        power[k] = spectrum[k] * spectrum[k] + spectrum[n - k] * spectrum[n - k];
    power[n / 2] = spectrum[n / 2] * spectrum[n / 2];
}

} // namespace numera

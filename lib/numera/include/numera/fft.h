// Real FFT of power-of-two sizes over FFTW. A size is prepared once (sor_twiddle) and then run
// on any number of buffers (sor_forward, sor_inverse) from any thread.
#pragma once

namespace numera
{

// A prepared transform of one size. Movable, not copyable; empty until sor_twiddle succeeds.
class SOR_TWIDDLE
{
public:
    SOR_TWIDDLE() = default;
    ~SOR_TWIDDLE();
    SOR_TWIDDLE(SOR_TWIDDLE&& other) noexcept;
    SOR_TWIDDLE& operator=(SOR_TWIDDLE&& other) noexcept;
    SOR_TWIDDLE(const SOR_TWIDDLE&) = delete;
    SOR_TWIDDLE& operator=(const SOR_TWIDDLE&) = delete;

    int Size() const { return n_; }

private:
    friend bool sor_twiddle(SOR_TWIDDLE& tw, int n);
    friend void sor_forward(const SOR_TWIDDLE& tw, double* data);
    friend void sor_inverse(const SOR_TWIDDLE& tw, double* data);
    void Release();

    int n_ = 0;
    void* forward_ = nullptr; // the FFTW plans, kept opaque so callers need no FFTW headers
    void* inverse_ = nullptr;
};

// Prepares `tw` for transforms of n points, n a power of two from 2 to 65536. Returns false
// (and leaves `tw` empty) for any other n.
bool sor_twiddle(SOR_TWIDDLE& tw, int n);

// In-place forward transform of n real samples. The result is in half-complex order:
// data[0] = Re X0, data[k] = Re Xk and data[n - k] = Im Xk for 0 < k < n/2, data[n/2] = Re X(n/2).
// X_k = sum x_j e^(-2 pi i jk / n), unscaled. Does nothing on an empty `tw`.
void sor_forward(const SOR_TWIDDLE& tw, double* data);

// In-place inverse of sor_forward, unscaled: sor_inverse(sor_forward(x)) = n x.
void sor_inverse(const SOR_TWIDDLE& tw, double* data);

// |X_k|^2 of a half-complex spectrum of n points, for k = 0..n/2 (n/2 + 1 values).
void sor_power(const double* spectrum, int n, double* power);

} // namespace numera

// RNUMBER<T, G>: an exact rational number, used by the player core for time in seconds.
// The fraction is kept reduced, the sign on the numerator and the denominator above zero,
// so equal values have equal fields. G (a greatest-common-divisor functor on T) cross-reduces
// the factors of a product; the final reduction of a result runs at double width, where the
// unreduced fields live.
//
// Arithmetic works on products twice as wide as T (__int128 for 64-bit T), so sums,
// products and comparisons of realistic times (sample counts over sample rates) are exact.
// A result that cannot be held in T even after reduction throws RUNTIME_ERROR rather than
// wrap; a zero denominator or a division by zero throws LOGIC_ERROR.
//
// At the core's interface times are milliseconds: ToMs gives the numerator when the
// denominator is 1000, else numerator * 1000 / denominator truncated towards zero (the
// product is taken wide, so it cannot overflow); FromMs(ms) is RNUMBER(ms, 1000).
#pragma once

#include "faltor/exceptions.h"

#include <compare>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace rnumber_detail
{

__extension__ typedef __int128 int128;

// Twice the width of T, for exact intermediate products.
template <typename T> using Wide = std::conditional_t<(sizeof(T) <= 4), int64_t, int128>;

template <typename W> W Abs(W v)
{
    return v < 0 ? -v : v;
}

template <typename W> W WideGcd(W a, W b)
{
    a = Abs(a);
    b = Abs(b);
    while (b != 0)
    {
        const W r = a % b;
        a = b;
        b = r;
    }
    return a;
}

} // namespace rnumber_detail

// Greatest common divisor, never negative; gcd(0, 0) is 0.
template <typename T> struct gcd
{
    T operator()(T a, T b) const
    {
        return static_cast<T>(rnumber_detail::WideGcd<rnumber_detail::Wide<T>>(a, b));
    }
};

template <typename T, typename G> class RNUMBER
{
    static_assert(std::is_integral_v<T> && std::is_signed_v<T>, "RNUMBER needs a signed integer");
    using W = rnumber_detail::Wide<T>;

public:
    constexpr RNUMBER() = default;
    RNUMBER(T integer) : num_(integer), den_(1) {}
    RNUMBER(T numerator, T denominator)
    {
        if (denominator == 0) throw LOGIC_ERROR("RNUMBER: zero denominator");
        Assign(W(numerator), W(denominator));
    }

    static RNUMBER FromMs(T ms) { return RNUMBER(ms, 1000); }

    T Num() const { return num_; }
    T Den() const { return den_; }

    T ToMs() const
    {
        if (den_ == 1000) return num_;
        return Narrow(W(num_) * 1000 / W(den_));
    }
    double ToDouble() const { return static_cast<double>(num_) / static_cast<double>(den_); }

    RNUMBER operator-() const { return Make(-W(num_), W(den_)); }
    RNUMBER operator+() const { return *this; }

    friend RNUMBER operator+(const RNUMBER& a, const RNUMBER& b)
    {
        if (a.den_ == b.den_) return Make(W(a.num_) + W(b.num_), W(a.den_));
        return Make(W(a.num_) * b.den_ + W(b.num_) * a.den_, W(a.den_) * b.den_);
    }
    friend RNUMBER operator-(const RNUMBER& a, const RNUMBER& b)
    {
        if (a.den_ == b.den_) return Make(W(a.num_) - W(b.num_), W(a.den_));
        return Make(W(a.num_) * b.den_ - W(b.num_) * a.den_, W(a.den_) * b.den_);
    }
    friend RNUMBER operator*(const RNUMBER& a, const RNUMBER& b)
    {
        // Cross-reducing first keeps the wide products small.
        const T g1 = G()(a.num_, b.den_), g2 = G()(b.num_, a.den_);
        const W n1 = g1 ? W(a.num_) / g1 : W(a.num_), d2 = g1 ? W(b.den_) / g1 : W(b.den_);
        const W n2 = g2 ? W(b.num_) / g2 : W(b.num_), d1 = g2 ? W(a.den_) / g2 : W(a.den_);
        return Make(n1 * n2, d1 * d2);
    }
    friend RNUMBER operator/(const RNUMBER& a, const RNUMBER& b)
    {
        if (b.num_ == 0) throw LOGIC_ERROR("RNUMBER: division by zero");
        return a * Make(W(b.den_), W(b.num_));
    }

    RNUMBER& operator+=(const RNUMBER& o) { return *this = *this + o; }
    RNUMBER& operator-=(const RNUMBER& o) { return *this = *this - o; }
    RNUMBER& operator*=(const RNUMBER& o) { return *this = *this * o; }
    RNUMBER& operator/=(const RNUMBER& o) { return *this = *this / o; }

    friend bool operator==(const RNUMBER& a, const RNUMBER& b)
    {
        return a.num_ == b.num_ && a.den_ == b.den_;
    }
    friend std::strong_ordering operator<=>(const RNUMBER& a, const RNUMBER& b)
    {
        // Denominators are positive, so cross-multiplying keeps the order.
        const W l = W(a.num_) * b.den_, r = W(b.num_) * a.den_;
        return l < r ? std::strong_ordering::less
                     : (l > r ? std::strong_ordering::greater : std::strong_ordering::equal);
    }

private:
    static RNUMBER Make(W n, W d)
    {
        RNUMBER r;
        r.Assign(n, d);
        return r;
    }

    static T Narrow(W v)
    {
        if (v < W(std::numeric_limits<T>::min()) || v > W(std::numeric_limits<T>::max()))
            throw RUNTIME_ERROR("RNUMBER: value out of range");
        return static_cast<T>(v);
    }

    // d != 0. The gcd runs wide: the unreduced fields may not fit in T yet.
    void Assign(W n, W d)
    {
        if (d < 0) n = -n, d = -d;
        const W g = rnumber_detail::WideGcd(n, d);
        if (g > 1) n /= g, d /= g;
        if (n == 0) d = 1;
        num_ = Narrow(n);
        den_ = Narrow(d);
    }

    T num_ = 0;
    T den_ = 1;
};

// The player core's time type: seconds as a reduced 64-bit fraction.
using RNUMBER64 = RNUMBER<int64_t, gcd<int64_t>>;

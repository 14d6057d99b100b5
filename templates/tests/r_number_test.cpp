#include "templates/r_number.h"

#include <gtest/gtest.h>

using R = RNUMBER64;

TEST(RNumber, KeepsFractionsReducedWithTheSignOnTop)
{
    const R a(2, 1000);
    EXPECT_EQ(a.Num(), 1);
    EXPECT_EQ(a.Den(), 500);
    const R b(3, -6);
    EXPECT_EQ(b.Num(), -1);
    EXPECT_EQ(b.Den(), 2);
    const R c(-4, -8);
    EXPECT_EQ(c.Num(), 1);
    EXPECT_EQ(c.Den(), 2);
    const R zero(0, -77);
    EXPECT_EQ(zero.Num(), 0);
    EXPECT_EQ(zero.Den(), 1);
    EXPECT_EQ(R(), zero);
    EXPECT_EQ(R(5), R(10, 2));
    EXPECT_THROW(R(1, 0), LOGIC_ERROR);
    EXPECT_EQ(gcd<int64_t>()(-12, 18), 6);
    EXPECT_EQ(gcd<int64_t>()(0, 0), 0);
}

TEST(RNumber, ArithmeticIsExact)
{
    EXPECT_EQ(R(1, 3) + R(1, 6), R(1, 2));
    EXPECT_EQ(R(1, 3) - R(1, 2), R(-1, 6));
    EXPECT_EQ(R(2, 3) * R(9, 4), R(3, 2));
    EXPECT_EQ(R(2, 3) / R(-4, 9), R(-3, 2));
    EXPECT_EQ(-R(1, 3), R(-1, 3));
    EXPECT_THROW(R(1, 3) / R(0), LOGIC_ERROR);

    // One second as 44100 sample periods and as 48000, summed sample by sample.
    R t, u;
    for (int i = 0; i < 44100; ++i)
        t += R(1, 44100);
    for (int i = 0; i < 48000; ++i)
        u += R(1, 48000);
    EXPECT_EQ(t, R(1));
    EXPECT_EQ(t - u, R(0));
    R mixed = R(1, 44100);
    mixed += R(1, 48000);
    EXPECT_EQ(mixed.Den(), 7056000); // lcm of the two rates

    // A day of 44.1 kHz samples times a large rate: the products exceed 64 bits on the way.
    const R day(86400LL * 44100, 44100);
    EXPECT_EQ(day * R(96000, 1) / R(96000, 1), R(86400));
    const R big(INT64_MAX / 3, 7);
    EXPECT_EQ((big * R(7, INT64_MAX / 3)), R(1));
    EXPECT_EQ(big + big - big, big);
}

TEST(RNumber, OutOfRangeResultsThrowInsteadOfWrapping)
{
    const R huge(INT64_MAX);
    EXPECT_THROW(huge + R(1), RUNTIME_ERROR);
    EXPECT_THROW(huge * R(2), RUNTIME_ERROR);
    EXPECT_THROW(R(1, INT64_MAX) + R(1, INT64_MAX - 1), RUNTIME_ERROR); // denominator overflow
    EXPECT_THROW(-R(INT64_MIN), RUNTIME_ERROR);
    EXPECT_EQ(-R(-INT64_MAX), huge);
}

TEST(RNumber, ComparesByValue)
{
    EXPECT_LT(R(1, 3), R(1, 2));
    EXPECT_GT(R(-1, 3), R(-1, 2));
    EXPECT_LE(R(2, 4), R(1, 2));
    EXPECT_NE(R(1, 3), R(333, 1000));
    // Cross products beyond 64 bits still order correctly.
    EXPECT_LT(R(INT64_MAX - 1, INT64_MAX), R(INT64_MAX, INT64_MAX - 1));
    EXPECT_GT(R(INT64_MAX, 3), R(INT64_MAX - 1, 3));
}

TEST(RNumber, MillisecondConversions)
{
    EXPECT_EQ(R(1, 3).ToMs(), 333);
    EXPECT_EQ(R(-1, 3).ToMs(), -333); // truncates towards zero
    EXPECT_EQ(R(2, 3).ToMs(), 666);
    EXPECT_EQ(R(7, 1000).ToMs(), 7);
    EXPECT_EQ(R(3).ToMs(), 3000);
    EXPECT_EQ(R(1, 44100).ToMs(), 0);
    for (int64_t ms : {0LL, 1LL, 999LL, 1000LL, 3000LL, -20LL, 86400000LL, 123456789012LL})
    {
        const R t = R::FromMs(ms);
        EXPECT_EQ(t, R(ms, 1000));
        EXPECT_EQ(t.ToMs(), ms) << ms;
    }
    EXPECT_EQ(R::FromMs(20) * R(5), R::FromMs(100));
    // The product numerator * 1000 would overflow 64 bits; the wide product does not.
    EXPECT_EQ(R(INT64_MAX / 10, 1001).ToMs(),
              static_cast<int64_t>((__extension__(__int128)(INT64_MAX / 10)) * 1000 / 1001));
    EXPECT_THROW(R(INT64_MAX).ToMs(), RUNTIME_ERROR);
    EXPECT_DOUBLE_EQ(R(-3, 4).ToDouble(), -0.75);
}

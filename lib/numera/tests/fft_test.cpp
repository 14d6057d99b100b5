#include "numera/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

using namespace numera;

namespace
{
std::vector<double> RandomSignal(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1000, 1000);
    std::vector<double> x(static_cast<size_t>(n));
    for (double& v : x)
        v = u(rng);
    return x;
}
} // namespace

TEST(Fft, MatchesDirectDftInHalfComplexOrder)
{
    for (int n : {2, 4, 8, 64, 256, 1024})
    {
        const std::vector<double> x = RandomSignal(n, static_cast<unsigned>(n));
        std::vector<double> y = x;
        SOR_TWIDDLE tw;
        ASSERT_TRUE(sor_twiddle(tw, n));
        EXPECT_EQ(tw.Size(), n);
        sor_forward(tw, y.data());
        for (int k = 0; k <= n / 2; ++k)
        {
            double re = 0, im = 0;
            for (int j = 0; j < n; ++j)
            {
                const double a = -2 * std::numbers::pi * j * k / n;
                re += x[static_cast<size_t>(j)] * std::cos(a);
                im += x[static_cast<size_t>(j)] * std::sin(a);
            }
            const double tol = 1e-9 * 1000 * n;
            EXPECT_NEAR(y[static_cast<size_t>(k)], re, tol) << "n=" << n << " k=" << k;
            if (k > 0 && k < n / 2)
            {
                EXPECT_NEAR(y[static_cast<size_t>(n - k)], im, tol) << "n=" << n << " k=" << k;
            }
        }
        std::vector<double> p(static_cast<size_t>(n / 2 + 1));
        sor_power(y.data(), n, p.data());
        EXPECT_NEAR(p[1],
                    y[1] * y[1] +
                        (n > 2 ? y[static_cast<size_t>(n - 1)] * y[static_cast<size_t>(n - 1)] : 0),
                    1e-6);
    }
}

TEST(Fft, InverseRestoresTheSignalTimesN)
{
    const int n = 512;
    const std::vector<double> x = RandomSignal(n, 7);
    std::vector<double> y = x;
    SOR_TWIDDLE tw;
    ASSERT_TRUE(sor_twiddle(tw, n));
    sor_forward(tw, y.data());
    sor_inverse(tw, y.data());
    for (int i = 0; i < n; ++i)
        EXPECT_NEAR(y[static_cast<size_t>(i)] / n, x[static_cast<size_t>(i)], 1e-9);
}

TEST(Fft, RefusesSizesThatAreNotPowersOfTwoAndEmptyPlansDoNothing)
{
    SOR_TWIDDLE tw;
    for (int n : {0, 1, -8, 3, 100, 131072})
        EXPECT_FALSE(sor_twiddle(tw, n)) << n;
    EXPECT_EQ(tw.Size(), 0);
    std::vector<double> x = {1, 2, 3, 4};
    sor_forward(tw, x.data());
    EXPECT_EQ(x, (std::vector<double>{1, 2, 3, 4}));
    // A failed prepare empties a plan that was good before.
    ASSERT_TRUE(sor_twiddle(tw, 4));
    EXPECT_FALSE(sor_twiddle(tw, 6));
    EXPECT_EQ(tw.Size(), 0);
}

TEST(Fft, MovedPlanKeepsWorking)
{
    SOR_TWIDDLE a;
    ASSERT_TRUE(sor_twiddle(a, 8));
    SOR_TWIDDLE b = std::move(a);
    EXPECT_EQ(a.Size(), 0);
    std::vector<double> x = {1, 1, 1, 1, 1, 1, 1, 1};
    sor_forward(b, x.data());
    EXPECT_DOUBLE_EQ(x[0], 8);
    EXPECT_NEAR(x[1], 0, 1e-12);
}

TEST(Fft, PlansMadeAndRunOnSeveralThreadsAtOnce)
{
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [t, &ok]
            {
                for (int round = 0; round < 20; ++round)
                {
                    SOR_TWIDDLE tw;
                    if (!sor_twiddle(tw, 64 << (t % 3))) return;
                    std::vector<double> x(static_cast<size_t>(tw.Size()), 1.0);
                    sor_forward(tw, x.data());
                    if (x[0] != tw.Size()) return;
                }
                ok[static_cast<size_t>(t)] = 1;
            });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(ok, (std::vector<int>{1, 1, 1, 1}));
}

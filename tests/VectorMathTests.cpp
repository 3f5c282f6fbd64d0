#include "processor/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

namespace
{
    /** The error of a result in units in the last place of the exact (long double) value. */
    double ulpsFromExact (double result, double x)
    {
        const long double exact = std::tanh ((long double) x);
        const double rounded = (double) exact;
        const double ulp = std::nextafter (std::abs (rounded), std::numeric_limits<double>::infinity()) - std::abs (rounded);
        return (double) (std::abs ((long double) result - exact) / (long double) ulp);
    }

    VectorMath::Double2 baselineTanh (VectorMath::Double2 x) noexcept   { return VectorMath::tanh (x); }

    // As the engine's wide kernel builds it, with fused multiply-adds.
    [[gnu::target ("avx2,fma")]] VectorMath::Double2 wideTanh (VectorMath::Double2 x) noexcept   { return VectorMath::tanh (x); }

    using TanhBuild = VectorMath::Double2 (*) (VectorMath::Double2) noexcept;

    std::vector<TanhBuild> buildsOfThisMachine()
    {
        __builtin_cpu_init();
        std::vector<TanhBuild> builds { baselineTanh };

        if (__builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma"))
            builds.push_back (wideTanh);

        return builds;
    }
}

// Within a few units in the last place everywhere, in both lanes, odd, and as good as the C
// library measured the same way.
TEST (VectorMath, IsWithinAFewUnitsInTheLastPlace)
{
    struct Range { const char* name; double low, high; bool logarithmic; };

    const Range ranges[] = {
        { "tiny",                 1.0e-300, 1.0e-3,  true },
        { "first table point",    0.0,      1.0 / 64, false },
        { "where the curve bends", 0.0,     3.0,     false },
        { "towards saturation",   3.0,      19.5,    false },
        { "saturated",            19.5,     1.0e6,   true },
    };

    std::mt19937_64 random (3);
    double worst = 0.0, worstOfLibrary = 0.0;

    for (const auto build : buildsOfThisMachine())
    {
        for (const auto& range : ranges)
        {
            for (int i = 0; i < 200000; ++i)
            {
                const double position = std::uniform_real_distribution<double> (0.0, 1.0) (random);
                const double x = range.logarithmic ? range.low * std::pow (range.high / range.low, position)
                                                   : range.low + (range.high - range.low) * position;

                const auto result = build (VectorMath::Double2 { x, -x });
                ASSERT_EQ (result[1], -result[0]) << range.name << ": " << x;

                const auto error = ulpsFromExact (result[0], x);
                ASSERT_LE (error, 2.5) << range.name << ": " << x;
                worst = std::max (worst, error);
                worstOfLibrary = std::max (worstOfLibrary, ulpsFromExact (std::tanh (x), x));
            }
        }
    }

    std::cout << "worst error " << worst << " ulp (the C library's: " << worstOfLibrary << " ulp)" << std::endl;
}

TEST (VectorMath, KeepsZeroSignsInfinitiesAndNaN)
{
    const auto inf = std::numeric_limits<double>::infinity();
    const auto zeros = VectorMath::tanh (VectorMath::Double2 { 0.0, -0.0 });
    EXPECT_EQ (zeros[0], 0.0);
    EXPECT_FALSE (std::signbit (zeros[0]));
    EXPECT_TRUE (std::signbit (zeros[1]));

    const auto infinities = VectorMath::tanh (VectorMath::Double2 { inf, -inf });
    EXPECT_EQ (infinities[0], 1.0);
    EXPECT_EQ (infinities[1], -1.0);

    // A NaN must never reach the filter's memory: it saturates like any huge value.
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    const auto nans = VectorMath::tanh (VectorMath::Double2 { nan, -nan });
    EXPECT_EQ (nans[0], 1.0);
    EXPECT_EQ (nans[1], -1.0);

    const auto beside = VectorMath::tanh (VectorMath::Double2 { nan, 0.5 });
    EXPECT_EQ (beside[1], (double) std::tanh (0.5L)) << "a NaN beside it leaves the other lane alone";
}

// The ring tone's sine and triangle over the phases it runs through and beyond, against
// long double: the sine within a few ulp of 1, the triangle as (2 / pi) asin(sin(p)) computed
// exactly, which the C library's asin cannot do at the peaks.
TEST (VectorMath, SineAndTriangleMatchTheExactCurves)
{
    std::mt19937_64 random (4);
    const long double pi = 3.141592653589793238462643383279502884L;
    double worstSine = 0.0, worstTriangle = 0.0;

    for (int i = 0; i < 400000; ++i)
    {
        const double p = std::uniform_real_distribution<double> (-20.0, 20.0) (random);
        const auto result = VectorMath::sine (VectorMath::Double2 { p, i % 2 == 0 ? 0.5 * p : p + 1.0 });

        // The triangle of the exact sine: the distance to the nearest odd multiple of pi/2.
        const long double turns = (long double) p / (2.0L * pi);
        const long double position = turns - std::floor (turns);   // [0, 1)
        const long double triangle = position < 0.25L ? 4.0L * position
                                   : position < 0.75L ? 2.0L - 4.0L * position
                                                      : 4.0L * position - 4.0L;

        worstSine = std::max (worstSine, (double) std::abs ((long double) result.sine[0] - std::sin ((long double) p)));
        worstTriangle = std::max (worstTriangle, (double) std::abs ((long double) result.triangle[0] - triangle));
    }

    EXPECT_LE (worstSine, 4.0 * std::numeric_limits<double>::epsilon() / 2.0);
    EXPECT_LE (worstTriangle, 4.0 * std::numeric_limits<double>::epsilon());

    // The quadrant ends, where the sine turns.
    for (int k = -8; k <= 8; ++k)
    {
        const double p = k * (double) (pi / 2.0L);
        const auto result = VectorMath::sine (VectorMath::Double2 { p, p });
        EXPECT_NEAR (result.sine[0], std::sin ((long double) p), 1.0e-16) << k;
        EXPECT_NEAR (result.triangle[0], k % 2 == 0 ? 0.0 : ((k % 4 + 4) % 4 == 1 ? 1.0 : -1.0), 1.0e-15) << k;
    }
}

namespace
{
    /** The loop's tanh as the engine calls it: the argument formed as a + b, and beside it the
        rounded one as b + (a + roundingMagic), a carrying up to a point's worth of fraction. */
    template <bool offGrid>
    VectorMath::Double2 loopTanhOf (VectorMath::Double2 x) noexcept
    {
        using VectorMath::Double2;
        const auto scaled = x * (double) VectorMath::loopPointsPerUnit;

        if constexpr (! offGrid)
            return VectorMath::loopTanhOfScaled (scaled);

        const Double2 a { 0.499, -0.499 }, b = scaled - a;
        const auto shifted = b + (a + VectorMath::roundingMagic);
        const auto [magnitude, sign] = VectorMath::loopTanhPartsOfScaled (a + b, shifted);
        return VectorMath::withSign (magnitude, sign);
    }

    VectorMath::Double2 baselineLoopTanh (VectorMath::Double2 x) noexcept   { return loopTanhOf<false> (x); }
    VectorMath::Double2 baselineLoopTanhOffGrid (VectorMath::Double2 x) noexcept   { return loopTanhOf<true> (x); }
    [[gnu::target ("avx2,fma")]] VectorMath::Double2 wideLoopTanh (VectorMath::Double2 x) noexcept   { return loopTanhOf<false> (x); }
    [[gnu::target ("avx2,fma")]] VectorMath::Double2 wideLoopTanhOffGrid (VectorMath::Double2 x) noexcept   { return loopTanhOf<true> (x); }
}

// The feedback loop's tanh trades the last digits for latency: its absolute error stays far
// below what reaches a float output, across the table, at its end and far beyond it, also
// when the rounded argument beside it is a point off.
TEST (VectorMath, LoopTanhIsWithin1e11)
{
    struct Range { const char* name; double low, high; bool logarithmic; };

    const Range ranges[] = {
        { "tiny",                  1.0e-300, 1.0e-3, true },
        { "first table points",    0.0,      0.05,   false },
        { "where the curve bends", 0.0,      3.0,    false },
        { "towards saturation",    3.0,      19.5,   false },
        { "beyond the table",      19.5,     1.0e300, true },
    };

    std::vector<TanhBuild> builds { baselineLoopTanh, baselineLoopTanhOffGrid };
    __builtin_cpu_init();

    if (__builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma"))
        builds.insert (builds.end(), { wideLoopTanh, wideLoopTanhOffGrid });

    std::mt19937_64 random (5);
    double worst = 0.0;

    for (const auto build : builds)
        for (const auto& range : ranges)
            for (int i = 0; i < 200000; ++i)
            {
                const double position = std::uniform_real_distribution<double> (0.0, 1.0) (random);
                const double x = range.logarithmic ? range.low * std::pow (range.high / range.low, position)
                                                   : range.low + (range.high - range.low) * position;

                const auto result = build (VectorMath::Double2 { x, -x });
                ASSERT_EQ (result[1], -result[0]) << range.name << ": " << x;

                const auto exact = std::tanh ((long double) x);
                const auto error = (double) std::abs ((long double) result[0] - exact);
                ASSERT_LE (error, 1.0e-11) << range.name << ": " << x;
                worst = std::max (worst, error);

            }

    std::cout << "loop tanh: worst absolute error " << worst << std::endl;

    const auto zeros = baselineLoopTanh (VectorMath::Double2 { 0.0, -0.0 });
    EXPECT_EQ (zeros[0], 0.0);
    EXPECT_TRUE (std::signbit (zeros[1]));

    // The largest a scaled argument can be while finite (the loop's never is infinite).
    const auto largest = std::numeric_limits<double>::max() / VectorMath::loopPointsPerUnit;
    const auto ends = baselineLoopTanh (VectorMath::Double2 { largest, -largest });
    EXPECT_EQ (ends[0], 1.0);
    EXPECT_EQ (ends[1], -1.0);
}

#include "processor/VectorTanh.h"

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

    VectorTanh::Double2 baselineTanh (VectorTanh::Double2 x) noexcept   { return VectorTanh::tanh (x); }

    // As the engine's wide kernel builds it, with fused multiply-adds.
    [[gnu::target ("avx2,fma")]] VectorTanh::Double2 wideTanh (VectorTanh::Double2 x) noexcept   { return VectorTanh::tanh (x); }

    using TanhBuild = VectorTanh::Double2 (*) (VectorTanh::Double2) noexcept;

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
TEST (VectorTanh, IsWithinAFewUnitsInTheLastPlace)
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

                const auto result = build (VectorTanh::Double2 { x, -x });
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

TEST (VectorTanh, KeepsZeroSignsInfinitiesAndNaN)
{
    const auto inf = std::numeric_limits<double>::infinity();
    const auto zeros = VectorTanh::tanh (VectorTanh::Double2 { 0.0, -0.0 });
    EXPECT_EQ (zeros[0], 0.0);
    EXPECT_FALSE (std::signbit (zeros[0]));
    EXPECT_TRUE (std::signbit (zeros[1]));

    const auto infinities = VectorTanh::tanh (VectorTanh::Double2 { inf, -inf });
    EXPECT_EQ (infinities[0], 1.0);
    EXPECT_EQ (infinities[1], -1.0);

    const auto nan = VectorTanh::tanh (VectorTanh::Double2 { std::numeric_limits<double>::quiet_NaN(), 0.5 });
    EXPECT_TRUE (std::isnan (nan[0]));
    EXPECT_EQ (nan[1], (double) std::tanh (0.5L)) << "a NaN beside it leaves the other lane alone";
}

#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined (__SSE2__)
 #include <emmintrin.h>
#endif

/** Two doubles at once, branch-free, for the filter's inner loops.

    tanh: within a few units in the last place, as the C library's, at a fraction of its cost,
    for the input saturation and the ring (the feedback loop has a shorter one of its own,
    loopTanhOfScaled, below). |x| is rounded to the nearest 1/64; around that point a degree-7 Taylor polynomial of tanh
    (in t = 64 |x| - k, |t| <= 1/2, one 64-byte line per point) gives the value, and the sign is
    put back. The table runs to |x| = 19.5, beyond which tanh is 1 in double precision. NaN gives
    1 with its sign, so a NaN that reaches the filter can never settle in its memory.

    sine: sin(p) with the triangle (2 / pi) asin(sin(p)) of the same reduction, for the ring tone. */
namespace VectorMath
{
    using Double2 = double __attribute__ ((vector_size (16)));
    using Int2 = std::int64_t __attribute__ ((vector_size (16)));

    inline constexpr int pointsPerUnit = 64;
    inline constexpr double largestArgument = 19.5;
    inline constexpr int numPoints = (int) (largestArgument * pointsPerUnit) + 1;
    inline constexpr int degree = 7;

    struct alignas (64) Point
    {
        double coefficients[degree + 1];
    };

    struct Table
    {
        Point points[numPoints];

        /** Taylor coefficients of tanh around each point from tanh' = 1 - tanh^2, in long double,
            scaled to the polynomial's variable t = 64 (|x| - point). */
        Table() noexcept
        {
            for (int k = 0; k < numPoints; ++k)
            {
                const long double centre = (long double) k / pointsPerUnit;
                long double a[degree + 1] {};
                a[0] = std::tanh (centre);

                for (int n = 0; n < degree; ++n)
                {
                    long double square = 0.0L;

                    for (int i = 0; i <= n; ++i)
                        square += a[i] * a[n - i];

                    a[n + 1] = ((n == 0 ? 1.0L : 0.0L) - square) / (long double) (n + 1);
                }

                long double scale = 1.0L;

                for (int n = 0; n <= degree; ++n, scale /= pointsPerUnit)
                    points[k].coefficients[n] = (double) (a[n] * scale);
            }
        }
    };

    /** Built when the library loads, never on the audio thread. */
    inline const Table table;

    [[gnu::always_inline]] inline Double2 broadcast (double value) noexcept   { return Double2 { value, value }; }

    /** tanh (x / pointsPerUnit): for callers that can fold the table's scale into their own
        multiplies, which takes one off a feedback loop's path. */
    [[gnu::always_inline]] inline Double2 tanhOfScaled (Double2 scaledX) noexcept
    {
        const Int2 signBit = { INT64_MIN, INT64_MIN };
        constexpr double magicValue = 0x1.8p52;   // adding it rounds to an integer, kept in the low bits
        const Double2 magic = broadcast (magicValue);
        std::int64_t magicBits;
        std::memcpy (&magicBits, &magicValue, sizeof (magicBits));

        const auto bits = (Int2) scaledX;
        const auto sign = bits & signBit;
        auto scaled = (Double2) (bits & ~signBit);
        const auto end = broadcast (largestArgument * pointsPerUnit);

        // NaN lands on the end too.
       #if defined (__SSE2__)
        scaled = _mm_min_pd (scaled, end);   // one instruction where the compiler makes two
       #else
        scaled = scaled < end ? scaled : end;
       #endif

        const auto shifted = scaled + magic;
        const auto t = scaled - (shifted - magic);

        // scaled is within the table here, so the index needs no check on the loop's path.
        const auto index = (Int2) shifted - magicBits;
        const auto* p0 = table.points[index[0]].coefficients;
        const auto* p1 = table.points[index[1]].coefficients;

        const auto c = [p0, p1] (int n) { return Double2 { p0[n], p1[n] }; };

        // Estrin's scheme: three multiply-adds deep instead of Horner's seven.
        const auto t2 = t * t;
        const auto t4 = t2 * t2;
        const auto low = (c (0) + c (1) * t) + t2 * (c (2) + c (3) * t);
        const auto high = (c (4) + c (5) * t) + t2 * (c (6) + c (7) * t);
        const auto magnitude = low + t4 * high;

        return (Double2) ((Int2) magnitude | sign);
    }

    [[gnu::always_inline]] inline Double2 tanh (Double2 x) noexcept
    {
        return tanhOfScaled (x * (double) pointsPerUnit);   // exact: a power of two
    }

    /** The feedback loop's tanh: the same table idea with more points and a cubic around each,
        so the value is two multiply-adds after the table's load instead of three; absolute error
        about 5e-12, far below what the output can show. The coefficients lie in one array each,
        so a point's address is the index times 8 with no shift or add on the loop's path. The
        argument comes scaled by loopPointsPerUnit. The index is clamped as an integer; the last
        point is exactly 1, so any finite argument beyond the table, however large its t, gives
        1 with its sign. Only for arguments the loop makes: a NaN here stays NaN (the input's
        tanh never lets one in). */
    inline constexpr int loopPointsPerUnit = 256;
    inline constexpr int loopNumPoints = (int) (largestArgument * loopPointsPerUnit) + 1;

    struct alignas (64) LoopTable
    {
        double coefficients[4][loopNumPoints];

        /** Around each point the cubic in t = 256 (|x| - point) through tanh at the four Chebyshev
            nodes of |t| <= 1, in long double: the index may be one off the nearest point (see
            below). At 0 the Taylor cubic itself, which is odd and exact to the fifth power there. */
        LoopTable() noexcept
        {
            constexpr long double h = 1.0L / loopPointsPerUnit;
            coefficients[0][0] = 0.0;
            coefficients[1][0] = (double) h;
            coefficients[2][0] = 0.0;
            coefficients[3][0] = (double) (-h * h * h / 3.0L);

            for (int k = 1; k < loopNumPoints; ++k)
            {
                long double nodes[4], values[4];

                for (int j = 0; j < 4; ++j)
                {
                    nodes[j] = std::cos ((2 * j + 1) * 3.14159265358979323846264338327950288L / 8.0L);
                    values[j] = std::tanh (((long double) k + nodes[j]) * h);
                }

                // Newton's divided differences, then expanded into powers of t.
                long double d[4] = { values[0], values[1], values[2], values[3] };

                for (int level = 1; level < 4; ++level)
                    for (int j = 3; j >= level; --j)
                        d[j] = (d[j] - d[j - 1]) / (nodes[j] - nodes[j - level]);

                long double power[4] = { d[3], 0.0L, 0.0L, 0.0L };   // Horner on the Newton form

                for (int j = 2; j >= 0; --j)
                {
                    for (int n = 3; n > 0; --n)
                        power[n] = power[n - 1] - nodes[j] * power[n];

                    power[0] = d[j] - nodes[j] * power[0];
                }

                const bool last = k == loopNumPoints - 1;

                for (int n = 0; n < 4; ++n)
                    coefficients[n][k] = last ? (n == 0 ? 1.0 : 0.0) : (double) power[n];
            }
        }
    };

    inline const LoopTable loopTable;

    /** |tanh| and the sign bits to put back: a caller that multiplies the value by a factor
        can give the factor the sign instead, off the loop's path. */
    struct MagnitudeAndSign
    {
        Double2 magnitude;
        Int2 sign;
    };

    [[gnu::always_inline]] inline Double2 withSign (Double2 value, Int2 sign) noexcept
    {
        return (Double2) ((Int2) value ^ sign);
    }

    /** Adding it rounds a double below 2^51 in magnitude to an integer, kept in the low bits. */
    inline constexpr double roundingMagic = 0x1.8p52;

    /** shiftedX is scaledX + roundingMagic, which a caller forms in a multiply-add beside the one
        that forms scaledX, a * b + (c + roundingMagic): the table index then comes straight out
        of it, rounded with its sign, and its magnitude is taken as an integer. Rounding c first
        puts shiftedX up to one point off scaledX's nearest; the cubics hold for |t| <= 1. */
    [[gnu::always_inline]] inline MagnitudeAndSign loopTanhPartsOfScaled (Double2 scaledX, Double2 shiftedX) noexcept
    {
        const Int2 signBit = { INT64_MIN, INT64_MIN };
        std::int64_t magicBits;
        std::memcpy (&magicBits, &roundingMagic, sizeof (magicBits));

        const auto sign = (Int2) scaledX & signBit;
        const auto t = (Double2) ((Int2) (scaledX - (shiftedX - roundingMagic)) ^ sign);

        // Past 2^51, where shifted leaves magic's binade, the magnitude is at least the last
        // index too (unsigned, so even the most negative difference is).
        constexpr auto lastIndex = (std::uint64_t) (loopNumPoints - 1);
        const auto rounded = (Int2) shiftedX - magicBits;
        const auto magnitudeOf = [] (std::int64_t i) { const auto u = (std::uint64_t) i; return i < 0 ? 0 - u : u; };
        const auto i0 = std::min (magnitudeOf (rounded[0]), lastIndex);
        const auto i1 = std::min (magnitudeOf (rounded[1]), lastIndex);
        const auto c = [i0, i1] (int n) { return Double2 { loopTable.coefficients[n][i0], loopTable.coefficients[n][i1] }; };

        const auto t2 = t * t;
        return { (c (0) + c (1) * t) + t2 * (c (2) + c (3) * t), sign };
    }

    [[gnu::always_inline]] inline MagnitudeAndSign loopTanhPartsOfScaled (Double2 scaledX) noexcept
    {
        return loopTanhPartsOfScaled (scaledX, scaledX + roundingMagic);
    }

    [[gnu::always_inline]] inline Double2 loopTanhOfScaled (Double2 scaledX) noexcept
    {
        const auto [magnitude, sign] = loopTanhPartsOfScaled (scaledX);
        return withSign (magnitude, sign);
    }

    struct SineAndTriangle
    {
        Double2 sine, triangle;
    };

    /** sin(p) to a few units in the last place for |p| up to a few thousand, and the triangle
        wave (2 / pi) asin(sin(p)) in [-1, 1], which the reduction gives exactly: with p = k pi/2 + r,
        |r| <= pi/4, asin(sin(p)) is r, pi/2 - |r|, -r or |r| - pi/2 by the quadrant k mod 4. */
    [[gnu::always_inline]] inline SineAndTriangle sine (Double2 p) noexcept
    {
        const Int2 signBit = { INT64_MIN, INT64_MIN };
        constexpr double magicValue = 0x1.8p52;
        const Double2 magic = broadcast (magicValue);
        std::int64_t magicBits;
        std::memcpy (&magicBits, &magicValue, sizeof (magicBits));

        // pi/2 in three parts (33, 33 and the rest of the bits), so k times each is exact.
        constexpr double halfPi1 = 1.57079632673412561417e+00;
        constexpr double halfPi2 = 6.07710050630396597660e-11;
        constexpr double halfPi3 = 2.02226624879595063154e-21;
        constexpr double halfPi = 1.57079632679489661923;
        constexpr double twoOverPi = 0.63661977236758134308;

        const auto shifted = p * twoOverPi + magic;
        const auto k = shifted - magic;
        const auto r = ((p - k * halfPi1) - k * halfPi2) - k * halfPi3;
        const auto quadrant = (Int2) shifted - magicBits;

        const auto r2 = r * r;
        const auto r4 = r2 * r2;
        const auto r8 = r4 * r4;

        // Taylor polynomials, exact to below half an ulp on |r| <= pi/4.
        const auto oddTerms = [r2] (double c0, double c1) { return c0 + c1 * r2; };
        const auto sinTail = (oddTerms (-1.0 / 6.0, 1.0 / 120.0) + r4 * oddTerms (-1.0 / 5040.0, 1.0 / 362880.0))
                           + r8 * (oddTerms (-1.0 / 39916800.0, 1.0 / 6227020800.0) + r4 * oddTerms (-1.0 / 1307674368000.0, 0.0));
        const auto sinR = r + r * r2 * sinTail;
        const auto cosTail = (oddTerms (1.0 / 24.0, -1.0 / 720.0) + r4 * oddTerms (1.0 / 40320.0, -1.0 / 3628800.0))
                           + r8 * (oddTerms (1.0 / 479001600.0, -1.0 / 87178291200.0) + r4 * oddTerms (1.0 / 20922789888000.0, 0.0));
        const auto cosR = 1.0 - 0.5 * r2 + r4 * cosTail;

        const auto swapped = (quadrant & 1) != 0;
        const auto negated = (Int2) ((quadrant & 2) << 62) & signBit;
        const auto magnitudeOfR = (Double2) ((Int2) r & ~signBit);

        const auto sineValue = swapped ? cosR : sinR;
        const auto triangleRadians = swapped ? halfPi - magnitudeOfR : r;

        return { (Double2) ((Int2) sineValue ^ negated),
                 (Double2) ((Int2) (triangleRadians * twoOverPi) ^ negated) };
    }
}

#pragma once

#include <algorithm>

/** The ladder's shaping curves and output taps. The engine runs them on real samples and its
    small-signal response (LadderResponse, which the response graph draws) on complex gains, so
    the picture and the sound come from the same code. */
namespace LadderShaping
{
    /** Smoothstep c^2 (3 - 2c) with c = t clamped to [0, 1]. */
    inline double smoothStep (double t) noexcept
    {
        const auto c = std::clamp (t, 0.0, 1.0);
        return c * c * (3.0 - 2.0 * c);
    }

    /** 1 at or below 20 Hz, 0 at or above 110 Hz: drives the low-cutoff resonance shaping. */
    inline double lowCutoffWeight (double cutoff) noexcept      { return smoothStep ((110.0 - cutoff) / 90.0); }

    /** 0 at or below 2400 Hz, 1 at or above 12 kHz: softens the feedback at high cutoffs. */
    inline double highCutoffWeight (double cutoff) noexcept     { return smoothStep ((cutoff - 2400.0) / 9600.0); }

    /** Upper-range weight, scaled by the resonance squared. */
    inline double highCutoffResonanceWeight (double cutoff, double resonance) noexcept
    {
        return smoothStep ((cutoff - 6000.0) / 9000.0) * resonance * resonance;
    }

    /** Ring tone weight: resonance above 0.58 at very low cutoffs. */
    inline double ringWeight (double resonance, double lowWeight) noexcept
    {
        return smoothStep ((resonance - 0.58) / 0.32) * lowWeight;
    }

    inline double feedbackGain (double resonance, double lowWeight, double highWeight) noexcept
    {
        return resonance * (3.62 + 0.12 * lowWeight * resonance) * (1.0 - 0.04 * highWeight * resonance);
    }

    /** The largest feedback gain the engine's loop can take at this stage gain G = g / (1 + g)
        and processing rate while still dying away.

        The feedback takes the fourth stage's output of the previous sample, and that delay costs
        phase: for small signals the loop z (z - (1 - 2G))^4 + K G^4 (z + 1)^4 has a pole pair on
        the unit circle, at z = e^(j 2 asin G), exactly when K = 4 / (1 + G)^2. That drops below the
        specified feedback at high cutoffs (to 2.7 at G = 0.22, a cutoff near 0.085 of the rate),
        where the filter would otherwise sing on by itself.

        The limit sits a little inside that edge, so that the slowest pole still decays by
        stableLoopDecayDbPerSecond. Near the edge K and that pole's decay trade linearly: each neper
        per sample of decay costs 4 ((1 + G)^3 + 1 - G) / (G (1 + G)^4) of K, so the margin needs
        no root finding. At low cutoffs the demanded decay per sample is capped at stableLoopDecayCap x G:
        there the slow decay is the ladder's own, not the delay's, and the limit stays above 3.6,
        out of the feedback's reach. */
    inline constexpr double stableLoopDecayDbPerSecond = 200.0;
    inline constexpr double stableLoopDecayCap = 0.03;

    inline double stableFeedbackLimit (double stageGain, double rate) noexcept
    {
        constexpr double nepersPerDb = 0.11512925464970229;   // ln(10) / 20
        const double onePlusG = 1.0 + stageGain;
        const double squared = onePlusG * onePlusG;
        const double decayOverStageGain = std::min (stableLoopDecayDbPerSecond * nepersPerDb / (rate * stageGain),
                                                   stableLoopDecayCap);
        const double slope = 4.0 * (squared * onePlusG + 1.0 - stageGain) / (squared * squared);
        return 4.0 / squared - decayOverStageGain * slope;
    }

    enum Mode  { lowPass = 0, highPass = 1, bandPass = 2 };
    enum Slope { onePole = 0, threePole = 1, fourPole = 2 };

    /** Mixes the ladder's input v and its four stage outputs into the selected response. */
    template <int Mode, int Slope, typename T>
    inline T tapMix (T v, T y1, T y2, T y3, T y4) noexcept
    {
        if constexpr (Mode == lowPass)
        {
            if constexpr (Slope == onePole)        return y1;
            else if constexpr (Slope == threePole) return y3;
            else                                   return y4;
        }
        else if constexpr (Mode == highPass)
        {
            if constexpr (Slope == onePole)        return v - y1;
            else if constexpr (Slope == threePole) return v - 3.0 * y1 + 3.0 * y2 - y3;
            else                                   return v - 4.0 * y1 + 6.0 * y2 - 4.0 * y3 + y4;
        }
        else
        {
            if constexpr (Slope == onePole)        return y1 - y2;
            else if constexpr (Slope == threePole) return y2 - y4;
            else                                   return y1 - 3.0 * y2 + 3.0 * y3 - y4;
        }
    }

    /** Runtime form of tapMix for callers that are not specialised per mode and slope. */
    template <typename T>
    inline T tapMix (int mode, int slope, T v, T y1, T y2, T y3, T y4) noexcept
    {
        switch (mode * 3 + slope)
        {
            case 0:  return tapMix<lowPass,  onePole>   (v, y1, y2, y3, y4);
            case 1:  return tapMix<lowPass,  threePole> (v, y1, y2, y3, y4);
            case 2:  return tapMix<lowPass,  fourPole>  (v, y1, y2, y3, y4);
            case 3:  return tapMix<highPass, onePole>   (v, y1, y2, y3, y4);
            case 4:  return tapMix<highPass, threePole> (v, y1, y2, y3, y4);
            case 5:  return tapMix<highPass, fourPole>  (v, y1, y2, y3, y4);
            case 6:  return tapMix<bandPass, onePole>   (v, y1, y2, y3, y4);
            case 7:  return tapMix<bandPass, threePole> (v, y1, y2, y3, y4);
            default: return tapMix<bandPass, fourPole>  (v, y1, y2, y3, y4);
        }
    }

    /** Low-cutoff resonance shaping of the low-pass output (amounts A = wLow r, B = wLow r^2):
        mixes in the stage differences so the resonance keeps its body at very low cutoffs. */
    template <typename T>
    inline T shapeLowPass (T out, bool fourPoles, double a, double b, T y1, T y2, T y4) noexcept
    {
        out = (out + 0.62 * a * ((y1 - y4) + 0.5 * (y2 - y4))) * (1.0 + 0.48 * a);

        if (fourPoles && b > 0.0)
            out = (out + 0.55 * b * (0.7 * (y1 - y4) + 0.45 * (y2 - y4))) * (1.0 + 0.58 * b);

        return out;
    }

    template <typename T>
    inline T shapeBandPass (T out, double a) noexcept   { return out * (1.0 + 0.65 * a); }
}

#include "processor/LadderResponse.h"
#include "processor/LadderShaping.h"

#include <cmath>

namespace
{
    using Complex = LadderResponse::Complex;
    using HalfBandFilter = LadderResponse::HalfBandFilter;

    /** The half-band filter of one direction of the engine's oversampler, designed as JUCE's
        juce::dsp::Oversampling designs it for the engine's settings (one factor-two stage of
        type filterHalfBandPolyphaseIIR at maximum quality: transition width 0.10 x 0.5 and
        -90 dB for up-sampling, 0.12 x 0.5 and -75 dB for down-sampling), in 32-bit as it runs,
        and split into the two cascades the way its stage processes them. */
    HalfBandFilter designHalfBand (float normalisedTransitionWidth, float stopbandDb)
    {
        auto structure = juce::dsp::FilterDesign<float>::designIIRLowpassHalfBandPolyphaseAllpassMethod (normalisedTransitionWidth,
                                                                                                          stopbandDb);
        // The delayed path's first entry is the delay itself, which the stage makes by placing
        // that path on the odd samples.
        juce::Array<float> coefficients;

        for (int i = 0; i < structure.directPath.size(); ++i)
            coefficients.add (structure.directPath.getObjectPointer (i)->coefficients[0]);

        for (int i = 1; i < structure.delayedPath.size(); ++i)
            coefficients.add (structure.delayedPath.getObjectPointer (i)->coefficients[0]);

        HalfBandFilter filter;
        const auto numStages = std::min (coefficients.size(), 2 * HalfBandFilter::maxSections);
        filter.numDelayed = numStages / 2;
        filter.numDirect = numStages - filter.numDelayed;

        for (int i = 0; i < filter.numDirect; ++i)
            filter.direct[i] = (double) coefficients[i];

        for (int i = 0; i < filter.numDelayed; ++i)
            filter.delayed[i] = (double) coefficients[filter.numDirect + i];

        return filter;
    }

    /** A cascade of first-order allpasses (a + z^-1) / (1 + a z^-1) at z^-1 = zInverse. */
    Complex allpassCascade (const double* alphas, int count, Complex zInverse) noexcept
    {
        Complex product (1.0, 0.0);

        for (int i = 0; i < count; ++i)
            product *= (alphas[i] + zInverse) / (1.0 + alphas[i] * zInverse);

        return product;
    }
}

//==============================================================================
const HalfBandFilter& LadderResponse::upsamplingFilter()
{
    static const auto filter = designHalfBand (0.10f * 0.5f, -90.0f);
    return filter;
}

const HalfBandFilter& LadderResponse::downsamplingFilter()
{
    static const auto filter = designHalfBand (0.12f * 0.5f, -75.0f);
    return filter;
}

//==============================================================================
LadderResponse::LadderResponse (float cutoffHz, float resonanceAmount, float makeupGainDb, int modeIndex, int slopeIndex,
                                double hostRateHz, bool useOversampling)
    : host (LadderEngine::usableSampleRate (hostRateHz)),
      rate (useOversampling ? 2.0 * host : host),
      oversampled (useOversampling)
{
    // Drive 1: the drawing leaves the drive out (at small signal it is a plain input gain).
    setUp (LadderEngine::settingsFromParameters (cutoffHz, resonanceAmount, 1.0f, makeupGainDb, modeIndex, slopeIndex, host));

    // Designed (once, allocating) before the first call of at, which must not throw.
    if (oversampled)
    {
        upsamplingFilter();
        downsamplingFilter();
    }
}

LadderResponse::LadderResponse (const LadderEngine::Settings& settings, double processingRate)
    : host (processingRate), rate (processingRate), oversampled (false)
{
    setUp (settings);
}

void LadderResponse::setUp (const LadderEngine::Settings& settings)
{
    terms = LadderEngine::computeBlockTerms (settings.cutoffHz, settings.resonanceAmount, settings.driveGain,
                                             settings.makeupGainDb, rate);
    stage = LadderEngine::stageGain (terms.targetCutoff, rate);
    feedback = LadderEngine::loopFeedbackGain (terms.feedbackGain, stage, rate);
    ring = LadderShaping::ringWeight (settings.resonanceAmount, LadderShaping::lowCutoffWeight (terms.targetCutoff));
    filterMode = LadderEngine::kernelMode (settings.modeIndex);
    filterSlope = LadderEngine::kernelSlope (settings.slopeIndex);
}

bool LadderResponse::ringSounds() const noexcept
{
    return filterMode == LadderShaping::lowPass && terms.shapingLow > 0.0 && terms.ringAmount > 0.0;
}

//==============================================================================
LadderResponse::Complex LadderResponse::engineAtPoint (Complex z) const noexcept
{
    using namespace LadderShaping;

    const Complex one (1.0, 0.0);
    const auto zInverse = std::conj (z); // on the unit circle

    const auto h1 = stage * (z + 1.0) / (z - 1.0 + 2.0 * stage);
    const auto h2 = h1 * h1;
    const auto h3 = h2 * h1;
    const auto h4 = h2 * h2;

    // The fourth stage's output of the previous sample is fed back: z^-1.
    const auto v = one / (one + feedback * zInverse * h4);
    const auto y1 = h1 * v, y2 = h2 * v, y3 = h3 * v, y4 = h4 * v;

    auto out = tapMix (filterMode, filterSlope, v, y1, y2, y3, y4);

    if (terms.shapingLow > 0.0)
    {
        if (filterMode == lowPass)
            out = shapeLowPass (out, filterSlope == fourPole, terms.shapingLow, terms.shapingLowSquared, y1, y2, y4);
        else if (filterMode == bandPass)
            out = shapeBandPass (out, terms.shapingLow);
    }

    return terms.outputGain * out;
}

LadderResponse::Complex LadderResponse::engineAt (double frequencyHz) const noexcept
{
    return engineAtPoint (std::polar (1.0, juce::MathConstants<double>::twoPi * frequencyHz / rate));
}

LadderResponse::Complex LadderResponse::at (double frequencyHz) const noexcept
{
    if (! (frequencyHz < 0.5 * host))
        return {};

    if (! oversampled)
        return engineAt (frequencyHz);

    // w on the unit circle of the processing rate, w^2 on that of the host rate, where the
    // half-band filters' allpasses run.
    const auto w = std::polar (1.0, juce::MathConstants<double>::pi * frequencyHz / host);
    const auto wInverse = std::conj (w);
    const auto hostZInverse = wInverse * wInverse;

    const auto& up = upsamplingFilter();
    const auto& down = downsamplingFilter();
    const auto upDirect = allpassCascade (up.direct, up.numDirect, hostZInverse);
    const auto upDelayed = wInverse * allpassCascade (up.delayed, up.numDelayed, hostZInverse);
    const auto downDirect = allpassCascade (down.direct, down.numDirect, hostZInverse);
    const auto downDelayed = wInverse * allpassCascade (down.delayed, down.numDelayed, hostZInverse);

    // The up-sampler writes the direct cascade on the even samples and the delayed one on the
    // odd ones; the down-sampler halves the sum of its direct cascade on the even samples and
    // its delayed one on the odd samples. At -w the odd samples change sign.
    const auto passed = (upDirect + upDelayed) * engineAtPoint (w) * (downDirect + downDelayed);
    const auto folded = (upDirect - upDelayed) * engineAtPoint (-w) * (downDirect - downDelayed);
    return 0.25 * (passed + folded);
}

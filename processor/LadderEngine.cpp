#include "processor/LadderEngine.h"
#include "processor/LadderShaping.h"
#include "processor/VectorMath.h"

#include <cmath>

namespace
{
    constexpr double twoPi = juce::MathConstants<double>::twoPi;
    constexpr double minimumCutoff = 20.0;
    constexpr double maximumCutoffRatio = 0.49;
    constexpr double smoothingTimeSeconds = 0.012;
    constexpr double smootherSnapDistance = 0.001;
    constexpr double ringEnvelopeDecay = 0.9994;

    /** Clamps to [low, high]; NaN (only reachable through a damaged state) lands on low. */
    float clampedSetting (float value, float low, float high) noexcept
    {
        return value >= low ? std::min (value, high) : low;
    }
}

LadderEngine::Settings LadderEngine::settingsFromParameters (float cutoff, float resonance, float drive, float makeupGain,
                                                             int mode, int slope, double hostRate) noexcept
{
    return { clampedSetting (cutoff, 20.0f, (float) (maximumCutoffRatio * hostRate)),
             clampedSetting (resonance, 0.0f, 0.99f),
             clampedSetting (drive, 1.0f, 10.0f),
             clampedSetting (makeupGain, 0.0f, 6.0f),
             (mode == 1 || mode == 2) ? mode : 0,
             (slope == 0 || slope == 1) ? slope : 2 };
}

double LadderEngine::usableSampleRate (double rate) noexcept
{
    // Hosts have been seen to pass nonsense here; fall back to something that cannot divide by zero.
    return (std::isfinite (rate) && rate > 0.0) ? rate : 44100.0;
}

double LadderEngine::clampedCutoff (double cutoff, double rate) noexcept
{
    // The Nyquist guard wins over the 20 Hz floor: at rates below about 41 Hz the floor
    // itself would make the stages unstable.
    return std::min (maximumCutoffRatio * rate, cutoff < minimumCutoff ? minimumCutoff : cutoff);
}

double LadderEngine::stageGain (double cutoff, double rate) noexcept
{
    const double period = 1.0 / rate;
    const double g = std::tan (twoPi * cutoff * period / 2.0) * (2.0 / period) * period / 2.0;
    return g / (1.0 + g);
}

double LadderEngine::loopFeedbackGain (double feedbackGain, double stageGainN, double rate) noexcept
{
    // The specified K is kept wherever the loop can take it, so stable settings are untouched.
    return std::min (feedbackGain, LadderShaping::stableFeedbackLimit (stageGainN, rate));
}

int LadderEngine::kernelMode (std::int32_t index) noexcept
{
    return (index == LadderShaping::highPass || index == LadderShaping::bandPass) ? index : LadderShaping::lowPass;
}

int LadderEngine::kernelSlope (std::int32_t index) noexcept
{
    return (index == LadderShaping::onePole || index == LadderShaping::threePole) ? index : LadderShaping::fourPole;
}

void LadderEngine::prepare (double newSampleRate, int maximumBlockSize, int channelCount)
{
    sampleRate = usableSampleRate (newSampleRate);
    numChannels = (std::uint64_t) std::max (1, channelCount);

    const auto blockSize = std::max (1, maximumBlockSize);

    oversampler = std::make_unique<juce::dsp::Oversampling<float>> (
        (size_t) numChannels, 1, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, false);
    oversampler->initProcessing ((size_t) blockSize);

    coefficients.assign ((size_t) (2 * blockSize + 16), 0.0);
    feedbackGains.assign (coefficients.size(), 0.0);
    settledFill = {};
    spareLane.assign (coefficients.size(), 0.0f);
    ringWave.assign (coefficients.size(), 0.0);

    reset();
}

void LadderEngine::reset()
{
    if (oversampler != nullptr)
        oversampler->reset();

    for (auto* state : { &stage1, &stage2, &stage3, &stage4, &lastOutput, &ringPhase, &ringEnvelope })
        state->fill (0.0);

    // Snap to the cutoff as the next block will clamp it: starting the glide beyond Nyquist
    // would run a block of unstable coefficients.
    smoothedCutoffHz = clampedCutoff (cutoffHz, sampleRate);
}

LadderEngine::BlockTerms LadderEngine::computeBlockTerms (double cutoff, double resonance, double drive,
                                                          double makeupDb, double rate)
{
    using namespace LadderShaping;

    BlockTerms terms {};
    const double r = resonance;

    terms.targetCutoff = clampedCutoff (cutoff, rate);

    const double wLow = lowCutoffWeight (terms.targetCutoff);
    const double wHigh1 = highCutoffWeight (terms.targetCutoff);
    const double wHigh2 = highCutoffResonanceWeight (terms.targetCutoff, r);

    terms.shapingLow = wLow * r;
    terms.shapingLowSquared = wLow * r * r;
    terms.ringAmount = 0.13 * ringWeight (r, wLow);
    terms.ringPhaseStep = terms.ringAmount > 0.0 ? twoPi * terms.targetCutoff / rate : 0.0;
    terms.feedbackGain = feedbackGain (r, wLow, wHigh1);
    terms.loopSaturation = 1.0 + 1.1 * r + 0.45 * (drive - 1.0) / 9.0 + 1.1 * wHigh1 * r + 1.3 * wHigh2;
    terms.summingBlend = std::clamp (1.2 * r + 0.25 * wHigh2, 0.0, 1.0);
    terms.outputGain = juce::Decibels::decibelsToGain (makeupDb);
    return terms;
}

//==============================================================================
namespace
{
    using VectorMath::Double2;
    using VectorMath::broadcast;

    [[gnu::always_inline]] inline Double2 magnitudeOf (Double2 x) noexcept
    {
        return x < 0.0 ? -x : x;
    }

    /** Two channels' worth of one block: their samples, the block's coefficients and their
        filter memory, one channel per vector lane. */
    struct PairJob
    {
        float* lanes[2];
        size_t numSamples;
        const double* stageGains;
        const double* feedbackGains;
        double* ringWave;   // one per sample
        double drive;
        LadderEngine::BlockTerms terms;
        Double2 s1, s2, s3, s4, lastOutput, ringPhase, ringEnvelope;
    };

    /** The ring depends on the input and its own phase only, never on the loop. */
    struct RingTone
    {
        Double2 phase, envelope;

        /** The waveform at these phases: the triangle (2 / pi) asin(sin(phase)) comes exactly
            out of the sine's own reduction. */
        [[gnu::always_inline]] static Double2 waveAt (Double2 phases) noexcept
        {
            const auto [sine, triangle] = VectorMath::sine (phases);
            return VectorMath::tanh (1.35 * (0.22 * triangle + 0.78 * sine));
        }

        [[gnu::always_inline]] static double advanced (double p, double step) noexcept
        {
            p += step;
            return p >= twoPi ? p - twoPi : p;
        }

        /** Both lanes almost always share their phase: then the waveform goes two samples per
            vector, ahead of the loop. Returns false where they differ. */
        [[gnu::always_inline]] bool makeSharedWave (double* wave, size_t numSamples, double step) noexcept
        {
            if (phase[0] != phase[1])
                return false;

            double p = phase[0];

            for (size_t n = 0; n < numSamples; n += 2)
            {
                const double second = advanced (p, step);
                const auto values = waveAt (Double2 { p, second });
                wave[n] = values[0];

                if (n + 1 < numSamples)
                {
                    wave[n + 1] = values[1];
                    p = advanced (second, step);
                }
                else
                {
                    p = second;
                }
            }

            phase = broadcast (p);
            return true;
        }

        [[gnu::always_inline]] Double2 gateFor (Double2 x) noexcept
        {
            const auto decayed = ringEnvelopeDecay * envelope;
            const auto magnitude = magnitudeOf (x);
            envelope = decayed < magnitude ? magnitude : decayed;

            const auto gate = 8.0 * envelope;
            return gate > 1.0 ? broadcast (1.0) : gate;
        }

        /** One sample with each lane's own phase. */
        [[gnu::always_inline]] Double2 nextWave (double step) noexcept
        {
            const auto values = waveAt (phase);
            phase = phase + step;
            phase = phase >= twoPi ? phase - twoPi : phase;
            return values;
        }
    };

    template <int Mode, int Slope>
    [[gnu::always_inline]] inline void filterPair (PairJob& job) noexcept
    {
        using namespace LadderShaping;

        const auto& terms = job.terms;
        const bool shaping = terms.shapingLow > 0.0;
        const bool ring = Mode == lowPass && shaping && terms.ringAmount > 0.0;

        const auto drive = broadcast (job.drive);
        RingTone ringTone { job.ringPhase, job.ringEnvelope };
        const bool sharedWave = ring && ringTone.makeSharedWave (job.ringWave, job.numSamples, terms.ringPhaseStep);

        const double q = terms.loopSaturation, inverseQ = 1.0 / q, h = terms.summingBlend;
        auto s1 = job.s1, s2 = job.s2, s3 = job.s3, s4 = job.s4, y4 = job.lastOutput;

        // Only the loop's own path waits from sample to sample: Q times the fourth stage's output
        // goes into the next feedback tanh, and it is formed straight from the summing node's
        // two terms, y4 = G^4 v + (1 - G) (G^3 s1 + G^2 s2 + G s3 + s4), while the stages
        // themselves are worked out beside it. The path's two tanh take their arguments scaled
        // by the table's points per unit (exactly, a power of two), folded into the multiplies.
        constexpr double scale = VectorMath::loopPointsPerUnit, unscale = 1.0 / scale;
        auto scaledLoopInput = (scale * q) * y4;
        auto shiftedLoopInput = scaledLoopInput + VectorMath::roundingMagic;

        // The input saturation and the ring stand outside the feedback path: they fill the time
        // the processor would otherwise spend waiting on the loop's tanh.
        for (size_t n = 0; n < job.numSamples; ++n)
        {
            const Double2 x { job.lanes[0][n], job.lanes[1][n] };
            const auto scaledInput = scale * VectorMath::tanh (drive * x);
            Double2 ringNow {};

            if (ring)
            {
                const auto wave = sharedWave ? broadcast (job.ringWave[n]) : ringTone.nextWave (terms.ringPhaseStep);
                ringNow = wave * terms.ringAmount * ringTone.gateFor (x);
            }

            const double g = job.stageGains[n];
            const double feedback = job.feedbackGains[n] * inverseQ;
            const double qg4 = q * ((g * g) * (g * g));
            const double fromSaturated = qg4 * h, fromLinear = qg4 - fromSaturated;
            const auto fromStates = (scale * q * (1.0 - g)) * (((g * s1 + s2) * g + s3) * g + s4);

            // Each tanh's sign goes onto the factor it is multiplied by, which waits for nothing,
            // and each argument is also formed already rounded to the table's grid, by a second
            // multiply-add beside the first.
            const auto fed = VectorMath::loopTanhPartsOfScaled (scaledLoopInput, shiftedLoopInput);
            const auto signedFeedback = VectorMath::withSign (broadcast (-scale * feedback), fed.sign);
            const auto scaledU = signedFeedback * fed.magnitude + scaledInput;
            const auto shiftedU = signedFeedback * fed.magnitude + (scaledInput + VectorMath::roundingMagic);

            const auto saturated = VectorMath::loopTanhPartsOfScaled (scaledU, shiftedU);
            const auto signedFromSaturated = VectorMath::withSign (broadcast (scale * fromSaturated), saturated.sign);
            const auto fromU = fromLinear * scaledU + fromStates;
            scaledLoopInput = signedFromSaturated * saturated.magnitude + fromU;
            shiftedLoopInput = signedFromSaturated * saturated.magnitude + (fromU + VectorMath::roundingMagic);

            const auto u = unscale * scaledU;
            const auto v = u + h * (VectorMath::withSign (saturated.magnitude, saturated.sign) - u);
            const auto y1 = (v  - s1) * g + s1;  s1 = 2.0 * y1 - s1;
            const auto y2 = (y1 - s2) * g + s2;  s2 = 2.0 * y2 - s2;
            const auto y3 = (y2 - s3) * g + s3;  s3 = 2.0 * y3 - s3;
            y4 = (y3 - s4) * g + s4;             s4 = 2.0 * y4 - s4;

            auto out = tapMix<Mode, Slope> (v, y1, y2, y3, y4);

            if (shaping)
            {
                if constexpr (Mode == lowPass)
                {
                    out = shapeLowPass (out, Slope == fourPole, terms.shapingLow, terms.shapingLowSquared, y1, y2, y4);

                    if (ring)
                        out += ringNow;
                }
                else if constexpr (Mode == bandPass)
                {
                    out = shapeBandPass (out, terms.shapingLow);
                }
            }

            out = terms.outputGain * out;
            job.lanes[0][n] = (float) out[0];
            job.lanes[1][n] = (float) out[1];
        }

        job.s1 = s1; job.s2 = s2; job.s3 = s3; job.s4 = s4;
        job.lastOutput = y4;
        job.ringPhase = ringTone.phase;
        job.ringEnvelope = ringTone.envelope;
    }

    /** About -480 dB: whatever memory is left below this never comes out as anything. */
    constexpr double restLevel = 1.0e-24;

    bool isAtRest (const PairJob& job) noexcept
    {
        for (const auto& state : { job.s1, job.s2, job.s3, job.s4, job.lastOutput })
            if (std::abs (state[0]) >= restLevel || std::abs (state[1]) >= restLevel)
                return false;

        return true;
    }

    bool isSilent (const float* samples, size_t numSamples) noexcept
    {
        float loudest = 0.0f;

        for (size_t n = 0; n < numSamples; ++n)
            loudest = std::max (loudest, std::abs (samples[n]));

        return loudest == 0.0f;
    }

    using PairKernel = void (*) (PairJob&);

    template <int Mode, int Slope>
    void baselineKernel (PairJob& job) noexcept   { filterPair<Mode, Slope> (job); }

    // The same code built for AVX2 with fused multiply-adds, chosen at run time.
    template <int Mode, int Slope>
    [[gnu::target ("avx2,fma")]] void wideKernel (PairJob& job) noexcept   { filterPair<Mode, Slope> (job); }

    constexpr PairKernel baselineKernels[] = {
        baselineKernel<0, 0>, baselineKernel<0, 1>, baselineKernel<0, 2>,
        baselineKernel<1, 0>, baselineKernel<1, 1>, baselineKernel<1, 2>,
        baselineKernel<2, 0>, baselineKernel<2, 1>, baselineKernel<2, 2>,
    };

    constexpr PairKernel wideKernels[] = {
        wideKernel<0, 0>, wideKernel<0, 1>, wideKernel<0, 2>,
        wideKernel<1, 0>, wideKernel<1, 1>, wideKernel<1, 2>,
        wideKernel<2, 0>, wideKernel<2, 1>, wideKernel<2, 2>,
    };
}

LadderEngine::Kernel LadderEngine::bestKernel() noexcept
{
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma") ? Kernel::wide : Kernel::baseline;
}

void LadderEngine::growScratch (size_t numSamples)
{
    // only when a block is longer than prepared
    if (coefficients.size() < numSamples)
    {
        coefficients.resize (numSamples);
        feedbackGains.resize (numSamples);
        settledFill = {};
    }

    if (spareLane.size() < numSamples)
    {
        spareLane.resize (numSamples);
        ringWave.resize (numSamples);
    }
}

void LadderEngine::advanceCutoffSmoother (double targetCutoff, double feedbackGain, double rate, size_t numSamples)
{
    if (smootherRate != rate)
    {
        smootherFactor = std::exp (-1.0 / (smoothingTimeSeconds * rate));
        smootherRate = rate;
    }

    const double smoothing = smootherFactor;

    const auto stableFeedback = [feedbackGain, rate] (double stageGainN) noexcept
    {
        return loopFeedbackGain (feedbackGain, stageGainN, rate);
    };

    if (smoothedCutoffHz == targetCutoff)
    {
        // Settled: the smoother would return the target on every sample, so one tan will do,
        // and none while the settings stay as they are.
        if (settledFill.cutoff == targetCutoff && settledFill.rate == rate && settledFill.feedbackGain == feedbackGain
            && settledFill.length >= numSamples)
            return;

        const double settledGain = stageGain (targetCutoff, rate);
        std::fill (coefficients.begin(), coefficients.end(), settledGain);
        std::fill (feedbackGains.begin(), feedbackGains.end(), stableFeedback (settledGain));
        settledFill = { targetCutoff, rate, feedbackGain, coefficients.size() };
        return;
    }

    settledFill = {};

    // While gliding the limit follows the stage gain sample by sample: a glide from a high
    // cutoff down passes through gains at which the target's K would ring.
    for (size_t n = 0; n < numSamples; ++n)
    {
        smoothedCutoffHz = (smoothedCutoffHz - targetCutoff) * smoothing + targetCutoff;

        if (std::abs (smoothedCutoffHz - targetCutoff) < smootherSnapDistance)
            smoothedCutoffHz = targetCutoff;

        coefficients[n] = stageGain (smoothedCutoffHz, rate);
        feedbackGains[n] = stableFeedback (coefficients[n]);
    }
}

void LadderEngine::process (juce::dsp::AudioBlock<float> block, double rate)
{
    const auto numSamples = block.getNumSamples();
    const TermsKey key { cutoffHz, resonanceAmount, driveGain, makeupGainDb, rate };

    if (! (key == termsKey))
    {
        cachedTerms = computeBlockTerms (cutoffHz, resonanceAmount, driveGain, makeupGainDb, rate);
        termsKey = key;
    }

    const auto terms = cachedTerms;

    growScratch (numSamples);
    advanceCutoffSmoother (terms.targetCutoff, terms.feedbackGain, rate, numSamples);

    const auto channelsToFilter = std::min (block.getNumChannels(), (size_t) maxChannels);
    size_t channel = 0;

    for (; channel + 2 <= channelsToFilter; channel += 2)
        processPair (block, channel, true, terms);

    if (channel < channelsToFilter)
        processPair (block, channel, false, terms);

    for (size_t c = 0; c < channelsToFilter; ++c)
        clearChannelIfNotFinite (c);
}

void LadderEngine::processPair (juce::dsp::AudioBlock<float>& block, size_t channel, bool withPartner, const BlockTerms& terms)
{
    const auto numSamples = block.getNumSamples();
    const auto partner = channel + 1;

    if (! withPartner)
        std::fill_n (spareLane.begin(), numSamples, 0.0f);

    const auto pair = [channel, partner, withPartner] (const ChannelState& state)
    {
        return Double2 { state[channel], withPartner ? state[partner] : 0.0 };
    };

    PairJob job { { block.getChannelPointer (channel), withPartner ? block.getChannelPointer (partner) : spareLane.data() },
                  numSamples, coefficients.data(), feedbackGains.data(), ringWave.data(),
                  (double) driveGain, terms,
                  pair (stage1), pair (stage2), pair (stage3), pair (stage4), pair (lastOutput),
                  // a silent lane keeps in step with its channel's ring, so they share its waveform
                  withPartner ? pair (ringPhase) : broadcast (ringPhase[channel]), pair (ringEnvelope) };

    const auto mode = kernelMode (modeIndex);

    // A filter whose memory has died away turns silence into silence: nothing to compute until
    // sound comes in again. (Flushed denormals do not let the memory reach zero by itself: s g
    // flushes to zero, so the stage update stops moving at the smallest normal numbers.) Not
    // while the ring runs, whose phase moves on in silence too.
    const bool ringRuns = mode == LadderShaping::lowPass && terms.shapingLow > 0.0 && terms.ringAmount > 0.0;
    const bool atRest = ! ringRuns && isAtRest (job) && isSilent (job.lanes[0], numSamples) && isSilent (job.lanes[1], numSamples);

    if (atRest)
    {
        job.s1 = job.s2 = job.s3 = job.s4 = job.lastOutput = Double2 {};

        // Silence out, also where the input held denormals that the audio thread's
        // denormals-are-zero mode let pass as silence above.
        std::fill_n (job.lanes[0], numSamples, 0.0f);
        std::fill_n (job.lanes[1], numSamples, 0.0f);
    }

    const auto slope = kernelSlope (slopeIndex);
    const auto& kernels = kernel == Kernel::wide ? wideKernels : baselineKernels;

    if (! atRest)
        kernels[mode * 3 + slope] (job);

    const auto unpair = [channel, partner, withPartner] (ChannelState& state, Double2 value)
    {
        state[channel] = value[0];

        if (withPartner)
            state[partner] = value[1];
    };

    unpair (stage1, job.s1); unpair (stage2, job.s2); unpair (stage3, job.s3); unpair (stage4, job.s4);
    unpair (lastOutput, job.lastOutput); unpair (ringPhase, job.ringPhase); unpair (ringEnvelope, job.ringEnvelope);
}

void LadderEngine::clearChannelIfNotFinite (size_t c)
{
    // A NaN that reached the ladder would otherwise circulate in the feedback loop forever.
    const bool finite = std::isfinite (stage1[c]) && std::isfinite (stage2[c]) && std::isfinite (stage3[c])
                     && std::isfinite (stage4[c]) && std::isfinite (lastOutput[c])
                     && std::isfinite (ringPhase[c]) && std::isfinite (ringEnvelope[c]);

    if (! finite)
    {
        for (auto* state : { &stage1, &stage2, &stage3, &stage4, &lastOutput, &ringPhase, &ringEnvelope })
            (*state)[c] = 0.0;
    }
}

#include "processor/LadderEngine.h"
#include "processor/LadderShaping.h"

#include <cmath>

namespace
{
    constexpr double twoPi = juce::MathConstants<double>::twoPi;
    constexpr double minimumCutoff = 20.0;
    constexpr double maximumCutoffRatio = 0.49;
    constexpr double smoothingTimeSeconds = 0.012;
    constexpr double smootherSnapDistance = 0.001;
    constexpr double ringEnvelopeDecay = 0.9994;

    double clampedCutoff (double cutoff, double rate) noexcept
    {
        return cutoff < minimumCutoff ? minimumCutoff : std::min (maximumCutoffRatio * rate, cutoff);
    }

    /** Bilinear-prewarped one-pole gain g / (1 + g) for the given cutoff. */
    double stageGain (double cutoff, double rate) noexcept
    {
        const double period = 1.0 / rate;
        const double g = std::tan (twoPi * cutoff * period / 2.0) * (2.0 / period) * period / 2.0;
        return g / (1.0 + g);
    }

    /** Trapezoidal one-pole low-pass step: returns the output and advances the state. */
    inline double onePoleStep (double input, double& state, double gain) noexcept
    {
        const double y = (input - state) * gain + state;
        state = 2.0 * y - state;
        return y;
    }
}

void LadderEngine::prepare (double newSampleRate, int maximumBlockSize, int channelCount)
{
    // Hosts have been seen to pass nonsense here; fall back to something that cannot divide by zero.
    sampleRate = (std::isfinite (newSampleRate) && newSampleRate > 0.0) ? newSampleRate : 44100.0;
    numChannels = (std::uint64_t) std::max (1, channelCount);

    const auto blockSize = std::max (1, maximumBlockSize);

    oversampler = std::make_unique<juce::dsp::Oversampling<float>> (
        (size_t) numChannels, 1, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, false);
    oversampler->initProcessing ((size_t) blockSize);

    coefficients.assign ((size_t) (2 * blockSize + 16), 0.0);

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

void LadderEngine::advanceCutoffSmoother (double targetCutoff, double rate, size_t numSamples)
{
    const double smoothing = std::exp (-1.0 / (smoothingTimeSeconds * rate));

    if (coefficients.size() < numSamples)
        coefficients.resize (numSamples);   // only when a block is longer than prepared

    if (smoothedCutoffHz == targetCutoff)
    {
        // Settled: the smoother would return the target on every sample, so one tan will do.
        std::fill_n (coefficients.begin(), numSamples, stageGain (targetCutoff, rate));
        return;
    }

    for (size_t n = 0; n < numSamples; ++n)
    {
        smoothedCutoffHz = (smoothedCutoffHz - targetCutoff) * smoothing + targetCutoff;

        if (std::abs (smoothedCutoffHz - targetCutoff) < smootherSnapDistance)
            smoothedCutoffHz = targetCutoff;

        coefficients[n] = stageGain (smoothedCutoffHz, rate);
    }
}

void LadderEngine::process (juce::dsp::AudioBlock<float> block, double rate)
{
    const auto numSamples = block.getNumSamples();
    const auto terms = computeBlockTerms (cutoffHz, resonanceAmount, driveGain, makeupGainDb, rate);

    advanceCutoffSmoother (terms.targetCutoff, rate, numSamples);

    const auto channelsToFilter = std::min (block.getNumChannels(), (size_t) maxChannels);

    for (size_t channel = 0; channel < channelsToFilter; ++channel)
    {
        auto* samples = block.getChannelPointer (channel);

        switch (modeIndex)
        {
            case LadderShaping::highPass: processChannelForMode<LadderShaping::highPass> (samples, numSamples, channel, terms); break;
            case LadderShaping::bandPass: processChannelForMode<LadderShaping::bandPass> (samples, numSamples, channel, terms); break;
            default:                      processChannelForMode<LadderShaping::lowPass>  (samples, numSamples, channel, terms); break;
        }

        clearChannelIfNotFinite (channel);
    }
}

template <int Mode>
void LadderEngine::processChannelForMode (float* samples, size_t numSamples, size_t channel, const BlockTerms& terms)
{
    switch (slopeIndex)
    {
        case LadderShaping::onePole:   processChannel<Mode, LadderShaping::onePole>   (samples, numSamples, channel, terms); break;
        case LadderShaping::threePole: processChannel<Mode, LadderShaping::threePole> (samples, numSamples, channel, terms); break;
        default:                       processChannel<Mode, LadderShaping::fourPole>  (samples, numSamples, channel, terms); break;
    }
}

template <int Mode, int Slope>
void LadderEngine::processChannel (float* samples, size_t numSamples, size_t c, const BlockTerms& terms)
{
    const double drive = driveGain;
    const double k = terms.feedbackGain;
    const double q = terms.loopSaturation;
    const double h = terms.summingBlend;
    const double a = terms.shapingLow;
    const double b = terms.shapingLowSquared;
    const double ringAmount = terms.ringAmount;
    const double gain = terms.outputGain;

    double s1 = stage1[c], s2 = stage2[c], s3 = stage3[c], s4 = stage4[c];
    double feedbackSource = lastOutput[c];

    for (size_t n = 0; n < numSamples; ++n)
    {
        const double x = samples[n];
        const double stageGainN = coefficients[n];

        const double i = std::tanh (drive * x);
        const double u = i - k * std::tanh (q * feedbackSource) / q;
        const double v = u + h * (std::tanh (u) - u);

        const double y1 = onePoleStep (v,  s1, stageGainN);
        const double y2 = onePoleStep (y1, s2, stageGainN);
        const double y3 = onePoleStep (y2, s3, stageGainN);
        const double y4 = onePoleStep (y3, s4, stageGainN);
        feedbackSource = y4;

        double out = LadderShaping::tapMix<Mode, Slope> (v, y1, y2, y3, y4);

        if (a > 0.0)
        {
            if constexpr (Mode == LadderShaping::lowPass)
            {
                out = LadderShaping::shapeLowPass (out, Slope == LadderShaping::fourPole, a, b, y1, y2, y4);

                if (ringAmount > 0.0)
                {
                    auto& envelope = ringEnvelope[c];
                    envelope = std::max (ringEnvelopeDecay * envelope, std::abs (x));
                    const double gate = std::clamp (8.0 * envelope, 0.0, 1.0);

                    auto& phase = ringPhase[c];
                    const double sine = std::sin (phase);
                    const double triangle = std::asin (sine) * 0.6366197723675814;
                    const double ring = std::tanh (1.35 * (0.22 * triangle + 0.78 * sine));

                    phase += terms.ringPhaseStep;
                    out += ring * ringAmount * gate;

                    if (phase >= twoPi)
                        phase -= twoPi;
                }
            }
            else if constexpr (Mode == LadderShaping::bandPass)
            {
                out = LadderShaping::shapeBandPass (out, a);
            }
        }

        samples[n] = (float) (gain * out);
    }

    stage1[c] = s1; stage2[c] = s2; stage3[c] = s3; stage4[c] = s4;
    lastOutput[c] = feedbackSource;
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

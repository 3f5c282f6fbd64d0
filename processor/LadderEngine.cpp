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
        // The Nyquist guard wins over the 20 Hz floor: at rates below about 41 Hz the floor
        // itself would make the stages unstable.
        return std::min (maximumCutoffRatio * rate, cutoff < minimumCutoff ? minimumCutoff : cutoff);
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
    feedbackGains.assign (coefficients.size(), 0.0);

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

void LadderEngine::advanceCutoffSmoother (double targetCutoff, double feedbackGain, double rate, size_t numSamples)
{
    const double smoothing = std::exp (-1.0 / (smoothingTimeSeconds * rate));

    if (coefficients.size() < numSamples)
    {
        // only when a block is longer than prepared
        coefficients.resize (numSamples);
        feedbackGains.resize (numSamples);
    }

    // The specified K is kept wherever the loop can take it, so stable settings are untouched.
    const auto stableFeedback = [feedbackGain, rate] (double stageGainN) noexcept
    {
        return std::min (feedbackGain, LadderShaping::stableFeedbackLimit (stageGainN, rate));
    };

    if (smoothedCutoffHz == targetCutoff)
    {
        // Settled: the smoother would return the target on every sample, so one tan will do.
        const double settledGain = stageGain (targetCutoff, rate);
        std::fill_n (coefficients.begin(), numSamples, settledGain);
        std::fill_n (feedbackGains.begin(), numSamples, stableFeedback (settledGain));
        return;
    }

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
    const auto terms = computeBlockTerms (cutoffHz, resonanceAmount, driveGain, makeupGainDb, rate);

    advanceCutoffSmoother (terms.targetCutoff, terms.feedbackGain, rate, numSamples);

    const auto channelsToFilter = std::min (block.getNumChannels(), (size_t) maxChannels);
    size_t channel = 0;

    // Channels go through in pairs: two independent feedback loops side by side keep the
    // processor busy while each waits on its own tanh.
    for (; channel + 2 <= channelsToFilter; channel += 2)
        processLanesForSettings<2> (block, channel, terms);

    if (channel < channelsToFilter)
        processLanesForSettings<1> (block, channel, terms);

    for (size_t c = 0; c < channelsToFilter; ++c)
        clearChannelIfNotFinite (c);
}

template <size_t Lanes>
void LadderEngine::processLanesForSettings (juce::dsp::AudioBlock<float>& block, size_t firstChannel, const BlockTerms& terms)
{
    using namespace LadderShaping;

    const auto mode = (modeIndex == highPass || modeIndex == bandPass) ? modeIndex : lowPass;
    const auto slope = (slopeIndex == onePole || slopeIndex == threePole) ? slopeIndex : fourPole;

    switch (mode * 3 + slope)
    {
        case 0:  processLanes<lowPass,  onePole,   Lanes> (block, firstChannel, terms); break;
        case 1:  processLanes<lowPass,  threePole, Lanes> (block, firstChannel, terms); break;
        case 2:  processLanes<lowPass,  fourPole,  Lanes> (block, firstChannel, terms); break;
        case 3:  processLanes<highPass, onePole,   Lanes> (block, firstChannel, terms); break;
        case 4:  processLanes<highPass, threePole, Lanes> (block, firstChannel, terms); break;
        case 5:  processLanes<highPass, fourPole,  Lanes> (block, firstChannel, terms); break;
        case 6:  processLanes<bandPass, onePole,   Lanes> (block, firstChannel, terms); break;
        case 7:  processLanes<bandPass, threePole, Lanes> (block, firstChannel, terms); break;
        default: processLanes<bandPass, fourPole,  Lanes> (block, firstChannel, terms); break;
    }
}

template <int Mode, int Slope, size_t Lanes>
void LadderEngine::processLanes (juce::dsp::AudioBlock<float>& block, size_t firstChannel, const BlockTerms& terms)
{
    std::array<float*, Lanes> samples {};
    std::array<ChannelMemory, Lanes> lanes {};

    for (size_t lane = 0; lane < Lanes; ++lane)
    {
        const auto c = firstChannel + lane;
        samples[lane] = block.getChannelPointer (c);
        lanes[lane] = { stage1[c], stage2[c], stage3[c], stage4[c], lastOutput[c], ringPhase[c], ringEnvelope[c] };
    }

    for (size_t n = 0; n < block.getNumSamples(); ++n)
    {
        const double stageGainN = coefficients[n];
        const double feedbackN = feedbackGains[n];

        for (size_t lane = 0; lane < Lanes; ++lane)
            samples[lane][n] = (float) (terms.outputGain
                                        * filterSample<Mode, Slope> (lanes[lane], samples[lane][n], stageGainN, feedbackN, terms));
    }

    for (size_t lane = 0; lane < Lanes; ++lane)
    {
        const auto c = firstChannel + lane;
        const auto& m = lanes[lane];
        stage1[c] = m.s1; stage2[c] = m.s2; stage3[c] = m.s3; stage4[c] = m.s4;
        lastOutput[c] = m.lastOutput; ringPhase[c] = m.ringPhase; ringEnvelope[c] = m.ringEnvelope;
    }
}

template <int Mode, int Slope>
inline double LadderEngine::filterSample (ChannelMemory& m, double x, double stageGainN, double feedbackN,
                                          const BlockTerms& terms) const noexcept
{
    const double q = terms.loopSaturation;

    const double i = std::tanh (driveGain * x);
    const double u = i - feedbackN * std::tanh (q * m.lastOutput) / q;
    const double v = u + terms.summingBlend * (std::tanh (u) - u);

    const double y1 = onePoleStep (v,  m.s1, stageGainN);
    const double y2 = onePoleStep (y1, m.s2, stageGainN);
    const double y3 = onePoleStep (y2, m.s3, stageGainN);
    const double y4 = onePoleStep (y3, m.s4, stageGainN);
    m.lastOutput = y4;

    double out = LadderShaping::tapMix<Mode, Slope> (v, y1, y2, y3, y4);
    const double a = terms.shapingLow;

    if (a > 0.0)
    {
        if constexpr (Mode == LadderShaping::lowPass)
        {
            out = LadderShaping::shapeLowPass (out, Slope == LadderShaping::fourPole, a, terms.shapingLowSquared, y1, y2, y4);

            if (terms.ringAmount > 0.0)
                out += ringSample (m, x, terms);
        }
        else if constexpr (Mode == LadderShaping::bandPass)
        {
            out = LadderShaping::shapeBandPass (out, a);
        }
    }

    return out;
}

inline double LadderEngine::ringSample (ChannelMemory& m, double x, const BlockTerms& terms) noexcept
{
    m.ringEnvelope = std::max (ringEnvelopeDecay * m.ringEnvelope, std::abs (x));
    const double gate = std::clamp (8.0 * m.ringEnvelope, 0.0, 1.0);

    const double phase = m.ringPhase;
    const double sine = std::sin (phase);
    const double triangle = std::asin (sine) * 0.6366197723675814;   // 2 / pi: a triangle in [-1, 1]
    const double ring = std::tanh (1.35 * (0.22 * triangle + 0.78 * sine));

    m.ringPhase = phase + terms.ringPhaseStep;

    if (m.ringPhase >= twoPi)
        m.ringPhase -= twoPi;

    return ring * terms.ringAmount * gate;
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

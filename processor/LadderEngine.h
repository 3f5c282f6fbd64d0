#pragma once

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

/** Four-stage zero-delay ladder filter with saturating input and feedback, low/high cutoff
    shaping and a low-cutoff ring tone. All filter arithmetic is 64-bit; audio is 32-bit.

    The processor writes the settings fields before each block and drives the oversampler
    itself; the engine owns the oversampler so that prepare and reset cover it too.
*/
class LadderEngine
{
public:
    static constexpr int maxChannels = 8;

    /** Builds the 2x oversampler and coefficient buffer for this rate and block size and
        clears the filter. Never call it concurrently with process. */
    void prepare (double newSampleRate, int maximumBlockSize, int channelCount);

    /** Clears the filter memory and the oversampler; the cutoff smoother lands on cutoffHz. */
    void reset();

    /** Filters the block in place; rate is the rate the block runs at (the host rate, or
        twice it on the oversampled path). */
    void process (juce::dsp::AudioBlock<float> block, double rate);

    // Settings, written by the processor just before process.
    double sampleRate = 44100.0;
    std::uint64_t numChannels = 2;
    float cutoffHz = 20000.0f;
    float resonanceAmount = 0.0f;
    float driveGain = 1.0f;
    float makeupGainDb = 0.0f;
    std::int32_t modeIndex = 0;
    std::int32_t slopeIndex = 2;
    bool oversamplingOn = true;

    std::unique_ptr<juce::dsp::Oversampling<float>> oversampler;

    using ChannelState = std::array<double, maxChannels>;
    ChannelState stage1 {}, stage2 {}, stage3 {}, stage4 {};
    ChannelState lastOutput {};
    ChannelState ringPhase {};
    ChannelState ringEnvelope {};

    std::vector<double> coefficients;
    double smoothedCutoffHz = 20000.0;

    /** Per-sample feedback gain for the current block: the block's K, capped where the stage
        gain of that sample would let the loop ring (LadderShaping::stableFeedbackLimit). */
    std::vector<double> feedbackGains;

    /** The terms computed once per block from the settings and the processing rate. */
    struct BlockTerms
    {
        double targetCutoff, shapingLow, shapingLowSquared, ringAmount, ringPhaseStep;
        double feedbackGain, loopSaturation, summingBlend, outputGain;
    };

    static BlockTerms computeBlockTerms (double cutoff, double resonance, double drive,
                                         double makeupDb, double rate);

    //==============================================================================
    // The pieces of the engine's arithmetic that its small-signal response (LadderResponse)
    // is built from, so that the drawing and the sound come from the same code.

    /** The settings fields as the processor writes them from raw parameter values: each value
        clamped to what the engine takes (a NaN lands on the low end), the cutoff to 20 Hz ...
        0.49 x the host rate, the mode to 0, 1 or 2 (anything else is LowPass) and the slope to
        0, 1 or 2 (anything else is four poles). */
    struct Settings
    {
        float cutoffHz, resonanceAmount, driveGain, makeupGainDb;
        std::int32_t modeIndex, slopeIndex;
    };

    static Settings settingsFromParameters (float cutoff, float resonance, float drive, float makeupGain,
                                            int mode, int slope, double hostRate) noexcept;

    /** The host rate prepare keeps: one that is not finite or not positive becomes 44100. */
    static double usableSampleRate (double rate) noexcept;

    /** The cutoff a block is filtered at, for the processing rate: 20 Hz up to 0.49 x rate. */
    static double clampedCutoff (double cutoff, double rate) noexcept;

    /** The bilinear-prewarped one-pole gain G = g / (1 + g), g = tan (pi cutoff / rate), of
        each trapezoidal stage: y = (in - s) G + s, then s becomes 2 y - s. */
    static double stageGain (double cutoff, double rate) noexcept;

    /** The feedback gain the loop really uses: the block's K, capped where the stage gain would
        let the loop ring (LadderShaping::stableFeedbackLimit). */
    static double loopFeedbackGain (double feedbackGain, double stageGain, double rate) noexcept;

    /** The mode and slope the filter kernel runs for a settings field's value. */
    static int kernelMode (std::int32_t modeIndex) noexcept;
    static int kernelSlope (std::int32_t slopeIndex) noexcept;

    /** Which compiled filter kernel runs: the one for wide vector units (AVX2 with fused
        multiply-add) where the processor has them, else the one any x86-64 can run. */
    enum class Kernel { baseline, wide };
    Kernel kernel = bestKernel();
    static Kernel bestKernel() noexcept;

private:
    void advanceCutoffSmoother (double targetCutoff, double feedbackGain, double rate, size_t numSamples);
    void growScratch (size_t numSamples);

    /** Filters channel and, when given, channel + 1 side by side in the two lanes of the
        vector units; a lone channel runs beside a silent lane, so it sounds the same. */
    void processPair (juce::dsp::AudioBlock<float>& block, size_t channel, bool withPartner, const BlockTerms& terms);

    void clearChannelIfNotFinite (size_t channel);

    // The last settled fill of coefficients and feedbackGains: the same settings need no new one.
    struct SettledFill
    {
        double cutoff = -1.0, rate = 0.0, feedbackGain = 0.0;
        size_t length = 0;
    };

    SettledFill settledFill;

    // Computed again only when a setting or the rate changes.
    struct TermsKey
    {
        double cutoff = -1.0, resonance = 0.0, drive = 0.0, makeupDb = 0.0, rate = 0.0;
        bool operator== (const TermsKey& other) const noexcept
        {
            return cutoff == other.cutoff && resonance == other.resonance && drive == other.drive
                && makeupDb == other.makeupDb && rate == other.rate;
        }
    };

    TermsKey termsKey;
    BlockTerms cachedTerms {};
    double smootherRate = 0.0, smootherFactor = 0.0;

    // Sized with coefficients: a silent partner lane for an odd channel, and the ring's
    // waveform for a block.
    std::vector<float> spareLane;
    std::vector<double> ringWave;
};

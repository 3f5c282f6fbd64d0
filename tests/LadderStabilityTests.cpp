#include "processor/LadderEngine.h"
#include "processor/LadderShaping.h"
#include "tests/ProcessorTestTools.h"
#include "tests/ReferenceLadder.h"
#include "tests/SignalTools.h"

#include <gtest/gtest.h>

#include <iostream>

using namespace ProcessorTestTools;

namespace
{
    constexpr float minus100Db = 1.0e-5f;

    struct Setting
    {
        double hostRate;
        bool oversampled;
        float cutoff, resonance, drive = 1.0f;
        int mode = 0, slope = 2;
    };

    std::string describe (const Setting& s)
    {
        return juce::String::formatted ("%.0f Hz %s, cutoff %.0f, r %.2f, drive %.1f, mode %d slope %d",
                                        s.hostRate, s.oversampled ? "2x" : "off", s.cutoff, s.resonance,
                                        s.drive, s.mode, s.slope).toStdString();
    }

    /** A stereo processor set up the way a host would run it, settled on the setting. */
    std::unique_ptr<TessalineAudioProcessor> processorFor (const Setting& s, int blockSize = 256)
    {
        auto processor = std::make_unique<TessalineAudioProcessor>();
        setRaw (*processor, "cutoff", s.cutoff);
        setRaw (*processor, "resonance", s.resonance);
        setRaw (*processor, "drive", s.drive);
        setRaw (*processor, "mode", (float) s.mode);
        setRaw (*processor, "slope", (float) s.slope);
        setRaw (*processor, "oversampling", s.oversampled ? 1.0f : 0.0f);
        prepare (*processor, s.hostRate, blockSize);
        return processor;
    }

    std::vector<float> throughProcessor (TessalineAudioProcessor& processor, const std::vector<float>& input)
    {
        auto buffer = bufferFrom (input, 2);
        processInBlocks (processor, buffer, 256);
        return channelOf (buffer, 0);
    }

    float peakOf (const std::vector<float>& samples, size_t from, size_t to)
    {
        float peak = 0.0f;

        for (size_t n = from; n < std::min (to, samples.size()); ++n)
            peak = std::max (peak, std::abs (samples[n]));

        return peak;
    }

    std::vector<float> impulse (size_t length, float height = 1.0f)
    {
        std::vector<float> signal (length, 0.0f);
        signal[0] = height;
        return signal;
    }

    std::vector<float> loudNoise (size_t length, float amplitude, juce::int64 seed)
    {
        juce::Random random (seed);
        std::vector<float> signal (length);

        for (auto& sample : signal)
            sample = (random.nextFloat() * 2.0f - 1.0f) * amplitude;

        return signal;
    }

    /** Single-channel engine driven in blocks at a given processing rate. */
    struct Engine
    {
        Engine (float cutoff, float resonance, double rate, float drive = 1.0f, int mode = 0, int slope = 2)
            : processingRate (rate)
        {
            engine.cutoffHz = cutoff;
            engine.resonanceAmount = resonance;
            engine.driveGain = drive;
            engine.modeIndex = mode;
            engine.slopeIndex = slope;
            engine.prepare (rate, blockSize, 1);
        }

        std::vector<float> run (std::vector<float> samples)
        {
            for (size_t start = 0; start < samples.size(); start += blockSize)
            {
                float* channels[] = { samples.data() + start };
                engine.process (juce::dsp::AudioBlock<float> (channels, 1, std::min ((size_t) blockSize, samples.size() - start)),
                                processingRate);
            }

            return samples;
        }

        static constexpr int blockSize = 512;
        LadderEngine engine;
        double processingRate;
    };
}

//==============================================================================
// The loop's small-signal edge and the margin the limit keeps, checked on the plain linear
// recursion (four trapezoidal one-poles, feedback from the previous sample's fourth stage).
TEST (LadderStabilityLimit, SitsJustInsideTheEdgeWithTheDesignedDecay)
{
    const auto decayDbPerSecond = [] (double stageGain, double k, double rate)
    {
        double s[4] {}, last = 0.0, input = 1.0;
        const auto window = (size_t) (0.05 * rate);
        std::vector<double> peaks;

        for (size_t n = 0; n < (size_t) (0.45 * rate); ++n)
        {
            double y = input - k * last;
            input = 0.0;

            for (auto& state : s)
            {
                y = (y - state) * stageGain + state;
                state = 2.0 * y - state;
            }

            last = y;

            if (n % window == 0)
                peaks.push_back (0.0);

            peaks.back() = std::max (peaks.back(), std::abs (y));
        }

        // Between the second and the last window, when the fastest poles are long gone.
        return 20.0 * std::log10 (peaks[1] / peaks.back()) / (0.05 * (double) (peaks.size() - 2));
    };

    for (const double rate : { 44100.0, 96000.0, 192000.0 })
        for (const double stageGain : { 0.2, 0.35, 0.5, 0.7, 0.9 })
        {
            const auto edge = 4.0 / ((1.0 + stageGain) * (1.0 + stageGain));
            const auto limit = LadderShaping::stableFeedbackLimit (stageGain, rate);
            SCOPED_TRACE (juce::String (rate) + " Hz, G " + juce::String (stageGain));

            EXPECT_LT (limit, edge);
            EXPECT_GT (limit, 0.99 * edge);
            EXPECT_NEAR (decayDbPerSecond (stageGain, edge, rate), 0.0, 2.0);
            EXPECT_NEAR (decayDbPerSecond (stageGain, limit, rate), LadderShaping::stableLoopDecayDbPerSecond, 6.0);
        }

    // Low cutoffs, where the slow decay is the ladder's own: the limit stays above the feedback
    // of even the processor's largest resonance 0.99 (3.7016 at 20 Hz, 3.5838 from 110 Hz on).
    struct LowCase { double cutoff, highestFeedback; };

    for (const double rate : { 44100.0, 192000.0 })
        for (const auto& c : { LowCase { 20.0, 3.7016 }, LowCase { 60.0, 3.64 }, LowCase { 110.0, 3.5838 }, LowCase { 400.0, 3.5838 } })
        {
            const auto g = std::tan (juce::MathConstants<double>::pi * c.cutoff / rate);
            EXPECT_GT (LadderShaping::stableFeedbackLimit (g / (1.0 + g), rate), c.highestFeedback) << c.cutoff << " Hz at " << rate;
        }
}

//==============================================================================
// Settings whose loop rang on by itself: an impulse (or a loud burst with the drive up) must be
// gone below -100 dBFS within a second, through the processor on its own path.
TEST (LadderStability, SettingsThatRangOnNowDieAwayWithinASecond)
{
    struct RingingCase { Setting setting; bool loudBurst; };

    const RingingCase cases[] = {
        { { 48000.0, false, 14000.0f, 0.5f  }, false },
        { { 48000.0, false, 5000.0f,  0.75f }, false },
        { { 48000.0, true,  10000.0f, 0.75f }, false },
        { { 48000.0, true,  14000.0f, 0.75f }, false },
        { { 44100.0, false, 20000.0f, 0.75f }, false },
        { { 44100.0, true,  20000.0f, 0.75f }, false },
        { { 48000.0, false, 20000.0f, 0.75f }, false },
        { { 48000.0, true,  20000.0f, 0.75f }, false },
        { { 96000.0, false, 20000.0f, 0.75f }, false },
        { { 96000.0, true,  20000.0f, 0.75f }, false },
        { { 48000.0, false, 14000.0f, 0.75f, 1.0f, 1, 2 }, false },
        { { 48000.0, true,  14000.0f, 0.75f, 1.0f, 2, 1 }, false },
        { { 44100.0, false, 8000.0f,  0.75f, 10.0f, 0, 2 }, true },
        { { 96000.0, true,  20000.0f, 0.75f, 10.0f, 1, 0 }, true },
    };

    for (const auto& c : cases)
    {
        const auto& s = c.setting;
        const auto second = (size_t) s.hostRate;
        auto input = c.loudBurst ? loudNoise (second / 10, 1.0f, 7) : impulse (1);
        input.resize (input.size() + second + second / 20, 0.0f);

        const auto output = throughProcessor (*processorFor (s), input);
        const auto silenceStart = c.loudBurst ? second / 10 : 0;
        EXPECT_LT (peakOf (output, silenceStart + second, output.size()), minus100Db) << describe (s);
    }
}

TEST (LadderStability, SweepUpToJustBelowNyquistThenSilenceDiesAway)
{
    // The cutoff rises block by block from 1 kHz to 0.49 of the rate over half a second, with
    // noise going in, then the input stops.
    for (const double rate : { 44100.0, 48000.0, 96000.0, 192000.0 })
    {
        Engine filter (1000.0f, 0.75f, rate);
        const auto sweepBlocks = (size_t) (0.5 * rate) / Engine::blockSize;
        const auto noise = loudNoise (Engine::blockSize, 0.5f, 3);

        for (size_t block = 0; block <= sweepBlocks; ++block)
        {
            filter.engine.cutoffHz = (float) (1000.0 * std::pow (0.49 * rate / 1000.0, (double) block / (double) sweepBlocks));
            filter.run (noise);
        }

        const auto tail = filter.run (std::vector<float> ((size_t) (1.05 * rate), 0.0f));
        EXPECT_LT (peakOf (tail, (size_t) rate, tail.size()), minus100Db) << rate;
        EXPECT_GT (peakOf (tail, 0, tail.size() / 10), 1.0e-3f) << "the sweep left the filter silent at " << rate;
    }
}

TEST (LadderStability, GlidesThroughRingingCutoffsStayWithinTheSettingsTheyPass)
{
    // A small impulse played while the cutoff glides is no louder than the same impulse at the
    // loudest of the settled cutoffs along the way.
    struct GlideCase { bool oversampled; float from, to, resonance; };

    const GlideCase cases[] = {
        { true,  20000.0f, 1000.0f, 0.75f },
        { true,  20000.0f, 5000.0f, 0.65f },
        { false, 20000.0f, 1000.0f, 0.75f },
        { false, 5000.0f,  1000.0f, 0.65f },
    };

    constexpr double rate = 48000.0;
    constexpr float height = 1.0e-4f;
    const auto length = (size_t) (0.3 * rate);

    for (const auto& c : cases)
    {
        float loudestSettled = 0.0f;

        for (int step = 0; step <= 24; ++step)
        {
            const auto cutoff = (float) (c.to * std::pow (c.from / c.to, step / 24.0));
            auto settled = processorFor ({ rate, c.oversampled, cutoff, c.resonance });
            loudestSettled = std::max (loudestSettled, peakOf (throughProcessor (*settled, impulse (length, height)), 0, length));
        }

        for (const size_t delay : { 48u, 96u, 240u, 480u })
        {
            auto gliding = processorFor ({ rate, c.oversampled, c.from, c.resonance });
            throughProcessor (*gliding, std::vector<float> (2048, 0.0f));
            setRaw (*gliding, "cutoff", c.to);

            std::vector<float> input (length, 0.0f);
            input[delay] = height;
            const auto burst = peakOf (throughProcessor (*gliding, input), 0, length);

            EXPECT_LE (burst, loudestSettled) << c.from << " to " << c.to << " Hz, r " << c.resonance << ", impulse at " << delay;
        }
    }
}

//==============================================================================
// Wherever the loop as designed dies away with a margin (an impulse falls below -100 dBFS within
// a quarter of a second), the engine gives the same output as the plain algorithm.
TEST (LadderStability, LoopsStableWithAMarginAreUntouched)
{
    int stableCount = 0, slowCount = 0;
    float largestDifference = 0.0f;

    for (const double rate : { 44100.0, 48000.0, 96000.0 })
        for (const float cutoff : { 1000.0f, 2500.0f, 4000.0f, 6000.0f, 9000.0f, 13000.0f, 18000.0f })
            for (const float resonance : { 0.25f, 0.5f, 0.75f })
            {
                ReferenceLadder probe (cutoff, rate);
                probe.cutoff = cutoff;
                probe.resonance = resonance;
                const auto response = probe.run (impulse ((size_t) (0.3 * rate)), rate, 512);

                if (peakOf (response, (size_t) (0.25 * rate), response.size()) >= minus100Db)
                {
                    ++slowCount;
                    continue;
                }

                ++stableCount;
                auto signal = loudNoise ((size_t) (0.05 * rate), 1.2f, 11);
                signal.resize ((size_t) (0.1 * rate), 0.0f);

                for (int mode = 0; mode < 3; ++mode)
                    for (int slope = 0; slope < 3; ++slope)
                    {
                        ReferenceLadder reference (cutoff, rate);
                        reference.cutoff = cutoff;
                        reference.resonance = resonance;
                        reference.drive = 4.0;
                        reference.mode = mode;
                        reference.slope = slope;
                        const auto expected = reference.run (signal, rate, 512);
                        const auto actual = Engine (cutoff, resonance, rate, 4.0f, mode, slope).run (signal);

                        for (size_t n = 0; n < signal.size(); ++n)
                        {
                            ASSERT_NEAR (actual[n], expected[n], 1.0e-6f)
                                << rate << " Hz, cutoff " << cutoff << ", r " << resonance << ", mode " << mode << " slope " << slope << ", sample " << n;
                            largestDifference = std::max (largestDifference, std::abs (actual[n] - expected[n]));
                        }
                    }
            }

    std::cout << "largest difference from the plain algorithm: " << largestDifference << std::endl;

    // The grid reaches past the settings that die away quickly, into the ringing ones.
    EXPECT_GT (stableCount, 30);
    EXPECT_GT (slowCount, 10);
}

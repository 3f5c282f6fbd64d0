// Cost of one stereo frame at 48 kHz through Tessaline's processor, next to JUCE's own ladder
// filter as the peer, measured in the same run. Compare the rows as ratios: these machines are
// too noisy for absolute numbers to mean much.

#include "processor/TessalineAudioProcessor.h"

#include <benchmark/benchmark.h>

namespace
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;

    juce::AudioBuffer<float> noiseBuffer()
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::Random random (1);

        for (int channel = 0; channel < 2; ++channel)
            for (int n = 0; n < blockSize; ++n)
                buffer.setSample (channel, n, random.nextFloat() * 0.5f - 0.25f);

        return buffer;
    }

    void setRaw (TessalineAudioProcessor& processor, const char* id, float value)
    {
        auto* parameter = processor.apvts.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    void reportPerFrame (benchmark::State& state)
    {
        const auto frames = (double) state.iterations() * blockSize;
        state.SetItemsProcessed ((int64_t) frames);
        // Shown as seconds per stereo frame (with an SI prefix, e.g. "161n" for 161 ns).
        state.counters["per_frame"] = benchmark::Counter (frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }

    /** Arguments: oversampling (0 off, 1 2x), cutoff in Hz, resonance in hundredths. */
    void tessaline (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        TessalineAudioProcessor processor;
        setRaw (processor, "oversampling", (float) state.range (0));
        setRaw (processor, "cutoff", (float) state.range (1));
        setRaw (processor, "resonance", (float) state.range (2) / 100.0f);
        processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);

        const auto source = noiseBuffer();
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;

        for (auto _ : state)
        {
            buffer.makeCopyOf (source, true);
            processor.processBlock (buffer, midi);
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }

        reportPerFrame (state);
    }

    /** The peer: juce::dsp::LadderFilter in LPF24 with resonance 0.5; argument: oversampling. */
    void juceLadderPeer (benchmark::State& state)
    {
        const bool oversampled = state.range (0) != 0;
        const auto filterRate = oversampled ? 2.0 * sampleRate : sampleRate;

        juce::dsp::LadderFilter<float> ladder;
        ladder.setMode (juce::dsp::LadderFilterMode::LPF24);
        ladder.prepare ({ filterRate, (juce::uint32) (2 * blockSize), 2 });
        ladder.setCutoffFrequencyHz (1000.0f);
        ladder.setResonance (0.5f);

        juce::dsp::Oversampling<float> oversampler (2, 1, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, false);
        oversampler.initProcessing (blockSize);

        const auto source = noiseBuffer();
        juce::AudioBuffer<float> buffer (2, blockSize);

        for (auto _ : state)
        {
            buffer.makeCopyOf (source, true);
            juce::dsp::AudioBlock<float> block (buffer);

            if (oversampled)
            {
                auto up = oversampler.processSamplesUp (block);
                ladder.process (juce::dsp::ProcessContextReplacing<float> (up));
                oversampler.processSamplesDown (block);
            }
            else
            {
                ladder.process (juce::dsp::ProcessContextReplacing<float> (block));
            }

            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }

        reportPerFrame (state);
    }
}

BENCHMARK (tessaline)->ArgNames ({ "2x", "cutoff", "res" })
    ->Args ({ 0, 1000, 50 })
    ->Args ({ 1, 1000, 50 })
    ->Args ({ 0, 50, 75 })
    ->Args ({ 1, 50, 75 })
    ->Args ({ 0, 14000, 50 })
    ->Args ({ 1, 14000, 75 });

BENCHMARK (juceLadderPeer)->ArgNames ({ "2x" })->Arg (0)->Arg (1);

BENCHMARK_MAIN();

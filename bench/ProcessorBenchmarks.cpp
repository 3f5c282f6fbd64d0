// Cost of one stereo frame at 48 kHz through Tessaline's processor, next to JUCE's own ladder
// filter as the peer, measured in the same run. Compare the rows as ratios: these machines are
// too noisy for absolute numbers to mean much.

#include "bench/BenchmarkTools.h"

namespace
{
    using namespace BenchmarkTools;

    /** Arguments: oversampling (0 off, 1 2x), cutoff in Hz, resonance in hundredths, and the
        input: noise, or silence after a loud burst (the filter's memory dying away into
        denormal territory). */
    void run (benchmark::State& state, LadderEngine::Kernel kernel)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        TessalineAudioProcessor processor;
        processor.engine.kernel = kernel;
        setUp (processor, { state.range (0) != 0, (float) state.range (1), (float) state.range (2) / 100.0f });
        processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);

        const auto input = (Input) state.range (3);
        juce::MidiBuffer midi;
        juce::AudioBuffer<float> buffer (2, blockSize);

        if (input == Input::silenceAfterBurst)
            for (const auto& burstBlock : loudBurst())
            {
                buffer.makeCopyOf (burstBlock, true);
                processor.processBlock (buffer, midi);
            }

        const auto source = sourceFor (input);

        for (auto _ : state)
        {
            buffer.makeCopyOf (source, true);
            processor.processBlock (buffer, midi);
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }

        reportPerFrame (state);
    }

    void tessaline (benchmark::State& state)   { run (state, LadderEngine::bestKernel()); }

    /** The same with the kernel built for any x86-64, as on a processor without AVX2. */
    void tessalineAnyX86 (benchmark::State& state)   { run (state, LadderEngine::Kernel::baseline); }

    /** The peer: juce::dsp::LadderFilter in LPF24 with the same cutoff, resonance and drive,
        with denormals off as the processor has them; arguments: oversampling, input. */
    void juceLadderPeer (benchmark::State& state)
    {
        const bool oversampled = state.range (0) != 0;
        const auto filterRate = oversampled ? 2.0 * sampleRate : sampleRate;

        juce::dsp::LadderFilter<float> ladder;
        ladder.setMode (juce::dsp::LadderFilterMode::LPF24);
        ladder.prepare ({ filterRate, (juce::uint32) (2 * blockSize), 2 });
        ladder.setCutoffFrequencyHz (1000.0f);
        ladder.setResonance (0.5f);
        ladder.setDrive (benchmarkDrive);

        juce::dsp::Oversampling<float> oversampler (2, 1, juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, true, false);
        oversampler.initProcessing (blockSize);

        juce::AudioBuffer<float> buffer (2, blockSize);

        const auto run = [&]
        {
            juce::ScopedNoDenormals noDenormals;
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
        };

        const auto input = (Input) state.range (1);

        if (input == Input::silenceAfterBurst)
            for (const auto& burstBlock : loudBurst())
            {
                buffer.makeCopyOf (burstBlock, true);
                run();
            }

        const auto source = sourceFor (input);

        for (auto _ : state)
        {
            buffer.makeCopyOf (source, true);
            run();
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }

        reportPerFrame (state);
    }
}

BENCHMARK (tessaline)->ArgNames ({ "2x", "cutoff", "res", "input" })
    ->Args ({ 0, 1000, 50, noise })
    ->Args ({ 0, 1000, 50, silenceAfterBurst })
    ->Args ({ 1, 1000, 50, noise })
    ->Args ({ 1, 1000, 50, silenceAfterBurst })
    ->Args ({ 0, 50, 75, noise })
    ->Args ({ 1, 50, 75, noise })
    ->Args ({ 0, 14000, 50, noise })
    ->Args ({ 1, 14000, 75, noise });

BENCHMARK (tessalineAnyX86)->ArgNames ({ "2x", "cutoff", "res", "input" })
    ->Args ({ 0, 1000, 50, noise })
    ->Args ({ 1, 1000, 50, noise });

BENCHMARK (juceLadderPeer)->ArgNames ({ "2x", "input" })
    ->Args ({ 0, noise })
    ->Args ({ 0, silenceAfterBurst })
    ->Args ({ 1, noise })
    ->Args ({ 1, silenceAfterBurst });

BENCHMARK_MAIN();

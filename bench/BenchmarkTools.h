#pragma once

#include "processor/TessalineAudioProcessor.h"

#include <benchmark/benchmark.h>

#include <vector>

/** The settings and signals the processor benchmarks share: stereo at 48 kHz in 512-frame
    blocks, low-pass 24 dB/oct, drive 2. */
namespace BenchmarkTools
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    constexpr float benchmarkDrive = 2.0f;

    enum Input { noise = 0, silenceAfterBurst = 1 };

    struct Setting
    {
        bool oversampled;
        float cutoff, resonance;
    };

    inline juce::AudioBuffer<float> noiseBuffer (float amplitude, juce::int64 seed)
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::Random random (seed);

        for (int channel = 0; channel < 2; ++channel)
            for (int n = 0; n < blockSize; ++n)
                buffer.setSample (channel, n, (random.nextFloat() * 2.0f - 1.0f) * amplitude);

        return buffer;
    }

    /** Half a second of full-scale noise. */
    inline std::vector<juce::AudioBuffer<float>> loudBurst()
    {
        std::vector<juce::AudioBuffer<float>> blocks;

        for (int block = 0; block < (int) (0.5 * sampleRate) / blockSize; ++block)
            blocks.push_back (noiseBuffer (1.0f, 100 + block));

        return blocks;
    }

    inline juce::AudioBuffer<float> sourceFor (Input input)
    {
        if (input == noise)
            return noiseBuffer (0.25f, 1);

        juce::AudioBuffer<float> silence (2, blockSize);
        silence.clear();
        return silence;
    }

    inline void setRaw (juce::AudioProcessorValueTreeState& apvts, const char* id, float value)
    {
        auto* parameter = apvts.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    inline void setUp (TessalineAudioProcessor& processor, const Setting& setting)
    {
        setRaw (processor.apvts, "oversampling", setting.oversampled ? 1.0f : 0.0f);
        setRaw (processor.apvts, "cutoff", setting.cutoff);
        setRaw (processor.apvts, "resonance", setting.resonance);
        setRaw (processor.apvts, "drive", benchmarkDrive);
    }

    inline void reportPerFrame (benchmark::State& state)
    {
        const auto frames = (double) state.iterations() * blockSize;
        state.SetItemsProcessed ((int64_t) frames);
        // Shown as seconds per stereo frame (with an SI prefix, e.g. "161n" for 161 ns).
        state.counters["per_frame"] = benchmark::Counter (frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
}

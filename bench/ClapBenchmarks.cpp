// What the CLAP wrapper adds per block around processBlock: the same setting and signal through
// the built Tessaline.clap, loaded by the project's test host, next to processBlock on its own.
// Both rows count the whole process's CPU time, since the plug-in runs on the host's audio thread.
// throughClapPluginWithEvents gives the cost of values at frames inside the block (each splits
// the block for the processor): read events:16 against events:0, its peer in the same run.

#include "bench/BenchmarkTools.h"
#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestLibrary.h"

namespace
{
    using namespace BenchmarkTools;

    Setting settingFor (const benchmark::State& state)
    {
        return { state.range (0) != 0, 1000.0f, 0.5f };
    }

    /** Argument: oversampling. */
    void processBlockAlone (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        TessalineAudioProcessor processor;
        setUp (processor, settingFor (state));
        processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);

        const auto source = noiseBuffer (0.25f, 1);
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

    /** As a host runs it: separate input and output buffers and an empty event list each block,
        the settings as parameter events in the first. Argument: oversampling. */
    void throughClapPlugin (benchmark::State& state)
    {
        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };

        if (! host.createPlugin())
        {
            state.SkipWithError ("the plug-in did not load");
            return;
        }

        auto* plugin = host.plugin();
        const auto* params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);

        // The plug-in lists the processor's parameters in the processor's order.
        ClapTestEventList settings, noEvents;
        {
            juce::ScopedJuceInitialiser_GUI framework;
            TessalineAudioProcessor source;
            setUp (source, settingFor (state));

            for (auto* parameter : source.getParameters())
            {
                clap_param_info_t info {};
                params->get_info (plugin, (uint32_t) parameter->getParameterIndex(), &info);
                settings.addValue (info.id, parameter->getValue());
            }
        }

        auto input = noiseBuffer (0.25f, 1);
        juce::AudioBuffer<float> output (2, blockSize);
        float* inChannels[] = { input.getWritePointer (0), input.getWritePointer (1) };
        float* outChannels[] = { output.getWritePointer (0), output.getWritePointer (1) };
        clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
        clap_audio_buffer_t out { outChannels, nullptr, 2, 0, 0 };

        plugin->activate (plugin, sampleRate, 1, blockSize);

        host.runOnAudioThread ([&]
        {
            plugin->start_processing (plugin);
            auto first = ClapTestHost::processContext (in, out, blockSize, settings.input(), settings.output(), 0);
            plugin->process (plugin, &first);
            int64_t steadyTime = blockSize;

            for (auto _ : state)
            {
                auto context = ClapTestHost::processContext (in, out, blockSize, noEvents.input(), noEvents.output(), steadyTime);
                plugin->process (plugin, &context);
                benchmark::DoNotOptimize (output.getReadPointer (0));
                steadyTime += blockSize;
            }

            plugin->stop_processing (plugin);
        });

        plugin->deactivate (plugin);
        reportPerFrame (state);
    }
}

namespace
{
    /** The same block each time, with `events` cutoff values spread over its frames, moving
        the cutoff up and down as automation does (or none). Argument: the number of events. */
    void throughClapPluginWithEvents (benchmark::State& state)
    {
        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };

        if (! host.createPlugin())
        {
            state.SkipWithError ("the plug-in did not load");
            return;
        }

        auto* plugin = host.plugin();
        const auto* params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
        clap_param_info_t cutoff {};
        params->get_info (plugin, 0, &cutoff); // the processor's first parameter

        const auto numEvents = (int) state.range (0);
        ClapTestEventList events;

        for (int i = 0; i < numEvents; ++i)
            events.addValue (cutoff.id, i % 2 == 0 ? 0.45 : 0.55, (uint32_t) (i * blockSize / numEvents));

        auto input = noiseBuffer (0.25f, 1);
        juce::AudioBuffer<float> output (2, blockSize);
        float* inChannels[] = { input.getWritePointer (0), input.getWritePointer (1) };
        float* outChannels[] = { output.getWritePointer (0), output.getWritePointer (1) };
        clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
        clap_audio_buffer_t out { outChannels, nullptr, 2, 0, 0 };

        plugin->activate (plugin, sampleRate, 1, blockSize);

        host.runOnAudioThread ([&]
        {
            plugin->start_processing (plugin);
            int64_t steadyTime = 0;

            for (auto _ : state)
            {
                auto context = ClapTestHost::processContext (in, out, blockSize, events.input(), events.output(), steadyTime);
                plugin->process (plugin, &context);
                benchmark::DoNotOptimize (output.getReadPointer (0));
                steadyTime += blockSize;
            }

            plugin->stop_processing (plugin);
        });

        plugin->deactivate (plugin);
        reportPerFrame (state);
    }
}

BENCHMARK (processBlockAlone)->ArgNames ({ "2x" })->Arg (0)->Arg (1)->MeasureProcessCPUTime();
BENCHMARK (throughClapPlugin)->ArgNames ({ "2x" })->Arg (0)->Arg (1)->MeasureProcessCPUTime();
BENCHMARK (throughClapPluginWithEvents)->ArgNames ({ "events" })->Arg (0)->Arg (16)->MeasureProcessCPUTime();

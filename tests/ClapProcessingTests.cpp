// Audio through the plug-in must be the processor's audio, with the host's parameter events
// taking effect at their frame of the block they arrive with.

#include "processor/ParameterIds.h"
#include "processor/TessalineAudioProcessor.h"
#include "tests/ProcessorTestTools.h"
#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestLibrary.h"
#include "tests/clap/ClapTestOutputStream.h"

#include "tests/SanitizerTools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/resource.h>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace
{
    constexpr double sampleRate = 48000.0;
    constexpr int maxBlockSize = 256;

    struct Block
    {
        int numFrames;
        std::map<const char*, double> changes; // identifier -> normalised value
    };

    // Events in the first block, a choice of mode, slope and oversampling later on, and one
    // block longer than the host announced.
    const std::vector<Block> blocks {
        { 256, { { ParameterIds::cutoff, 0.35 }, { ParameterIds::resonance, 0.8 }, { ParameterIds::drive, 0.3 } } },
        { 256, {} },
        { 100, { { ParameterIds::mode, 0.5 }, { ParameterIds::makeupGain, 0.5 } } },
        { 256, { { ParameterIds::oversampling, 0.0 } } },
        { 17,  { { ParameterIds::slope, 0.5 }, { ParameterIds::cutoff, 0.6 } } },
        { 600, { { ParameterIds::mode, 1.0 } } },
        { 256, {} },
    };

    std::vector<float> testSignal (int numFrames, int channel)
    {
        std::vector<float> signal ((size_t) numFrames);
        juce::Random random (1234 + channel);

        for (int i = 0; i < numFrames; ++i)
            signal[(size_t) i] = 0.4f * std::sin (0.031f * (float) i * (float) (channel + 1)) + 0.3f * (random.nextFloat() - 0.5f);

        return signal;
    }

    int totalFrames()
    {
        int total = 0;

        for (auto& block : blocks)
            total += block.numFrames;

        return total;
    }

    std::vector<std::vector<float>> processDirectly()
    {
        TessalineAudioProcessor processor;
        ProcessorTestTools::prepare (processor, sampleRate, maxBlockSize);

        std::vector<std::vector<float>> audio { testSignal (totalFrames(), 0), testSignal (totalFrames(), 1) };
        juce::MidiBuffer midi;
        int offset = 0;

        for (auto& block : blocks)
        {
            for (auto [identifier, value] : block.changes)
                processor.apvts.getParameter (identifier)->setValueNotifyingHost ((float) value);

            // A block beyond the announced size reaches the processor in announced-size pieces.
            for (int start = 0; start < block.numFrames; start += maxBlockSize)
            {
                float* channels[] = { audio[0].data() + offset + start, audio[1].data() + offset + start };
                juce::AudioBuffer<float> buffer (channels, 2, std::min (maxBlockSize, block.numFrames - start));
                processor.processBlock (buffer, midi);
            }

            offset += block.numFrames;
        }

        return audio;
    }

    clap_id idOf (const clap_plugin_params_t& params, const clap_plugin_t* plugin, const char* name)
    {
        for (uint32_t i = 0; i < params.count (plugin); ++i)
        {
            clap_param_info_t info {};
            params.get_info (plugin, i, &info);

            if (juce::String (info.name) == juce::String (name))
                return info.id;
        }

        return CLAP_INVALID_ID;
    }

    // How the host lays out its buffers: one set for input and output, two sets, or outputs
    // that start a few samples into the inputs' memory.
    enum class Buffers { inPlace, separate, overlapping };

    std::vector<std::vector<float>> processThroughThePlugin (Buffers buffers)
    {
        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };
        EXPECT_TRUE (host.createPlugin());
        auto* plugin = host.plugin();
        const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);

        TessalineAudioProcessor namesSource;
        std::map<const char*, clap_id> ids;

        for (auto* identifier : { ParameterIds::cutoff, ParameterIds::resonance, ParameterIds::drive, ParameterIds::makeupGain,
                                  ParameterIds::mode, ParameterIds::slope, ParameterIds::oversampling })
            ids[identifier] = idOf (params, plugin, namesSource.apvts.getParameter (identifier)->getName (100).toRawUTF8());

        EXPECT_TRUE (plugin->activate (plugin, sampleRate, 1, maxBlockSize));
        host.runOnAudioThread ([&] { EXPECT_TRUE (plugin->start_processing (plugin)); });

        std::vector<std::vector<float>> input { testSignal (totalFrames(), 0), testSignal (totalFrames(), 1) };
        std::vector<std::vector<float>> output (2, std::vector<float> ((size_t) totalFrames(), 99.0f));
        auto& target = buffers == Buffers::inPlace ? input : output;
        constexpr size_t overlap = 3;
        std::vector<std::vector<float>> shared (2);
        int offset = 0;

        for (auto& block : blocks)
        {
            ClapTestEventList events;

            for (auto [identifier, value] : block.changes)
                events.addValue (ids[identifier], value, 0);

            float* inChannels[] = { input[0].data() + offset, input[1].data() + offset };
            float* outChannels[] = { target[0].data() + offset, target[1].data() + offset };

            if (buffers == Buffers::overlapping)
            {
                for (size_t channel = 0; channel < 2; ++channel)
                {
                    shared[channel].assign (inChannels[channel], inChannels[channel] + block.numFrames);
                    shared[channel].resize ((size_t) block.numFrames + overlap);
                    inChannels[channel] = shared[channel].data();
                    outChannels[channel] = shared[channel].data() + overlap;
                }
            }
            clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
            clap_audio_buffer_t out { outChannels, nullptr, 2, 0, 0 };

            auto context = ClapTestHost::processContext (in, out, (uint32_t) block.numFrames, events.input(), events.output(),
                                                         (int64_t) offset);

            host.runOnAudioThread ([&] { EXPECT_EQ (plugin->process (plugin, &context), CLAP_PROCESS_CONTINUE); });
            EXPECT_TRUE (events.pushed.empty()); // host automation is not echoed

            if (buffers == Buffers::overlapping)
                for (size_t channel = 0; channel < 2; ++channel)
                    std::copy_n (outChannels[channel], block.numFrames, target[channel].data() + offset);
            offset += block.numFrames;
        }

        host.runOnAudioThread ([&] { plugin->stop_processing (plugin); });
        plugin->deactivate (plugin);
        EXPECT_TRUE (host.takeLog().empty());
        return target;
    }
}

TEST (ClapPluginProcessing, GivesTheProcessorsAudioInPlaceWithSeparateAndWithOverlappingBuffers)
{
    const auto expected = processDirectly();

    for (auto buffers : { Buffers::inPlace, Buffers::separate, Buffers::overlapping })
    {
        const auto actual = processThroughThePlugin (buffers);

        for (size_t channel = 0; channel < 2; ++channel)
        {
            ASSERT_EQ (actual[channel].size(), expected[channel].size());
            size_t mismatches = 0;

            for (size_t i = 0; i < expected[channel].size(); ++i)
                if (actual[channel][i] != expected[channel][i])
                    ++mismatches;

            EXPECT_EQ (mismatches, 0u) << "buffers " << (int) buffers << ", channel " << channel;
        }
    }
}

//==============================================================================
namespace
{
    struct TimedValue
    {
        const char* identifier;
        double value;
        uint32_t frame;
    };

    // Where the processor must see new values: before rendering from `frame` on.
    struct Step
    {
        int frame;
        std::vector<std::pair<const char*, double>> changes;
    };

    struct SampleAccurateCase
    {
        const char* name;
        std::vector<TimedValue> events; // in the host's order, in the first of two blocks
        std::vector<Step> steps;
    };

    constexpr int eventBlockFrames = 256, quietBlockFrames = 64;

    // The processor driven directly: one call for each span between steps and block ends.
    std::vector<std::vector<float>> processInSteps (const std::vector<Step>& steps)
    {
        TessalineAudioProcessor processor;
        ProcessorTestTools::prepare (processor, sampleRate, maxBlockSize);
        const auto total = eventBlockFrames + quietBlockFrames;
        std::vector<std::vector<float>> audio { testSignal (total, 0), testSignal (total, 1) };
        std::set<int> ends { eventBlockFrames, total };

        for (auto& step : steps)
            ends.insert (step.frame);

        juce::MidiBuffer midi;
        int start = 0;

        for (auto end : ends)
        {
            for (auto& step : steps)
                if (step.frame == start)
                    for (auto [identifier, value] : step.changes)
                        processor.apvts.getParameter (identifier)->setValueNotifyingHost ((float) value);

            if (end > start)
            {
                float* channels[] = { audio[0].data() + start, audio[1].data() + start };
                juce::AudioBuffer<float> buffer (channels, 2, end - start);
                processor.processBlock (buffer, midi);
            }

            start = end;
        }

        return audio;
    }

    // The plug-in in place, the events in the first block, none in the second.
    std::vector<std::vector<float>> processThroughThePlugin (const std::vector<TimedValue>& timedValues)
    {
        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };
        EXPECT_TRUE (host.createPlugin());
        auto* plugin = host.plugin();
        const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
        TessalineAudioProcessor namesSource;
        ClapTestEventList events, none;

        for (auto& timed : timedValues)
        {
            const auto id = idOf (params, plugin, namesSource.apvts.getParameter (timed.identifier)->getName (100).toRawUTF8());
            events.addGesture (CLAP_EVENT_PARAM_GESTURE_BEGIN, id);
            events.addValue (id, timed.value, timed.frame);
            events.addGesture (CLAP_EVENT_PARAM_GESTURE_END, id);
        }

        const auto total = eventBlockFrames + quietBlockFrames;
        std::vector<std::vector<float>> audio { testSignal (total, 0), testSignal (total, 1) };
        EXPECT_TRUE (plugin->activate (plugin, sampleRate, 1, maxBlockSize));

        host.runOnAudioThread ([&]
        {
            EXPECT_TRUE (plugin->start_processing (plugin));
            int offset = 0;

            for (auto [numFrames, list] : { std::pair { eventBlockFrames, &events }, std::pair { quietBlockFrames, &none } })
            {
                float* channels[] = { audio[0].data() + offset, audio[1].data() + offset };
                clap_audio_buffer_t in { channels, nullptr, 2, 0, 0 };
                clap_audio_buffer_t out { channels, nullptr, 2, 0, 0 };
                auto context = ClapTestHost::processContext (in, out, (uint32_t) numFrames, list->input(), list->output(), offset);
                EXPECT_EQ (plugin->process (plugin, &context), CLAP_PROCESS_CONTINUE);
                offset += numFrames;
            }

            plugin->stop_processing (plugin);
        });

        plugin->deactivate (plugin);
        EXPECT_TRUE (host.takeLog().empty());
        EXPECT_TRUE (events.pushed.empty());
        return audio;
    }

    size_t countMismatches (const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b)
    {
        size_t mismatches = 0;

        for (size_t channel = 0; channel < 2; ++channel)
            for (size_t i = 0; i < a[channel].size(); ++i)
                if (a[channel][i] != b[channel][i])
                    ++mismatches;

        return mismatches;
    }
}

TEST (ClapPluginProcessing, ParameterValuesTakeEffectAtTheirFrame)
{
    using namespace ParameterIds;

    const SampleAccurateCase cases[] = {
        { "a step inside the block",
          { { cutoff, 0.3, 100 } },
          { { 100, { { cutoff, 0.3 } } } } },
        { "values at one frame take effect together",
          { { cutoff, 0.3, 77 }, { resonance, 0.9, 77 }, { mode, 0.5, 77 } },
          { { 77, { { cutoff, 0.3 }, { resonance, 0.9 }, { mode, 0.5 } } } } },
        { "single-frame spans at both ends",
          { { drive, 0.6, 1 }, { cutoff, 0.4, 254 }, { resonance, 0.7, 255 } },
          { { 1, { { drive, 0.6 } } }, { 254, { { cutoff, 0.4 } } }, { 255, { { resonance, 0.7 } } } } },
        { "oversampling off and on again",
          { { oversampling, 0.0, 64 }, { cutoff, 0.2, 128 }, { oversampling, 1.0, 192 } },
          { { 64, { { oversampling, 0.0 } } }, { 128, { { cutoff, 0.2 } } }, { 192, { { oversampling, 1.0 } } } } },
        // Out of order: a value for a frame already rendered takes effect where rendering
        // stands, after the values before it in the list.
        { "events out of order",
          { { cutoff, 0.3, 150 }, { resonance, 0.8, 60 }, { cutoff, 0.6, 100 } },
          { { 150, { { cutoff, 0.3 }, { resonance, 0.8 }, { cutoff, 0.6 } } } } },
        // At or past the block's end: after its last frame, so from the next block on.
        { "events at and past the block's end",
          { { cutoff, 0.3, eventBlockFrames }, { resonance, 0.8, 100000 } },
          { { eventBlockFrames, { { cutoff, 0.3 }, { resonance, 0.8 } } } } },
    };

    for (const auto& c : cases)
    {
        // What the plug-in did before: every value of the block before its first frame.
        Step allAtTheStart { 0, {} };

        for (auto& timed : c.events)
            allAtTheStart.changes.emplace_back (timed.identifier, timed.value);

        const auto expected = processInSteps (c.steps);
        const auto actual = processThroughThePlugin (c.events);

        EXPECT_EQ (countMismatches (actual, expected), 0u) << c.name;
        EXPECT_GT (countMismatches (processInSteps ({ allAtTheStart }), expected), 0u) << c.name << ": the case cannot tell";
    }
}

TEST (ClapPluginProcessing, ValuesSetOnTheAudioThreadReachTheSavedStateAndAreNotEchoed)
{
    // The audio thread sets values without telling listeners; the value tree the state is
    // written from must hear of them all the same.
    ClapTestLibrary library { TESSALINE_CLAP_PATH };
    ClapTestHost host { library };
    ASSERT_TRUE (host.createPlugin());
    auto* plugin = host.plugin();
    const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    const auto& state = *host.extension<clap_plugin_state_t> (CLAP_EXT_STATE);

    TessalineAudioProcessor reference;
    const std::pair<const char*, double> values[] = { { ParameterIds::cutoff, 0.3 }, { ParameterIds::mode, 1.0 },
                                                      { ParameterIds::drive, 0.25 } };
    ClapTestEventList events;
    uint32_t frame = 5;

    for (auto [identifier, value] : values)
    {
        auto* parameter = reference.apvts.getParameter (identifier);
        parameter->setValueNotifyingHost ((float) value);
        events.addValue (idOf (params, plugin, parameter->getName (100).toRawUTF8()), value, frame);
        frame += 40;
    }

    ASSERT_TRUE (plugin->activate (plugin, sampleRate, 1, maxBlockSize));
    std::vector<float> left ((size_t) maxBlockSize, 0.1f), right (left);
    float* channels[] = { left.data(), right.data() };
    clap_audio_buffer_t in { channels, nullptr, 2, 0, 0 };
    clap_audio_buffer_t out { channels, nullptr, 2, 0, 0 };

    host.runOnAudioThread ([&]
    {
        plugin->start_processing (plugin);
        auto context = ClapTestHost::processContext (in, out, (uint32_t) maxBlockSize, events.input(), events.output());
        plugin->process (plugin, &context);
        plugin->stop_processing (plugin);
    });

    juce::MemoryBlock expected;
    reference.getStateInformation (expected);

    // Saved before any timer ran, and again after the timers told the listeners.
    for (int pass = 0; pass < 2; ++pass)
    {
        ClapTestOutputStream stream;
        ASSERT_TRUE (state.save (plugin, stream.get()));
        EXPECT_EQ (juce::MemoryBlock (stream.bytes.data(), stream.bytes.size()), expected) << "pass " << pass;
        host.runTimers();
    }

    plugin->deactivate (plugin);
    EXPECT_TRUE (events.pushed.empty());
    EXPECT_EQ (host.flushRequests, 0);
    EXPECT_TRUE (host.takeLog().empty());
}

//==============================================================================
namespace
{
    // What a host may announce and then send: the largest block size CLAP can express, and a
    // block longer than the wrapper's largest piece, with the buffers fitting and not fitting
    // the processor (a missing output channel sends the audio through the wrapper's own buffer).
    bool processesHugeBlocksWithinAddressSpaceOf (rlim_t bytes)
    {
        const rlimit limit { bytes, bytes };

        if (setrlimit (RLIMIT_AS, &limit) != 0)
            return false;

        constexpr uint32_t numFrames = 70000;
        TessalineAudioProcessor reference;
        ProcessorTestTools::prepare (reference, sampleRate, 0x7fffffff);
        std::vector<std::vector<float>> expected { testSignal ((int) numFrames, 0), testSignal ((int) numFrames, 1) };
        float* expectedChannels[] = { expected[0].data(), expected[1].data() };
        juce::AudioBuffer<float> expectedBuffer (expectedChannels, 2, (int) numFrames);
        juce::MidiBuffer midi;
        reference.processBlock (expectedBuffer, midi);

        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };

        if (! host.createPlugin())
            return false;

        auto* plugin = host.plugin();

        if (! plugin->activate (plugin, sampleRate, 1, 0x7fffffffu))
            return false;

        auto ok = true;
        host.runOnAudioThread ([&] { ok = plugin->start_processing (plugin); });

        for (auto numOutputChannels : { 2u, 1u })
        {
            std::vector<std::vector<float>> audio { testSignal ((int) numFrames, 0), testSignal ((int) numFrames, 1) };
            float* channels[] = { audio[0].data(), audio[1].data() };
            std::vector<float> output (numFrames);
            float* outputChannels[] = { output.data() };
            clap_audio_buffer_t in { channels, nullptr, 2, 0, 0 };
            clap_audio_buffer_t out { numOutputChannels == 2 ? channels : outputChannels, nullptr, numOutputChannels, 0, 0 };
            ClapTestEventList events;
            auto context = ClapTestHost::processContext (in, out, numFrames, events.input(), events.output());
            host.runOnAudioThread ([&] { ok = ok && plugin->process (plugin, &context) == CLAP_PROCESS_CONTINUE; });

            // Each pass starts from the filter state the last left; only the first compares.
            if (numOutputChannels == 2)
                ok = ok && audio == expected;
            else
                ok = ok && std::all_of (output.begin(), output.end(), [] (float x) { return std::isfinite (x); });

            plugin->reset (plugin);
        }

        host.runOnAudioThread ([&] { plugin->stop_processing (plugin); });
        plugin->deactivate (plugin);
        return ok;
    }
}

TEST (ClapPluginProcessingDeathTest, HugeAnnouncedBlocksFitInAFourGibibyteAddressSpace)
{
    if (SanitizerTools::addressSanitizer)
        GTEST_SKIP() << "the sanitizer's shadow memory alone is larger than the 4 GiB limit";

    // In a fresh copy of this program, whose address space the limit then binds.
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    EXPECT_EXIT (std::exit (processesHugeBlocksWithinAddressSpaceOf (rlim_t (4) << 30) ? 0 : 1),
                 ::testing::ExitedWithCode (0), "");
}

// The built Tessaline.clap put through what plug-in validators put a plug-in through: every
// sample rate from 8 kHz to 384 kHz, odd and random block sizes and blocks longer than
// announced, in-place and separate buffers, parameters moved every block, non-finite and
// denormal input, state saved and loaded between instances, damaged state streams, instances
// made and destroyed again and again, and calls in orders hosts should not use.
// (No allocation on the audio thread: RealtimeSafetyTests.cpp. The editor opened and closed
// while another thread processes: ThreadSafetyTests.cpp.)

#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestLibrary.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
    constexpr uint32_t announcedBlockSize = 512;

    /** One instance of the plug-in in the test host, with the host's buffers for two channels. */
    struct Instance
    {
        explicit Instance (const ClapTestLibrary& library) : host (library)
        {
            created = host.createPlugin();

            if (created)
            {
                plugin = host.plugin();
                params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
                state = host.extension<clap_plugin_state_t> (CLAP_EXT_STATE);

                for (uint32_t index = 0; index < params->count (plugin); ++index)
                {
                    clap_param_info_t info {};
                    params->get_info (plugin, index, &info);
                    infos.push_back (info);
                }
            }
        }

        /** Processes the block on the audio thread; the output is `out`, or `in` in place. */
        clap_process_status process (std::vector<float>& inLeft, std::vector<float>& inRight,
                                     std::vector<float>& outLeft, std::vector<float>& outRight,
                                     bool inPlace, const ClapTestEventList& events)
        {
            float* inChannels[] = { inLeft.data(), inRight.data() };
            float* outChannels[] = { outLeft.data(), outRight.data() };
            clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
            clap_audio_buffer_t out { inPlace ? inChannels : outChannels, nullptr, 2, 0, 0 };
            auto context = ClapTestHost::processContext (in, out, (uint32_t) inLeft.size(), events.input(), events.output(), steadyTime);
            steadyTime += (int64_t) inLeft.size();
            clap_process_status status = CLAP_PROCESS_ERROR;
            host.runOnAudioThread ([&] { status = plugin->process (plugin, &context); });
            return status;
        }

        bool startProcessing()
        {
            bool started = false;
            host.runOnAudioThread ([&] { started = plugin->start_processing (plugin); });
            return started;
        }

        void stopProcessing()    { host.runOnAudioThread ([&] { plugin->stop_processing (plugin); }); }

        std::vector<uint8_t> save() const
        {
            ClapTestOutputStream stream;
            return state->save (plugin, stream.get()) ? stream.bytes : std::vector<uint8_t> {};
        }

        bool load (const std::vector<uint8_t>& bytes, size_t maxPerRead = 4096) const
        {
            ClapTestInputStream stream (bytes, maxPerRead);
            return state->load (plugin, stream.get());
        }

        std::vector<double> values() const
        {
            std::vector<double> result;

            for (auto& info : infos)
            {
                double value = std::numeric_limits<double>::quiet_NaN();
                params->get_value (plugin, info.id, &value);
                result.push_back (value);
            }

            return result;
        }

        bool valuesInRange() const
        {
            const auto current = values();

            for (size_t i = 0; i < infos.size(); ++i)
                if (! (current[i] >= infos[i].min_value && current[i] <= infos[i].max_value))
                    return false;

            return true;
        }

        /** What the plug-in logged that was not about the host's own misbehaviour. */
        std::vector<std::string> ownComplaints()
        {
            std::vector<std::string> complaints;

            for (auto& entry : host.takeLog())
                if (entry.severity != CLAP_LOG_HOST_MISBEHAVING)
                    complaints.push_back (entry.message);

            return complaints;
        }

        ClapTestHost host;
        bool created = false;
        const clap_plugin_t* plugin = nullptr;
        const clap_plugin_params_t* params = nullptr;
        const clap_plugin_state_t* state = nullptr;
        std::vector<clap_param_info_t> infos;
        int64_t steadyTime = 0;
    };

    /** Noise under a low sine: something every filter setting lets some of through. */
    void fillMusic (std::vector<float>& channel, juce::Random& random, double& phase, double increment)
    {
        for (auto& sample : channel)
        {
            sample = 0.5f * (float) std::sin (phase) + 0.3f * (random.nextFloat() * 2.0f - 1.0f);
            phase += increment;
        }
    }

    size_t countNonFinite (const std::vector<float>& samples)
    {
        size_t count = 0;

        for (auto sample : samples)
            count += std::isfinite (sample) ? 0u : 1u;

        return count;
    }

    /** A value for a parameter event: the extremes, a value anywhere, or one a careless host
        sends from outside the range. */
    double fuzzedValue (juce::Random& random)
    {
        switch (random.nextInt (6))
        {
            case 0:  return 0.0;
            case 1:  return 1.0;
            case 2:  return -0.25;
            case 3:  return 1.75;
            default: return random.nextDouble();
        }
    }

    /** Block sizes as hosts send them: single samples, odd sizes, the announced size, and
        blocks longer than announced. */
    uint32_t fuzzedBlockSize (juce::Random& random)
    {
        switch (random.nextInt (5))
        {
            case 0:  return 1u + (uint32_t) random.nextInt (3);
            case 1:  return announcedBlockSize;
            case 2:  return announcedBlockSize + 1u + (uint32_t) random.nextInt (1500);
            default: return 1u + 2u * (uint32_t) random.nextInt ((int) announcedBlockSize / 2);
        }
    }

    class ClapValidation : public ::testing::Test
    {
    protected:
        void SetUp() override   { ASSERT_TRUE (library.isLoaded()) << library.getError(); }

        ClapTestLibrary library { TESSALINE_CLAP_PATH };
    };

    const double validationSampleRates[] = { 8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0,
                                             88200.0, 96000.0, 176400.0, 192000.0, 352800.0, 384000.0 };
}

//==============================================================================
TEST_F (ClapValidation, EverySampleRateBlockSizeAndParameterChangeGivesTheSameFiniteAudioInPlaceAndSeparate)
{
    for (const auto sampleRate : validationSampleRates)
    {
        std::vector<std::vector<float>> outputs[2];

        for (const bool inPlace : { false, true })
        {
            Instance instance (library);
            ASSERT_TRUE (instance.created);
            ASSERT_TRUE (instance.plugin->activate (instance.plugin, sampleRate, 1, announcedBlockSize)) << sampleRate;
            ASSERT_TRUE (instance.startProcessing());

            // The same blocks and events for both layouts: the generators restart from one seed.
            juce::Random blocks (42), music (43), events (44);
            double phase = 0.0;
            auto& produced = outputs[inPlace ? 1 : 0];
            produced.assign (2, {});

            for (int block = 0; block < 60; ++block)
            {
                const auto numFrames = fuzzedBlockSize (blocks);
                std::vector<float> inLeft (numFrames), inRight (numFrames), outLeft (numFrames, 7.0f), outRight (numFrames, 7.0f);
                fillMusic (inLeft, music, phase, 2.0 * juce::MathConstants<double>::pi * 110.0 / sampleRate);
                fillMusic (inRight, music, phase, 0.0);

                // A few parameters every block, at times inside it in order.
                ClapTestEventList list;
                uint32_t time = 0;

                for (int change = events.nextInt (4); change >= 0; --change)
                {
                    const auto& info = instance.infos[(size_t) events.nextInt ((int) instance.infos.size())];
                    list.addValue (info.id, fuzzedValue (events), time);
                    time = std::min (numFrames - 1, time + (uint32_t) events.nextInt ((int) numFrames));
                }

                ASSERT_EQ (instance.process (inLeft, inRight, outLeft, outRight, inPlace, list), CLAP_PROCESS_CONTINUE);
                EXPECT_TRUE (list.pushed.empty());

                auto& left = inPlace ? inLeft : outLeft;
                auto& right = inPlace ? inRight : outRight;
                produced[0].insert (produced[0].end(), left.begin(), left.end());
                produced[1].insert (produced[1].end(), right.begin(), right.end());
            }

            instance.stopProcessing();
            instance.plugin->deactivate (instance.plugin);
            EXPECT_TRUE (instance.host.takeLog().empty()) << sampleRate;

            for (auto& channel : produced)
            {
                EXPECT_EQ (countNonFinite (channel), 0u) << sampleRate << " Hz, in place " << inPlace;

                double energy = 0.0;

                for (auto sample : channel)
                    energy += (double) sample * sample;

                // Heard: something comes through, and nothing blows up past a loud signal.
                const auto rms = std::sqrt (energy / (double) channel.size());
                EXPECT_GT (rms, 1.0e-4) << sampleRate << " Hz";
                EXPECT_LT (rms, 20.0) << sampleRate << " Hz";
            }
        }

        EXPECT_TRUE (outputs[0] == outputs[1]) << "in-place and separate buffers differ at " << sampleRate << " Hz";
    }
}

TEST_F (ClapValidation, NonFiniteAndDenormalInputNeverSpoilsTheFiniteInputAfterIt)
{
    constexpr auto nan = std::numeric_limits<float>::quiet_NaN();
    constexpr auto inf = std::numeric_limits<float>::infinity();
    constexpr auto denormal = std::numeric_limits<float>::denorm_min() * 3.0f;

    struct Case { const char* what; float left, right; bool everySecondSample; };

    const Case cases[] = {
        { "NaN",                 nan,      nan,  false },
        { "NaN in one channel",  nan,      0.1f, false },
        { "+Inf",                inf,      inf,  false },
        { "-Inf",                -inf,     -inf, false },
        { "Inf and NaN",         inf,      nan,  true },
        { "huge",                3.0e38f,  -3.0e38f, true },
        { "denormals",           denormal, -denormal, false },
    };

    for (const auto& c : cases)
    {
        for (const double oversampling : { 0.0, 1.0 })
        {
            Instance instance (library);
            ASSERT_TRUE (instance.created);

            // A ringing setting, where a filter's state lives longest.
            ClapTestEventList setting;
            setting.addValue (instance.infos[1].id, 0.95);  // resonance
            setting.addValue (instance.infos[2].id, 0.6);   // drive
            setting.addValue (instance.infos[6].id, oversampling);
            instance.params->flush (instance.plugin, setting.input(), setting.output());

            ASSERT_TRUE (instance.plugin->activate (instance.plugin, 48000.0, 1, 256));
            ASSERT_TRUE (instance.startProcessing());
            juce::Random random (5);
            double phase = 0.0;
            size_t nonFiniteAfter = 0, denormalsOut = 0;

            for (int block = 0; block < 30; ++block)
            {
                std::vector<float> left (256), right (256), outLeft (256), outRight (256);
                fillMusic (left, random, phase, 0.02);
                fillMusic (right, random, phase, 0.0);
                const bool bad = block == 5;

                if (bad || c.left == denormal)
                {
                    for (size_t i = 0; i < left.size(); i += c.everySecondSample ? 2 : 1)
                    {
                        left[i] = c.left;
                        right[i] = c.right;
                    }
                }

                ClapTestEventList none;
                ASSERT_EQ (instance.process (left, right, outLeft, outRight, false, none), CLAP_PROCESS_CONTINUE);

                if (block > 5 || c.left == denormal)
                    nonFiniteAfter += countNonFinite (outLeft) + countNonFinite (outRight);

                for (auto sample : outLeft)
                    denormalsOut += std::fpclassify (sample) == FP_SUBNORMAL ? 1u : 0u;
            }

            EXPECT_EQ (nonFiniteAfter, 0u) << c.what << ", oversampling " << oversampling;
            EXPECT_EQ (denormalsOut, 0u) << c.what << ", oversampling " << oversampling;
            instance.stopProcessing();
            instance.plugin->deactivate (instance.plugin);
            EXPECT_TRUE (instance.ownComplaints().empty());
        }
    }
}

//==============================================================================
TEST_F (ClapValidation, StateSavedLoadedIntoAFreshInstanceAndSavedAgainIsTheSameBytes)
{
    juce::Random random (77);

    for (int round = 0; round < 40; ++round)
    {
        Instance original (library);
        ASSERT_TRUE (original.created);
        ClapTestEventList changes;

        for (auto& info : original.infos)
            if (random.nextBool())
                changes.addValue (info.id, fuzzedValue (random));

        original.params->flush (original.plugin, changes.input(), changes.output());
        const auto saved = original.save();
        ASSERT_FALSE (saved.empty());

        Instance fresh (library);
        ASSERT_TRUE (fresh.created);
        ASSERT_TRUE (fresh.load (saved, 1 + (size_t) random.nextInt (600)));
        EXPECT_EQ (fresh.values(), original.values()) << "round " << round;
        EXPECT_EQ (fresh.save(), saved) << "round " << round;
    }
}

TEST_F (ClapValidation, DamagedStateStreamsNeverCrashAndLeaveAUsableInstance)
{
    Instance source (library);
    ASSERT_TRUE (source.created);
    ClapTestEventList changes;
    changes.addValue (source.infos[0].id, 0.3);
    changes.addValue (source.infos[4].id, 1.0);
    source.params->flush (source.plugin, changes.input(), changes.output());
    const auto good = source.save();
    ASSERT_GT (good.size(), 16u);

    Instance target (library);
    ASSERT_TRUE (target.created);
    juce::Random random (9);
    std::vector<std::vector<uint8_t>> damaged;

    // Every truncation, every byte inverted, every byte made random, and bytes appended.
    for (size_t length = 0; length < good.size(); ++length)
        damaged.emplace_back (good.begin(), good.begin() + (long) length);

    for (size_t position = 0; position < good.size(); ++position)
    {
        auto inverted = good;
        inverted[position] ^= 0xff;
        damaged.push_back (inverted);

        auto randomised = good;
        randomised[position] = (uint8_t) random.nextInt (256);
        damaged.push_back (randomised);
    }

    for (const auto* tail : { "\0", "<PARAMETERS/>", "\xff\xfe\xfd" })
    {
        auto longer = good;
        longer.insert (longer.end(), tail, tail + std::char_traits<char>::length (tail) + 1);
        damaged.push_back (longer);
    }

    size_t outOfRange = 0, unsaveable = 0;

    for (const auto& bytes : damaged)
    {
        target.load (bytes, 1 + (size_t) random.nextInt (64));
        outOfRange += target.valuesInRange() ? 0u : 1u;
        unsaveable += target.save().empty() ? 1u : 0u;
    }

    EXPECT_EQ (outOfRange, 0u);
    EXPECT_EQ (unsaveable, 0u);
    EXPECT_TRUE (target.ownComplaints().empty());

    // After all of that it still loads a good state and processes.
    ASSERT_TRUE (target.load (good));
    EXPECT_EQ (target.save(), good);
    ASSERT_TRUE (target.plugin->activate (target.plugin, 44100.0, 1, 128));
    ASSERT_TRUE (target.startProcessing());
    std::vector<float> left (128, 0.25f), right (128, -0.25f), outLeft (128), outRight (128);
    ClapTestEventList none;
    EXPECT_EQ (target.process (left, right, outLeft, outRight, false, none), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ (countNonFinite (outLeft) + countNonFinite (outRight), 0u);
    target.stopProcessing();
    target.plugin->deactivate (target.plugin);
}

//==============================================================================
TEST_F (ClapValidation, InstancesMadeActivatedAndDestroyedAgainAndAgain)
{
    juce::Random random (3);

    for (int round = 0; round < 30; ++round)
    {
        // Two at once, as a host loading a project does, each at a rate of its own.
        Instance first (library), second (library);
        ASSERT_TRUE (first.created && second.created) << "round " << round;

        for (auto* instance : { &first, &second })
        {
            const auto rate = validationSampleRates[(size_t) random.nextInt ((int) std::size (validationSampleRates))];
            ASSERT_TRUE (instance->plugin->activate (instance->plugin, rate, 1, announcedBlockSize));

            // Some rounds end right after activation, some after processing, some after a
            // second activation at another rate.
            if (round % 3 == 0)
                continue;

            ASSERT_TRUE (instance->startProcessing());
            std::vector<float> left (64, 0.5f), right (64, 0.5f), outLeft (64), outRight (64);
            ClapTestEventList none;
            EXPECT_EQ (instance->process (left, right, outLeft, outRight, true, none), CLAP_PROCESS_CONTINUE);
            EXPECT_EQ (countNonFinite (left) + countNonFinite (right), 0u);
            instance->stopProcessing();
            instance->plugin->deactivate (instance->plugin);

            if (round % 3 == 2)
            {
                ASSERT_TRUE (instance->plugin->activate (instance->plugin, 96000.0, 32, 4096));
            }
        }

        for (auto* instance : { &first, &second })
        {
            if (round % 3 != 1)
                instance->plugin->deactivate (instance->plugin);

            instance->host.destroyPlugin();
            EXPECT_TRUE (instance->ownComplaints().empty());
        }
    }
}

//==============================================================================
namespace
{
    enum class Call { activate, deactivate, start, stop, process, flushOnMain, flushOnAudio, reset, saveAndLoad, destroy };

    struct CallOrder
    {
        const char* what;
        std::vector<Call> calls;
    };
}

TEST_F (ClapValidation, CallsInOddOrdersAreSurvivedAndOnlyTheHostIsBlamed)
{
    using C = Call;

    const CallOrder orders[] = {
        // Habits of real hosts, which must work without a word.
        { "flush on the audio thread right before start (qtractor)", { C::activate, C::flushOnAudio, C::start, C::process, C::stop, C::deactivate, C::destroy } },
        { "deactivate without stop (qtractor)",     { C::activate, C::start, C::process, C::deactivate, C::activate, C::start, C::process, C::destroy } },
        { "flush while inactive",                    { C::flushOnMain, C::activate, C::start, C::process, C::destroy } },
        { "reset between blocks",                    { C::activate, C::start, C::process, C::reset, C::process, C::stop, C::deactivate, C::destroy } },
        { "state while processing",                  { C::activate, C::start, C::process, C::saveAndLoad, C::process, C::destroy } },
        { "destroy while processing",                { C::activate, C::start, C::process, C::destroy } },
        { "destroy without ever activating",         { C::destroy } },
        // Misbehaviour, survived and reported as the host's.
        { "process before start",                    { C::activate, C::process, C::start, C::process, C::destroy } },
        { "process while inactive",                  { C::process, C::activate, C::start, C::process, C::destroy } },
        { "start twice, stop twice",                 { C::activate, C::start, C::start, C::process, C::stop, C::stop, C::process, C::destroy } },
        { "activate twice, deactivate twice",        { C::activate, C::activate, C::start, C::process, C::deactivate, C::deactivate, C::destroy } },
        { "stop and start while inactive",           { C::stop, C::start, C::activate, C::start, C::process, C::destroy } },
        { "process after deactivate",                { C::activate, C::start, C::process, C::stop, C::deactivate, C::process, C::destroy } },
        { "flush on the main thread while processing", { C::activate, C::start, C::process, C::flushOnMain, C::process, C::destroy } },
    };

    for (const auto& order : orders)
    {
        Instance instance (library);
        ASSERT_TRUE (instance.created) << order.what;
        size_t nonFinite = 0;

        for (const auto call : order.calls)
        {
            auto* plugin = instance.plugin;
            std::vector<float> left (200, 0.3f), right (200, -0.3f), outLeft (200), outRight (200);
            ClapTestEventList events;
            events.addValue (instance.infos[0].id, 0.4);

            switch (call)
            {
                case C::activate:     plugin->activate (plugin, 48000.0, 1, 256); break;
                case C::deactivate:   plugin->deactivate (plugin); break;
                case C::start:        instance.startProcessing(); break;
                case C::stop:         instance.stopProcessing(); break;
                case C::reset:        instance.host.runOnAudioThread ([&] { plugin->reset (plugin); }); break;
                case C::flushOnMain:  instance.params->flush (plugin, events.input(), events.output()); break;
                case C::flushOnAudio:
                    instance.host.runOnAudioThread ([&] { instance.params->flush (plugin, events.input(), events.output()); });
                    break;
                case C::process:
                    instance.process (left, right, outLeft, outRight, false, events);
                    nonFinite += countNonFinite (outLeft) + countNonFinite (outRight);
                    break;
                case C::saveAndLoad:
                    EXPECT_TRUE (instance.load (instance.save())) << order.what;
                    break;
                case C::destroy:      instance.host.destroyPlugin(); break;
            }
        }

        EXPECT_EQ (nonFinite, 0u) << order.what;

        for (const auto& complaint : instance.ownComplaints())
            ADD_FAILURE() << order.what << ": the plug-in logged " << complaint;
    }
}

// The plug-in as a CLAP host sees it, through the project's own test host.

#include "processor/ParameterIds.h"
#include "processor/TessalineAudioProcessor.h"
#include "tests/clap/ClapTestHooks.h"
#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestLibrary.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace
{
    const char* const tessalineId = "com.quillfen.tessaline";

    // Ids hosts store in projects: derived from the identifiers as JUCE's VST3 wrapper derives its
    // parameter ids (juce::String::hashCode with the top bit cleared), so automation reads the
    // same in both formats. Pinned here so that they can never change unnoticed; the VST3 build's
    // ids are checked against the same table in tests/hosts/.
    struct ExpectedParameter
    {
        const char* identifier;
        clap_id id;
        const char* name;
        double defaultValue;
    };

    const ExpectedParameter expectedParameters[] = {
        { ParameterIds::cutoff,       798419949u, "Cutoff",       1.0 },
        { ParameterIds::resonance,     157452366u, "Resonance",    0.0 },
        { ParameterIds::drive,          95852938u, "Drive",        0.0 },
        { ParameterIds::makeupGain,   1226400808u, "Makeup Gain",  0.0 },
        { ParameterIds::mode,            3357091u, "Filter Mode",  0.0 },
        { ParameterIds::slope,         109532587u, "Filter Slope", 1.0 },
        { ParameterIds::oversampling, 1420097723u, "Oversampling", 1.0 },
    };

    clap_id idOf (const char* identifier)
    {
        for (auto& parameter : expectedParameters)
            if (std::strcmp (parameter.identifier, identifier) == 0)
                return parameter.id;

        return CLAP_INVALID_ID;
    }

    class ClapPlugin : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            ASSERT_TRUE (library.isLoaded()) << library.getError();
            ASSERT_TRUE (host.createPlugin());
        }

        const clap_plugin_params_t& params() const  { return *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS); }
        const clap_plugin_state_t& state() const    { return *host.extension<clap_plugin_state_t> (CLAP_EXT_STATE); }

        double valueOf (ClapTestHost& someHost, const char* identifier) const
        {
            double value = -1.0;
            someHost.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS)->get_value (someHost.plugin(), idOf (identifier), &value);
            return value;
        }

        std::vector<double> allValues (ClapTestHost& someHost) const
        {
            std::vector<double> values;

            for (auto& parameter : expectedParameters)
                values.push_back (valueOf (someHost, parameter.identifier));

            return values;
        }

        void setFromHost (std::initializer_list<std::pair<const char*, double>> values)
        {
            ClapTestEventList events;

            for (auto [identifier, value] : values)
                events.addValue (idOf (identifier), value);

            params().flush (host.plugin(), events.input(), events.output());
        }

        std::vector<uint8_t> save (ClapTestHost& someHost, size_t maxPerWrite = 100000) const
        {
            ClapTestOutputStream stream (maxPerWrite);
            EXPECT_TRUE (someHost.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (someHost.plugin(), stream.get()));
            return stream.bytes;
        }

        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };
    };
}

//==============================================================================
TEST_F (ClapPlugin, EntryAndDescriptorPresentTessaline)
{
    const auto& entry = *library.getEntry();
    EXPECT_EQ (entry.clap_version.major, 1u);
    EXPECT_EQ (entry.clap_version.minor, 2u);
    EXPECT_EQ (entry.clap_version.revision, 7u);
    EXPECT_EQ (entry.get_factory ("clap.preset-discovery-factory/2"), nullptr);
    EXPECT_EQ (entry.get_factory (""), nullptr);

    const auto& factory = *library.getFactory();
    ASSERT_EQ (factory.get_plugin_count (&factory), 1u);
    EXPECT_EQ (factory.get_plugin_descriptor (&factory, 1), nullptr);

    const auto& descriptor = *factory.get_plugin_descriptor (&factory, 0);
    EXPECT_EQ (descriptor.clap_version.major, 1u);
    EXPECT_EQ (descriptor.clap_version.minor, 2u);
    EXPECT_EQ (descriptor.clap_version.revision, 7u);
    EXPECT_STREQ (descriptor.id, tessalineId);
    EXPECT_STREQ (descriptor.name, "Tessaline");
    EXPECT_STREQ (descriptor.vendor, "Quillfen");
    EXPECT_STREQ (descriptor.url, "");
    EXPECT_STREQ (descriptor.manual_url, "");
    EXPECT_STREQ (descriptor.support_url, "");
    EXPECT_STREQ (descriptor.version, "1.0.0");
    EXPECT_STREQ (descriptor.description, "Tessaline");
    ASSERT_NE (descriptor.features, nullptr);
    EXPECT_STREQ (descriptor.features[0], "audio-effect");
    EXPECT_STREQ (descriptor.features[1], "filter");
    EXPECT_EQ (descriptor.features[2], nullptr);

    EXPECT_EQ (host.plugin()->desc, &descriptor);
}

TEST_F (ClapPlugin, UnknownPluginIdGivesTheWarningLineAndNoInstance)
{
    const auto& factory = *library.getFactory();
    ::testing::internal::CaptureStdout();
    const auto* plugin = factory.create_plugin (&factory, host.clapHost(), "com.example.other");
    const auto output = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ (plugin, nullptr);
    EXPECT_EQ (output, "Warning: CLAP asked for plugin_id 'com.example.other' and JuceCLAPWrapper ID is '"
                       + std::string (tessalineId) + "'\n");
}

TEST_F (ClapPlugin, OffersExactlyItsExtensions)
{
    // Spelled out here rather than taken from the wrapper's own headers, so a mistyped id there
    // cannot pass unnoticed.
    for (auto* id : { "clap.audio-ports", "clap.note-ports", "clap.note-name", "clap.params", "clap.state",
                      "clap.latency", "clap.tail", "clap.render", "clap.gui", "clap.timer-support",
                      "clap.track-info/1", "clap.track-info.draft/1" })
        EXPECT_NE (host.extension<void> (id), nullptr) << id;

    for (auto* id : { "clap.state-context/2", "clap.preset-load/2", "clap.audio-ports-activation/2",
                      "clap.audio-ports-config", "clap.configurable-audio-ports/1", "clap.surround/4",
                      "clap.param-indication/4", "clap.remote-controls/2", "clap.thread-pool",
                      "clap.posix-fd-support", "clap.voice-info", "clap.context-menu/1" })
        EXPECT_EQ (host.extension<void> (id), nullptr) << id;

    for (auto* id : { "clap.thread-check", "clap.log", "clap.event-registry", "clap.draft.extensible-audio-ports",
                      "clap.resource-directory.draft/0", "clap.ambisonic/3", "com.quillfen.tessaline.test-hooks", "" })
        EXPECT_EQ (host.extension<void> (id), nullptr) << id;

    EXPECT_EQ (host.plugin()->get_extension (host.plugin(), nullptr), nullptr);
}

TEST_F (ClapPlugin, AudioPortsAreOneStereoPairWorkingInPlace)
{
    const auto& ports = *host.extension<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS);
    ASSERT_EQ (ports.count (host.plugin(), true), 1u);
    ASSERT_EQ (ports.count (host.plugin(), false), 1u);

    struct ExpectedPort { bool isInput; clap_id id; const char* name; clap_id pair; };

    for (auto expected : { ExpectedPort { true, 32768, "Input", 1 }, ExpectedPort { false, 1, "Output", 32768 } })
    {
        clap_audio_port_info_t info {};
        ASSERT_TRUE (ports.get (host.plugin(), 0, expected.isInput, &info));
        EXPECT_EQ (info.id, expected.id);
        EXPECT_STREQ (info.name, expected.name);
        EXPECT_EQ (info.channel_count, 2u);
        EXPECT_STREQ (info.port_type, CLAP_PORT_STEREO);
        EXPECT_EQ (info.flags, (uint32_t) CLAP_AUDIO_PORT_IS_MAIN);
        EXPECT_EQ (info.in_place_pair, expected.pair);
        EXPECT_FALSE (ports.get (host.plugin(), 1, expected.isInput, &info));
    }

    const auto& notePorts = *host.extension<clap_plugin_note_ports_t> (CLAP_EXT_NOTE_PORTS);
    EXPECT_EQ (notePorts.count (host.plugin(), true), 0u);
    EXPECT_EQ (notePorts.count (host.plugin(), false), 0u);
    EXPECT_EQ (host.extension<clap_plugin_note_name_t> (CLAP_EXT_NOTE_NAME)->count (host.plugin()), 0u);
}

TEST_F (ClapPlugin, ParametersAreTheSevenInOrderWithStableIds)
{
    ASSERT_EQ (params().count (host.plugin()), 7u);

    for (uint32_t index = 0; index < 7; ++index)
    {
        const auto& expected = expectedParameters[index];
        clap_param_info_t info {};
        ASSERT_TRUE (params().get_info (host.plugin(), index, &info));
        EXPECT_EQ (info.id, expected.id) << expected.identifier;
        EXPECT_STREQ (info.name, expected.name);
        EXPECT_STREQ (info.module, "");
        EXPECT_EQ (info.flags, (uint32_t) CLAP_PARAM_IS_AUTOMATABLE) << expected.identifier;
        EXPECT_EQ (info.min_value, 0.0);
        EXPECT_EQ (info.max_value, 1.0);
        EXPECT_DOUBLE_EQ (info.default_value, expected.defaultValue) << expected.identifier;
        EXPECT_DOUBLE_EQ (valueOf (host, expected.identifier), expected.defaultValue);
    }

    clap_param_info_t info {};
    EXPECT_FALSE (params().get_info (host.plugin(), 7, &info));
    double value = 0.0;
    EXPECT_FALSE (params().get_value (host.plugin(), 12345, &value));
}

TEST_F (ClapPlugin, TextConversionsAreTheParametersOwn)
{
    struct Case { const char* identifier; double normalised; const char* text; };

    const Case cases[] = {
        { ParameterIds::cutoff,       0.5, "1000.0" },
        { ParameterIds::cutoff,       0.0, "20.0" },
        { ParameterIds::resonance,    1.0, "0.75" },
        { ParameterIds::drive,        0.0, "1.00" },
        { ParameterIds::makeupGain,   0.5, "3.00" },
        { ParameterIds::mode,         0.5, "HighPass" },
        { ParameterIds::mode,         1.0, "BandPass" },
        { ParameterIds::slope,        0.5, "18 dB/oct" },
        { ParameterIds::oversampling, 0.0, "Off" },
        { ParameterIds::oversampling, 1.0, "2x" },
    };

    for (auto& c : cases)
    {
        char text[CLAP_NAME_SIZE] {};
        ASSERT_TRUE (params().value_to_text (host.plugin(), idOf (c.identifier), c.normalised, text, sizeof (text)));
        EXPECT_STREQ (text, c.text) << c.identifier;

        double value = -1.0;
        ASSERT_TRUE (params().text_to_value (host.plugin(), idOf (c.identifier), c.text, &value));
        EXPECT_NEAR (value, c.normalised, 1.0e-4) << c.identifier << " " << c.text;
    }

    // A host's small buffer gets a terminated prefix; bad arguments are refused.
    char small[4];
    ASSERT_TRUE (params().value_to_text (host.plugin(), idOf (ParameterIds::mode), 0.5, small, sizeof (small)));
    EXPECT_EQ (std::strlen (small), 3u);
    EXPECT_FALSE (params().value_to_text (host.plugin(), 99, 0.5, small, sizeof (small)));
    EXPECT_FALSE (params().value_to_text (host.plugin(), idOf (ParameterIds::mode), 0.5, nullptr, 0));
    double value = 0.0;
    EXPECT_FALSE (params().text_to_value (host.plugin(), idOf (ParameterIds::mode), nullptr, &value));
}

TEST_F (ClapPlugin, TextToValueRefusesWhatIsNoValueMatchesChoicesInAnyCaseAndClampsNumbers)
{
    struct Case { const char* identifier; const char* text; bool accepted; double normalised; };

    const Case cases[] = {
        { ParameterIds::cutoff,       "NaN",        false, 0.0 },
        { ParameterIds::cutoff,       "nan",        false, 0.0 },
        { ParameterIds::cutoff,       "inf",        false, 0.0 },
        { ParameterIds::cutoff,       "-infinity",  false, 0.0 },
        { ParameterIds::cutoff,       "garbage",    false, 0.0 },
        { ParameterIds::cutoff,       "",           false, 0.0 },
        { ParameterIds::cutoff,       "   ",        false, 0.0 },
        { ParameterIds::cutoff,       "1000 rpm",   false, 0.0 },
        { ParameterIds::cutoff,       "1,000",      false, 0.0 },
        { ParameterIds::cutoff,       "0x400",      false, 0.0 },
        { ParameterIds::cutoff,       "1e",         false, 0.0 },
        { ParameterIds::cutoff,       ".",          false, 0.0 },
        { ParameterIds::cutoff,       "1000",       true,  0.5 },
        { ParameterIds::cutoff,       " 1000.0 ",   true,  0.5 },
        { ParameterIds::cutoff,       "+1e3",       true,  0.5 },
        { ParameterIds::cutoff,       "1e400",      true,  1.0 }, // beyond the double range: the top
        { ParameterIds::cutoff,       "-1e400",     true,  0.0 },
        { ParameterIds::cutoff,       "1e-400",     true,  0.0 },
        { ParameterIds::cutoff,       "100000",     true,  1.0 }, // beyond the parameter's range: clamped
        { ParameterIds::cutoff,       "5",          true,  0.0 },
        { ParameterIds::resonance,    "-3",         true,  0.0 },
        { ParameterIds::drive,        "12.5",       true,  1.0 },
        { ParameterIds::makeupGain,   "3",          true,  0.5 },
        { ParameterIds::mode,         "highpass",   true,  0.5 },
        { ParameterIds::mode,         "BANDPASS",   true,  1.0 },
        { ParameterIds::mode,         " LowPass ",  true,  0.0 },
        { ParameterIds::mode,         "Notch",      false, 0.0 },
        { ParameterIds::mode,         "1",          false, 0.0 },
        { ParameterIds::mode,         "",           false, 0.0 },
        { ParameterIds::slope,        "18 db/OCT",  true,  0.5 },
        { ParameterIds::slope,        "12 dB/oct",  false, 0.0 },
        { ParameterIds::oversampling, "2X",         true,  1.0 },
        { ParameterIds::oversampling, "off",        true,  0.0 },
        { ParameterIds::oversampling, "4x",         false, 0.0 },
    };

    for (auto& c : cases)
    {
        double value = -1.0;
        const auto accepted = params().text_to_value (host.plugin(), idOf (c.identifier), c.text, &value);
        EXPECT_EQ (accepted, c.accepted) << c.identifier << " \"" << c.text << "\" gave " << value;

        if (accepted && c.accepted)
            EXPECT_NEAR (value, c.normalised, 1.0e-4) << c.identifier << " \"" << c.text << "\"";
        else
            EXPECT_EQ (value, -1.0) << c.identifier << " \"" << c.text << "\": a refused text leaves the value alone";
    }
}

TEST_F (ClapPlugin, HostValuesAreAppliedAndNeverEchoed)
{
    ClapTestEventList events;
    events.addGesture (CLAP_EVENT_PARAM_GESTURE_BEGIN, idOf (ParameterIds::mode));
    events.addValue (idOf (ParameterIds::mode), 1.0);
    events.addGesture (CLAP_EVENT_PARAM_GESTURE_END, idOf (ParameterIds::mode));
    events.addValue (idOf (ParameterIds::cutoff), 0.5);
    events.addValue (idOf (ParameterIds::drive), 7.0);                                  // out of range: clamped
    events.addValue (idOf (ParameterIds::resonance), std::numeric_limits<double>::quiet_NaN()); // ignored
    events.addValue (424242, 0.5);                                                      // unknown: ignored
    params().flush (host.plugin(), events.input(), events.output());

    EXPECT_DOUBLE_EQ (valueOf (host, ParameterIds::mode), 1.0);
    EXPECT_DOUBLE_EQ (valueOf (host, ParameterIds::cutoff), 0.5);
    EXPECT_DOUBLE_EQ (valueOf (host, ParameterIds::drive), 1.0);
    EXPECT_DOUBLE_EQ (valueOf (host, ParameterIds::resonance), 0.0);
    EXPECT_TRUE (events.pushed.empty());
    EXPECT_EQ (host.flushRequests, 0);
}

//==============================================================================
TEST_F (ClapPlugin, StateIsTheProcessorsBlobAndRoundTripsByteForByte)
{
    setFromHost ({ { ParameterIds::cutoff, 0.3 }, { ParameterIds::resonance, 0.6 }, { ParameterIds::mode, 1.0 },
                   { ParameterIds::oversampling, 0.0 } });

    // The same settings on a processor of our own give the very same bytes.
    TessalineAudioProcessor reference;

    for (auto& parameter : expectedParameters)
        reference.apvts.getParameter (parameter.identifier)->setValueNotifyingHost ((float) valueOf (host, parameter.identifier));

    juce::MemoryBlock referenceBlob;
    reference.getStateInformation (referenceBlob);

    ClapTestOutputStream trickle (7); // a stream taking 7 bytes a call
    ASSERT_TRUE (state().save (host.plugin(), trickle.get()));
    EXPECT_GT (trickle.numWrites, 1);
    ASSERT_EQ (trickle.bytes.size(), referenceBlob.getSize());
    EXPECT_EQ (std::memcmp (trickle.bytes.data(), referenceBlob.getData(), referenceBlob.getSize()), 0);

    ClapTestHost secondHost { library };
    ASSERT_TRUE (secondHost.createPlugin());

    for (auto maxPerRead : { size_t (1), size_t (4096), size_t (1) << 20 })
    {
        ClapTestInputStream stream (trickle.bytes, maxPerRead);
        ASSERT_TRUE (secondHost.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (secondHost.plugin(), stream.get()));
        EXPECT_EQ (stream.requestedSizes.front(), 4096u);
        EXPECT_EQ (allValues (secondHost), allValues (host));
        EXPECT_EQ (save (secondHost), trickle.bytes);
    }

    EXPECT_GE (secondHost.valueRescans, 1);
    EXPECT_EQ (secondHost.flushRequests, 0); // the loaded values are not reported as edits
}

TEST_F (ClapPlugin, DamagedOrEmptyStreamsChangeNothing)
{
    setFromHost ({ { ParameterIds::cutoff, 0.25 }, { ParameterIds::slope, 0.0 } });
    const auto before = allValues (host);
    const auto goodBlob = save (host);

    ClapTestHost other { library };
    ASSERT_TRUE (other.createPlugin());
    const auto otherBlob = save (other);
    ASSERT_NE (otherBlob, goodBlob);

    std::vector<uint8_t> randomBytes (3000);
    juce::Random random (7);

    for (auto& byte : randomBytes)
        byte = (uint8_t) random.nextInt (256);

    std::vector<uint8_t> truncated (otherBlob.begin(), otherBlob.begin() + (long) otherBlob.size() / 2);
    std::vector<uint8_t> wrongMagic = otherBlob;
    wrongMagic[0] ^= 0xff;

    struct Case { const char* what; std::vector<uint8_t> bytes; size_t failAt; };

    const Case cases[] = {
        { "empty",             {},         SIZE_MAX },
        { "random bytes",      randomBytes, SIZE_MAX },
        { "truncated blob",    truncated,   SIZE_MAX },
        { "wrong magic number", wrongMagic, SIZE_MAX },
        { "stream fails late", otherBlob,   otherBlob.size() - 5 },
        { "stream fails at once", otherBlob, 0 },
    };

    for (auto& c : cases)
    {
        ClapTestInputStream stream (c.bytes, 4096, c.failAt);
        state().load (host.plugin(), stream.get());
        EXPECT_EQ (allValues (host), before) << c.what;
    }

    // A stream that goes on far beyond any state of ours is refused before it eats the host's memory.
    const std::vector<uint8_t> endless ((size_t (16) << 20) + 1, 0x2a);
    ClapTestInputStream endlessStream (endless, 4096);
    EXPECT_FALSE (state().load (host.plugin(), endlessStream.get()));
    EXPECT_LE (endlessStream.requestedSizes.size(), (size_t (16) << 20) / 4096 + 1);
    EXPECT_EQ (allValues (host), before);

    ClapTestOutputStream refusing (SIZE_MAX, 0);
    EXPECT_FALSE (state().save (host.plugin(), refusing.get()));
}

//==============================================================================
TEST_F (ClapPlugin, LatencyAndTailAreZeroAndRenderModeIsAccepted)
{
    const auto& latency = *host.extension<clap_plugin_latency_t> (CLAP_EXT_LATENCY);
    const auto& tail = *host.extension<clap_plugin_tail_t> (CLAP_EXT_TAIL);
    const auto& render = *host.extension<clap_plugin_render_t> (CLAP_EXT_RENDER);

    setFromHost ({ { ParameterIds::resonance, 1.0 }, { ParameterIds::oversampling, 1.0 } });
    ASSERT_TRUE (host.plugin()->activate (host.plugin(), 48000.0, 1, 256));
    EXPECT_EQ (latency.get (host.plugin()), 0u);
    EXPECT_EQ (tail.get (host.plugin()), 0u);
    EXPECT_FALSE (render.has_hard_realtime_requirement (host.plugin()));
    EXPECT_TRUE (render.set (host.plugin(), CLAP_RENDER_OFFLINE));
    EXPECT_TRUE (render.set (host.plugin(), CLAP_RENDER_REALTIME));
    EXPECT_FALSE (render.set (host.plugin(), 7));
    host.plugin()->deactivate (host.plugin());
}

//==============================================================================
TEST_F (ClapPlugin, MisbehaviourIsLoggedAndSurvived)
{
    auto* plugin = host.plugin();
    host.takeLog();

    // Main-thread calls from another thread, audio-thread calls from the main thread.
    host.runOnAudioThread ([&] { EXPECT_TRUE (plugin->activate (plugin, 44100.0, 1, 128)); });
    EXPECT_TRUE (plugin->start_processing (plugin));
    EXPECT_FALSE (plugin->activate (plugin, 44100.0, 1, 128)); // already active

    // Deactivation without stop_processing, as some hosts do, and reactivation afterwards.
    plugin->deactivate (plugin);
    plugin->deactivate (plugin);

    clap_process_t context {};
    context.frames_count = 16;
    EXPECT_EQ (plugin->process (plugin, &context), CLAP_PROCESS_ERROR); // not active
    EXPECT_FALSE (plugin->activate (plugin, 0.0, 1, 128));
    EXPECT_FALSE (plugin->activate (plugin, 44100.0, 1, 0));
    EXPECT_TRUE (plugin->activate (plugin, 44100.0, 1, 128));
    EXPECT_EQ (plugin->process (plugin, nullptr), CLAP_PROCESS_ERROR);
    EXPECT_EQ (plugin->process (plugin, &context), CLAP_PROCESS_CONTINUE); // no buffers at all
    plugin->deactivate (plugin);

    const auto log = host.takeLog();
    const auto logged = [&] (const std::string& text)
    {
        for (auto& entry : log)
            if (entry.severity == CLAP_LOG_HOST_MISBEHAVING && entry.message.find (text) != std::string::npos)
                return true;

        return false;
    };

    EXPECT_TRUE (logged ("clap_plugin.activate must be called on the main thread"));
    EXPECT_TRUE (logged ("clap_plugin.start_processing must be called on the audio thread"));
    EXPECT_TRUE (logged ("activate called while the plug-in is active"));
    EXPECT_TRUE (logged ("deactivate called before clap_plugin.stop_processing"));
    EXPECT_TRUE (logged ("deactivate called while the plug-in is not active"));
    EXPECT_TRUE (logged ("process called while the plug-in is not active"));
    EXPECT_TRUE (logged ("unusable sample rate or block size"));
    EXPECT_TRUE (logged ("clap_plugin.process must be called on the audio thread"));

    for (auto& entry : log)
        EXPECT_EQ (entry.severity, CLAP_LOG_HOST_MISBEHAVING) << entry.message;
}

TEST_F (ClapPlugin, RefusesSampleRatesItCannotFilterAndNeverGivesNaN)
{
    struct Case { double sampleRate; bool accepted; };

    const Case cases[] = {
        { 1.0e308, false }, { std::numeric_limits<double>::infinity(), false },
        { std::numeric_limits<double>::quiet_NaN(), false }, { -48000.0, false }, { 0.0, false },
        { 1.0e-300, false }, { 999.0, false }, { 4.1e6, false },
        { 1000.0, true }, { 8000.0, true }, { 44100.0, true }, { 192000.0, true }, { 768000.0, true }, { 4.0e6, true },
    };

    setFromHost ({ { ParameterIds::resonance, 1.0 }, { ParameterIds::drive, 1.0 }, { ParameterIds::oversampling, 1.0 } });
    auto* plugin = host.plugin();

    for (auto& c : cases)
    {
        for (auto oversampling : { 0.0, 1.0 })
        {
            setFromHost ({ { ParameterIds::oversampling, oversampling } });
            host.takeLog();
            ASSERT_EQ (plugin->activate (plugin, c.sampleRate, 1, 512), c.accepted) << c.sampleRate;

            if (! c.accepted)
            {
                const auto log = host.takeLog();
                ASSERT_EQ (log.size(), 1u) << c.sampleRate;
                EXPECT_NE (log.front().message.find ("unusable sample rate"), std::string::npos) << log.front().message;
                continue;
            }

            host.runOnAudioThread ([&] { EXPECT_TRUE (plugin->start_processing (plugin)); });
            std::vector<float> left (512), right (512);
            juce::Random random (3);
            size_t nonFinite = 0;

            for (int block = 0; block < 8; ++block)
            {
                for (size_t i = 0; i < left.size(); ++i)
                {
                    left[i] = random.nextFloat() * 2.0f - 1.0f;
                    right[i] = block == 0 && i == 0 ? 1.0f : 0.0f;
                }

                float* channels[] = { left.data(), right.data() };
                clap_audio_buffer_t buffer { channels, nullptr, 2, 0, 0 };
                ClapTestEventList events;
                auto context = ClapTestHost::processContext (buffer, buffer, 512, events.input(), events.output());
                host.runOnAudioThread ([&] { EXPECT_EQ (plugin->process (plugin, &context), CLAP_PROCESS_CONTINUE); });

                for (size_t i = 0; i < left.size(); ++i)
                    nonFinite += (std::isfinite (left[i]) ? 0u : 1u) + (std::isfinite (right[i]) ? 0u : 1u);
            }

            EXPECT_EQ (nonFinite, 0u) << c.sampleRate << " Hz, oversampling " << oversampling;
            host.runOnAudioThread ([&] { plugin->stop_processing (plugin); });
            plugin->deactivate (plugin);
            EXPECT_TRUE (host.takeLog().empty());
        }
    }
}

TEST (ClapPluginBeforeInit, EveryCallIsLoggedAndSurvived)
{
    ClapTestLibrary library { TESSALINE_CLAP_PATH };
    ClapTestHost host { library };
    ASSERT_TRUE (host.instantiatePlugin());
    auto* plugin = host.plugin();

    // Looked up before init, as a careless host would (itself a call before init).
    ::testing::internal::CaptureStderr();
    const auto* params = static_cast<const clap_plugin_params_t*> (plugin->get_extension (plugin, CLAP_EXT_PARAMS));
    const auto* state = static_cast<const clap_plugin_state_t*> (plugin->get_extension (plugin, CLAP_EXT_STATE));
    const auto* gui = static_cast<const clap_plugin_gui_t*> (plugin->get_extension (plugin, CLAP_EXT_GUI));
    const auto* ports = static_cast<const clap_plugin_audio_ports_t*> (plugin->get_extension (plugin, CLAP_EXT_AUDIO_PORTS));
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE (params != nullptr && state != nullptr && gui != nullptr && ports != nullptr);

    struct Case { const char* call; std::function<void()> make; };

    const Case cases[] = {
        { "clap_plugin.get_extension",      [&] { plugin->get_extension (plugin, CLAP_EXT_LATENCY); } },
        { "clap_plugin.activate",           [&] { plugin->activate (plugin, 48000.0, 1, 64); } },
        { "clap_plugin.process",            [&] { clap_process_t context {}; plugin->process (plugin, &context); } },
        { "clap_plugin.deactivate",         [&] { plugin->deactivate (plugin); } },
        { "clap_plugin_params.count",       [&] { params->count (plugin); } },
        { "clap_plugin_params.get_value",   [&] { double value; params->get_value (plugin, 1, &value); } },
        { "clap_plugin_params.flush",       [&] { params->flush (plugin, nullptr, nullptr); } },
        { "clap_plugin_state.save",         [&] { ClapTestOutputStream stream; state->save (plugin, stream.get()); } },
        { "clap_plugin_gui.is_api_supported", [&] { gui->is_api_supported (plugin, CLAP_WINDOW_API_X11, false); } },
        { "clap_plugin_gui.get_size",       [&] { uint32_t w, h; gui->get_size (plugin, &w, &h); } },
        { "clap_plugin_audio_ports.count",  [&] { ports->count (plugin, true); } },
    };

    for (auto& c : cases)
    {
        ::testing::internal::CaptureStderr();
        c.make();
        const auto errors = ::testing::internal::GetCapturedStderr();
        EXPECT_NE (errors.find ("Host is required to call clap_plugin.init() first (" + std::string (c.call) + ")"),
                   std::string::npos) << c.call << " logged: " << errors;
    }

    // Once initialised, the same calls are quiet.
    ASSERT_TRUE (host.initialisePlugin());
    host.takeLog();
    ::testing::internal::CaptureStderr();
    params->count (plugin);
    gui->is_api_supported (plugin, CLAP_WINDOW_API_X11, false);
    EXPECT_EQ (::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE (host.takeLog().empty());
}

TEST (ClapPluginWithoutHostLog, MisbehaviourGoesToTheErrorStream)
{
    ClapTestLibrary library { TESSALINE_CLAP_PATH };
    ClapTestHost::Offers offers;
    offers.log = false;
    ClapTestHost host { library, offers };

    const auto& factory = *library.getFactory();
    auto* plugin = factory.create_plugin (&factory, host.clapHost(), tessalineId);
    ASSERT_NE (plugin, nullptr);

    ::testing::internal::CaptureStderr();
    plugin->activate (plugin, 44100.0, 1, 64); // before init
    plugin->deactivate (plugin);
    plugin->get_extension (nullptr, CLAP_EXT_PARAMS);
    clap_plugin_t detached = *plugin;
    detached.plugin_data = nullptr;
    const auto* params = static_cast<const clap_plugin_params_t*> (plugin->get_extension (plugin, CLAP_EXT_PARAMS));
    EXPECT_EQ (params->count (&detached), 0u);
    const auto errors = ::testing::internal::GetCapturedStderr();

    EXPECT_NE (errors.find ("Host is required to call clap_plugin.init() first"), std::string::npos) << errors;
    EXPECT_NE (errors.find ("called with a null clap_plugin pointer!\n"), std::string::npos) << errors;
    EXPECT_NE (errors.find ("called with a null clap_plugin->plugin_data pointer! The host must never change this pointer!\n"),
               std::string::npos) << errors;

    plugin->destroy (plugin);
}

TEST (ClapPluginWithoutHostTimers, WarnsThatTheEditorCannotUpdate)
{
    ClapTestLibrary library { TESSALINE_CLAP_PATH };
    ClapTestHost::Offers offers;
    offers.timerSupport = false;
    ClapTestHost host { library, offers };
    ASSERT_TRUE (host.createPlugin());

    const auto log = host.takeLog();
    ASSERT_EQ (log.size(), 1u);
    EXPECT_EQ (log.front().severity, CLAP_LOG_WARNING);
    EXPECT_NE (log.front().message.find ("timer-support"), std::string::npos) << log.front().message;
}

TEST (ClapPluginTrackInfo, IsReadFromTheHostAtInitAndOnChange)
{
    ClapTestLibrary library { TESSALINE_CLAP_PATH };
    ClapTestHost::Offers offers;
    offers.trackInfo = true;
    ClapTestHost host { library, offers };
    ASSERT_TRUE (host.createPlugin());
    EXPECT_EQ (host.trackInfoQueries, 1);

    for (auto* id : { CLAP_EXT_TRACK_INFO, CLAP_EXT_TRACK_INFO_COMPAT })
    {
        host.extension<clap_plugin_track_info_t> (id)->changed (host.plugin());
        host.extension<clap_plugin_track_info_t> (id)->changed (host.plugin());
    }

    EXPECT_EQ (host.trackInfoQueries, 5);
    EXPECT_TRUE (host.takeLog().empty());
}

//==============================================================================
namespace
{
    /** An instance of the test-hooks build, whose private extension edits parameters the way
        the editor does. */
    struct ClapPluginEditorEdits : public ::testing::Test
    {
        void SetUp() override
        {
            ASSERT_TRUE (library.isLoaded()) << library.getError();
            ASSERT_TRUE (host.createPlugin());
            plugin = host.plugin();
            hooks = host.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);
            params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
            ASSERT_TRUE (hooks != nullptr && params != nullptr);
        }

        ClapTestLibrary library { TESSALINE_CLAP_TEST_HOOKS_PATH };
        ClapTestHost host { library };
        const clap_plugin_t* plugin = nullptr;
        const tessaline_clap_test_hooks_t* hooks = nullptr;
        const clap_plugin_params_t* params = nullptr;
    };
}

TEST_F (ClapPluginEditorEdits, ReachTheHostWithGesturesThroughFlushOrProcess)
{
    const auto modeId = idOf (ParameterIds::mode);
    const std::vector<ClapTestEventList::Event> expected {
        { CLAP_EVENT_PARAM_GESTURE_BEGIN, modeId, 0.0 },
        { CLAP_EVENT_PARAM_VALUE, modeId, 0.5 },
        { CLAP_EVENT_PARAM_GESTURE_END, modeId, 0.0 },
    };

    // Inactive: the edit asks for a flush, and the flush carries it.
    ASSERT_TRUE (hooks->edit_parameter (plugin, 4, 0.5));
    EXPECT_GE (host.flushRequests, 1);

    ClapTestEventList events;
    events.refusePushes = true; // a full host queue keeps the edit for later
    params->flush (plugin, nullptr, events.output());
    events.refusePushes = false;
    params->flush (plugin, nullptr, events.output());
    EXPECT_EQ (events.pushed, expected);

    params->flush (plugin, nullptr, events.output());
    EXPECT_EQ (events.pushed.size(), expected.size()); // nothing twice

    // Processing: the next block carries the edit.
    ASSERT_TRUE (plugin->activate (plugin, 44100.0, 1, 64));
    host.runOnAudioThread ([&] { plugin->start_processing (plugin); });
    ASSERT_TRUE (hooks->edit_parameter (plugin, 4, 0.5));

    std::vector<float> left (64, 0.1f), right (64, -0.1f);
    float* channels[] = { left.data(), right.data() };
    clap_audio_buffer_t buffer { channels, nullptr, 2, 0, 0 };
    ClapTestEventList input, output;
    auto context = ClapTestHost::processContext (buffer, buffer, 64, input.input(), output.output());

    host.runOnAudioThread ([&] { EXPECT_EQ (plugin->process (plugin, &context), CLAP_PROCESS_CONTINUE); });
    EXPECT_EQ (output.pushed, expected);

    host.runOnAudioThread ([&] { plugin->stop_processing (plugin); });
    plugin->deactivate (plugin);
    EXPECT_TRUE (host.takeLog().empty());
}

TEST_F (ClapPluginEditorEdits, KeepGesturesWholeWhenTheHostStopsFlushing)
{

    // Far more drags than the edit queue holds, of a length that never fills it evenly, while
    // the host ignores the flush requests; then drags after the host flushed again.
    const auto parameterCount = (uint32_t) std::size (expectedParameters);
    ClapTestEventList events;

    for (uint32_t drag = 0; drag < 600; ++drag)
        ASSERT_TRUE (hooks->drag_parameter (plugin, drag % parameterCount, 2 + drag % 3));

    params->flush (plugin, nullptr, events.output());
    const auto deliveredWhileFull = events.pushed.size();

    for (uint32_t drag = 0; drag < parameterCount; ++drag)
        ASSERT_TRUE (hooks->drag_parameter (plugin, drag, 3));

    params->flush (plugin, nullptr, events.output());
    EXPECT_GT (deliveredWhileFull, 900u);
    EXPECT_EQ (events.pushed.size(), deliveredWhileFull + parameterCount * 5);

    std::map<clap_id, bool> open;
    int gestures = 0;

    for (auto& event : events.pushed)
    {
        if (event.type == CLAP_EVENT_PARAM_GESTURE_BEGIN)
        {
            EXPECT_FALSE (open[event.id]) << "gesture begun twice";
            open[event.id] = true;
            ++gestures;
        }
        else if (event.type == CLAP_EVENT_PARAM_GESTURE_END)
        {
            EXPECT_TRUE (open[event.id]) << "gesture ended without a begin";
            open[event.id] = false;
        }
    }

    for (auto [id, isOpen] : open)
        EXPECT_FALSE (isOpen) << "the host was left with an open gesture on " << id;

    EXPECT_GT (gestures, 200);
    EXPECT_TRUE (host.takeLog().empty());
}

TEST_F (ClapPluginEditorEdits, AnExceptionInsideAnEntryPointBecomesALoggedFailure)
{
    host.takeLog();
    EXPECT_FALSE (hooks->throw_from_inside (plugin));

    const auto log = host.takeLog();
    ASSERT_EQ (log.size(), 1u);
    EXPECT_EQ (log.front().severity, CLAP_LOG_ERROR);
    EXPECT_NE (log.front().message.find ("thrown on purpose"), std::string::npos) << log.front().message;

    // The instance goes on working.
    EXPECT_TRUE (hooks->edit_parameter (plugin, 0, 0.5));
    double value = -1.0;
    EXPECT_TRUE (params->get_value (plugin, idOf (ParameterIds::cutoff), &value));
    EXPECT_NEAR (value, 0.5, 1.0e-3);
}

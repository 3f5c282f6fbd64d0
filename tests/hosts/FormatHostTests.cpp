// The VST3 and LV2 builds as JUCE's own plug-in hosting classes see them: the parameters with
// their names and ids, audio against the processor driven directly, and the state carried from
// one instance to another. This program compiles JUCE with hosting on and does not link the
// shared code: the plug-ins carry their own copy, exactly as in a host.

#include "tests/hosts/TestSignal.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>

namespace
{
    struct ExpectedParameter
    {
        const char* identifier;
        const char* name;
        uint32_t clapId; // the ids the CLAP plug-in gives hosts, pinned in ClapPluginTests too
        float minimum, maximum;
        int numChoices; // 0 for a float parameter
    };

    const ExpectedParameter expectedParameters[] = {
        { "cutoff",       "Cutoff",        798419949u, 20.0f, 20000.0f, 0 },
        { "resonance",    "Resonance",     157452366u,  0.0f,  0.75f,   0 },
        { "drive",        "Drive",          95852938u,  1.0f,  10.0f,   0 },
        { "makeupGain",   "Makeup Gain",  1226400808u,  0.0f,  6.0f,    0 },
        { "mode",         "Filter Mode",     3357091u,  0.0f,  2.0f,    3 },
        { "slope",        "Filter Slope",  109532587u,  0.0f,  2.0f,    3 },
        { "oversampling", "Oversampling", 1420097723u,  0.0f,  1.0f,    2 },
    };

    const ExpectedParameter& expectedFor (const char* identifier)
    {
        for (auto& expected : expectedParameters)
            if (juce::String (expected.identifier) == identifier)
                return expected;

        return expectedParameters[0];
    }

    struct Format
    {
        const char* name;
        std::function<std::unique_ptr<juce::AudioPluginFormat>()> create;
        const char* location;        // the bundle or the folder searched for it
        const char* fileOrIdentifier; // what the format finds the plug-in by
        std::function<juce::String (const ExpectedParameter&)> hostId;
        bool keepsOrder;              // whether the host lists the parameters in the processor's order
        // A raw value (the parameter's own unit, a choice's index) as the host's normalised value.
        std::function<float (juce::AudioProcessorParameter&, const ExpectedParameter&, float raw)> normalise;
    };

    std::ostream& operator<< (std::ostream& stream, const Format& format) { return stream << format.name; }

    const Format formats[] = {
        { "VST3",
          [] { return std::make_unique<juce::VST3PluginFormat>(); },
          TESSALINE_VST3_PATH, TESSALINE_VST3_PATH,
          // the VST3 ids are the CLAP ids: automation written for one format reads in the other
          [] (const ExpectedParameter& p) { return juce::String (p.clapId); },
          true,
          // normalised as the processor normalises (the cutoff is skewed): its own text conversion
          [] (juce::AudioProcessorParameter& parameter, const ExpectedParameter& p, float raw)
          {
              return p.numChoices > 0 ? raw / (float) (p.numChoices - 1) : parameter.getValueForText (juce::String (raw));
          } },
        { "LV2",
          [] { return std::make_unique<juce::LV2PluginFormat>(); },
          TESSALINE_LV2_FOLDER, TESSALINE_LV2_URI,
          // JUCE's LV2 host names a property parameter "des:" and the property's URI
          [] (const ExpectedParameter& p) { return juce::String ("des:" TESSALINE_LV2_URI ":") + p.identifier; },
          false,
          // LV2 parameters carry their own units; the host spreads the range linearly over 0 to 1
          [] (juce::AudioProcessorParameter&, const ExpectedParameter& p, float raw)
          {
              return (raw - p.minimum) / (p.maximum - p.minimum);
          } },
    };

    class PluginFormat : public ::testing::TestWithParam<Format>
    {
    protected:
        void SetUp() override
        {
            format = GetParam().create();
            format->searchPathsForPlugins (juce::FileSearchPath (GetParam().location), true, false);
            format->findAllTypesForFile (descriptions, GetParam().fileOrIdentifier);
            ASSERT_EQ (descriptions.size(), 1);
        }

        std::unique_ptr<juce::AudioPluginInstance> createInstance()
        {
            juce::String error;
            auto instance = format->createInstanceFromDescription (*descriptions[0], TestSignal::sampleRate,
                                                                   TestSignal::blockSize, error);
            EXPECT_NE (instance, nullptr) << error;
            return instance;
        }

        static juce::HostedAudioProcessorParameter* find (juce::AudioPluginInstance& instance, const ExpectedParameter& expected)
        {
            for (int i = 0; i < instance.getParameters().size(); ++i)
                if (auto* parameter = instance.getHostedParameter (i); parameter->getParameterID() == GetParam().hostId (expected))
                    return parameter;

            return nullptr;
        }

        /** Sets raw values through the host; returns the same as identifier=value arguments. */
        static juce::StringArray setValues (juce::AudioPluginInstance& instance,
                                            std::initializer_list<std::pair<const char*, float>> values)
        {
            juce::StringArray assignments;

            for (auto [identifier, raw] : values)
            {
                auto& expected = expectedFor (identifier);

                if (auto* parameter = find (instance, expected))
                    parameter->setValueNotifyingHost (GetParam().normalise (*parameter, expected, raw));

                assignments.add (juce::String (identifier) + "=" + juce::String (raw, 6));
            }

            return assignments;
        }

        std::unique_ptr<juce::AudioPluginFormat> format;
        juce::OwnedArray<juce::PluginDescription> descriptions;
    };

    juce::AudioBuffer<float> render (juce::AudioPluginInstance& instance)
    {
        using namespace TestSignal;
        instance.setPlayConfigDetails (numChannels, numChannels, sampleRate, blockSize);
        instance.prepareToPlay (sampleRate, blockSize);

        juce::AudioBuffer<float> output (numChannels, blockSize * numBlocks);
        juce::AudioBuffer<float> block (numChannels, blockSize);
        juce::MidiBuffer midi;

        for (int b = 0; b < numBlocks; ++b)
        {
            for (int channel = 0; channel < numChannels; ++channel)
                for (int frame = 0; frame < blockSize; ++frame)
                    block.setSample (channel, frame, sample (channel, b * blockSize + frame));

            instance.processBlock (block, midi);

            for (int channel = 0; channel < numChannels; ++channel)
                output.copyFrom (channel, b * blockSize, block, channel, 0, blockSize);
        }

        instance.releaseResources();
        return output;
    }

    juce::AudioBuffer<float> renderReference (const juce::StringArray& assignments)
    {
        using namespace TestSignal;
        const auto file = juce::File::createTempFile (".f32");
        juce::StringArray command { TESSALINE_REFERENCE_RENDER, file.getFullPathName() };
        command.addArray (assignments);

        juce::ChildProcess child;
        juce::AudioBuffer<float> output (numChannels, blockSize * numBlocks);
        output.clear();

        if (child.start (command) && child.waitForProcessToFinish (60000) && child.getExitCode() == 0)
        {
            juce::MemoryBlock data;
            file.loadFileAsData (data);

            if (data.getSize() == sizeof (float) * (size_t) (numChannels * output.getNumSamples()))
                for (int channel = 0; channel < numChannels; ++channel)
                    output.copyFrom (channel, 0, static_cast<const float*> (data.getData()) + channel * output.getNumSamples(),
                                     output.getNumSamples());
        }

        file.deleteFile();
        return output;
    }

    double rmsOf (const juce::AudioBuffer<float>& buffer, int channel)
    {
        return (double) buffer.getRMSLevel (channel, 0, buffer.getNumSamples());
    }
}

TEST_P (PluginFormat, ShowsTheSevenParametersWithTheirNamesAndIds)
{
    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getName(), "Tessaline");
    EXPECT_TRUE (instance->hasEditor());

    const auto& parameters = instance->getParameters();

    for (size_t i = 0; i < std::size (expectedParameters); ++i)
    {
        const auto& expected = expectedParameters[i];
        auto* parameter = find (*instance, expected);
        ASSERT_NE (parameter, nullptr) << GetParam() << " has no parameter " << GetParam().hostId (expected);
        EXPECT_EQ (parameter->getName (64), expected.name);
        EXPECT_TRUE (parameter->isAutomatable()) << expected.identifier;

        if (GetParam().keepsOrder)
        {
            EXPECT_EQ (parameter->getParameterIndex(), (int) i) << expected.identifier;
        }
    }

    // Only the bypass that VST3 asks of every plug-in (and LV2 hosts make of lv2:enabled) comes on top.
    ASSERT_EQ (parameters.size(), 8);

    for (int i = 0; i < parameters.size(); ++i)
    {
        auto* parameter = instance->getHostedParameter (i);
        const auto ours = std::any_of (std::begin (expectedParameters), std::end (expectedParameters),
                                       [&] (auto& p) { return parameter->getParameterID() == GetParam().hostId (p); });
        EXPECT_TRUE (ours || parameter->getName (64) == "Bypass") << parameter->getName (64);
    }

    // The host's value text comes from the plug-in: 1000 Hz where the host put the cutoff there.
    auto* cutoff = find (*instance, expectedFor ("cutoff"));
    cutoff->setValueNotifyingHost (GetParam().normalise (*cutoff, expectedFor ("cutoff"), 1000.0f));
    EXPECT_TRUE (cutoff->getCurrentValueAsText().startsWith ("1000")) << cutoff->getCurrentValueAsText();
}

TEST_P (PluginFormat, ProcessesAudioAsTheProcessorDrivenDirectly)
{
    struct Case
    {
        const char* what;
        std::initializer_list<std::pair<const char*, float>> values;
    };

    const Case cases[] = {
        { "defaults",                         {} },
        { "low-pass 24 dB at 500 Hz, ringing", { { "cutoff", 500.0f }, { "resonance", 0.6f } } },
        { "high-pass 18 dB, driven, no 2x",    { { "cutoff", 300.0f }, { "mode", 1.0f }, { "slope", 1.0f }, { "drive", 4.0f }, { "oversampling", 0.0f } } },
        { "band-pass 6 dB with makeup gain",   { { "cutoff", 800.0f }, { "mode", 2.0f }, { "slope", 0.0f }, { "makeupGain", 6.0f } } },
    };

    for (auto& c : cases)
    {
        auto instance = createInstance();
        ASSERT_NE (instance, nullptr);
        const auto assignments = setValues (*instance, c.values);

        const auto hosted = render (*instance);
        const auto direct = renderReference (assignments);

        for (int channel = 0; channel < TestSignal::numChannels; ++channel)
        {
            ASSERT_GT (rmsOf (direct, channel), 1.0e-3) << c.what << ": the reference rendered nothing";

            auto difference = hosted;
            difference.addFrom (channel, 0, direct, channel, 0, direct.getNumSamples(), -1.0f);
            const auto errorDb = 20.0 * std::log10 (rmsOf (difference, channel) / rmsOf (direct, channel) + 1.0e-12);
            std::cout << "# " << GetParam() << ", " << c.what << ", channel " << channel << ": error " << errorDb << " dB\n";
            EXPECT_LT (errorDb, -100.0) << GetParam() << ", " << c.what << ", channel " << channel
                                        << ": the hosted output differs from the direct one by " << errorDb << " dB";
        }
    }
}

TEST_P (PluginFormat, CarriesTheStateToANewInstance)
{
    auto first = createInstance();
    ASSERT_NE (first, nullptr);
    setValues (*first, { { "cutoff", 250.0f }, { "resonance", 0.5f }, { "drive", 7.5f }, { "makeupGain", 3.0f },
                         { "mode", 2.0f }, { "slope", 1.0f }, { "oversampling", 0.0f } });
    // An LV2 plug-in takes the host's values with the next block: let them arrive first.
    const auto a = render (*first);
    juce::MemoryBlock state;
    first->getStateInformation (state);
    ASSERT_GT (state.getSize(), 0u);

    auto second = createInstance();
    ASSERT_NE (second, nullptr);
    second->setStateInformation (state.getData(), (int) state.getSize());

    // What the host sees and what the audio does: the second instance renders as the first.
    const auto b = render (*second);

    for (auto& expected : expectedParameters)
        EXPECT_NEAR (find (*second, expected)->getValue(), find (*first, expected)->getValue(), 1.0e-3)
            << GetParam() << ", " << expected.identifier;

    auto difference = a;
    difference.addFrom (0, 0, b, 0, 0, b.getNumSamples(), -1.0f);
    EXPECT_LT (rmsOf (difference, 0), 1.0e-6 * rmsOf (a, 0) + 1.0e-9) << GetParam();
}

INSTANTIATE_TEST_SUITE_P (Builds, PluginFormat, ::testing::ValuesIn (formats),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

#include "processor/ParameterIds.h"
#include "processor/TessalineAudioProcessor.h"

#include <gtest/gtest.h>

namespace
{
    struct ParameterCase
    {
        const char* id;
        const char* name;
        float minimum, maximum, interval, defaultValue;
        juce::StringArray choices;
    };

    const ParameterCase expectedParameters[] = {
        { "cutoff",       "Cutoff",       20.0f, 20000.0f, 0.1f,  20000.0f, {} },
        { "resonance",    "Resonance",    0.0f,  0.75f,    0.01f, 0.0f,     {} },
        { "drive",        "Drive",        1.0f,  10.0f,    0.01f, 1.0f,     {} },
        { "makeupGain",   "Makeup Gain",  0.0f,  6.0f,     0.01f, 0.0f,     {} },
        { "mode",         "Filter Mode",  0.0f,  2.0f,     1.0f,  0.0f,     { "LowPass", "HighPass", "BandPass" } },
        { "slope",        "Filter Slope", 0.0f,  2.0f,     1.0f,  2.0f,     { "6 dB/oct", "18 dB/oct", "24 dB/oct" } },
        { "oversampling", "Oversampling", 0.0f,  1.0f,     1.0f,  1.0f,     { "Off", "2x" } },
    };

    struct ProcessorParameters : public ::testing::Test
    {
        juce::RangedAudioParameter& parameter (const char* id)   { return *processor.apvts.getParameter (id); }

        float rawAfterSettingNormalised (const char* id, float normalised)
        {
            parameter (id).setValueNotifyingHost (normalised);
            return processor.apvts.getRawParameterValue (id)->load();
        }

        float snappedRaw (const char* id, float value)
        {
            return rawAfterSettingNormalised (id, parameter (id).convertTo0to1 (value));
        }

        TessalineAudioProcessor processor;
    };
}

TEST_F (ProcessorParameters, HostSeesTheSevenParametersInOrderWithTheirRangesAndDefaults)
{
    const auto& hostParameters = processor.getParameters();
    ASSERT_EQ (hostParameters.size(), 7);

    for (int index = 0; index < 7; ++index)
    {
        const auto& expected = expectedParameters[index];
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (hostParameters[index]);
        ASSERT_NE (ranged, nullptr);
        SCOPED_TRACE (expected.id);

        EXPECT_EQ (ranged->getParameterID(), expected.id);
        EXPECT_EQ (ranged->getName (100), expected.name);
        EXPECT_EQ (ranged->getVersionHint(), ParameterIds::versionHint);
        EXPECT_EQ (ranged->getLabel(), "");
        EXPECT_TRUE (ranged->isAutomatable());
        EXPECT_FALSE (ranged->isMetaParameter());
        EXPECT_EQ (ranged->getNormalisableRange().start, expected.minimum);
        EXPECT_EQ (ranged->getNormalisableRange().end, expected.maximum);
        EXPECT_FLOAT_EQ (ranged->getNormalisableRange().interval, expected.interval);
        EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue (expected.id)->load(), expected.defaultValue);

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (ranged))
            EXPECT_EQ (choice->choices, expected.choices);
        else
            EXPECT_TRUE (expected.choices.isEmpty());
    }
}

TEST_F (ProcessorParameters, CutoffIsSkewedAroundOneKilohertz)
{
    EXPECT_NEAR (parameter ("cutoff").getNormalisableRange().skew, 0.2299045f, 1.0e-6f);

    struct SkewCase { float normalised, hz, tolerance; };

    for (const auto& c : { SkewCase { 0.0f, 20.0f, 0.0f }, SkewCase { 0.5f, 1000.0f, 0.05f }, SkewCase { 1.0f, 20000.0f, 0.0f },
                           SkewCase { 0.25f, 68.0f, 0.5f }, SkewCase { 0.75f, 5737.0f, 1.0f } })
        EXPECT_NEAR (rawAfterSettingNormalised ("cutoff", c.normalised), c.hz, c.tolerance) << "normalised " << c.normalised;

    EXPECT_NEAR (parameter ("cutoff").convertTo0to1 (100.0f), 0.281f, 0.001f);
    EXPECT_NEAR (parameter ("cutoff").convertTo0to1 (5000.0f), 0.727f, 0.001f);
}

TEST_F (ProcessorParameters, ValuesSnapToTheirStepsAndStayInRange)
{
    EXPECT_FLOAT_EQ (snappedRaw ("drive", 2.344f), 2.34f);
    EXPECT_FLOAT_EQ (snappedRaw ("cutoff", 440.06f), 440.1f);
    EXPECT_FLOAT_EQ (rawAfterSettingNormalised ("resonance", 1.0f), 0.75f);
    EXPECT_FLOAT_EQ (rawAfterSettingNormalised ("slope", 0.5f), 1.0f);
    EXPECT_FLOAT_EQ (rawAfterSettingNormalised ("oversampling", 0.0f), 0.0f);
    EXPECT_FLOAT_EQ (rawAfterSettingNormalised ("oversampling", 1.0f), 1.0f);
}

TEST_F (ProcessorParameters, TextConversionsUseTheParametersOwnFormats)
{
    EXPECT_EQ (parameter ("cutoff").getText (parameter ("cutoff").convertTo0to1 (440.1f), 100), "440.1");
    EXPECT_EQ (parameter ("drive").getText (parameter ("drive").convertTo0to1 (2.5f), 100), "2.50");
    EXPECT_EQ (parameter ("slope").getText (0.5f, 100), "18 dB/oct");
    EXPECT_EQ (parameter ("mode").getText (1.0f, 100), "BandPass");
    EXPECT_FLOAT_EQ (parameter ("mode").getValueForText ("HighPass"), 0.5f);
    EXPECT_NEAR (parameter ("cutoff").convertFrom0to1 (parameter ("cutoff").getValueForText ("1000")), 1000.0f, 0.05f);
}

#include "processor/DecimalText.h"
#include "processor/ParameterIds.h"
#include "tests/ProcessorTestTools.h"
#include "tests/SignalTools.h"

#include <gtest/gtest.h>

using namespace ProcessorTestTools;

namespace
{
    juce::MemoryBlock stateOf (TessalineAudioProcessor& processor)
    {
        juce::MemoryBlock block;
        processor.getStateInformation (block);
        return block;
    }

    std::map<juce::String, float> allRawValues (TessalineAudioProcessor& processor)
    {
        std::map<juce::String, float> values;

        for (auto* parameter : processor.getParameters())
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter))
                values[ranged->getParameterID()] = raw (processor, ranged->getParameterID().toRawUTF8());

        return values;
    }

    void setNonDefaults (TessalineAudioProcessor& processor)
    {
        setRaw (processor, "cutoff", 440.1f);
        setRaw (processor, "resonance", 0.42f);
        setRaw (processor, "drive", 3.5f);
        setRaw (processor, "makeupGain", 2.25f);
        setRaw (processor, "mode", 2.0f);
        setRaw (processor, "slope", 1.0f);
        setRaw (processor, "oversampling", 0.0f);
    }

    juce::MemoryBlock blobFromXml (const juce::String& xmlText)
    {
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (xmlText), block);
        return block;
    }
}

//==============================================================================
TEST (TessalineAudioProcessor, AcceptsOnlyMatchingMonoOrStereoLayouts)
{
    using Set = juce::AudioChannelSet;
    struct LayoutCase { Set input, output; bool accepted; };

    const LayoutCase cases[] = {
        { Set::mono(),   Set::mono(),   true },
        { Set::stereo(), Set::stereo(), true },
        { Set::mono(),   Set::stereo(), false },
        { Set::stereo(), Set::mono(),   false },
        { Set::disabled(), Set::stereo(), false },
        { Set::create5point1(), Set::create5point1(), false },
        { Set::quadraphonic(), Set::quadraphonic(), false },
    };

    TessalineAudioProcessor processor;

    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.input);
        layout.outputBuses.add (c.output);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.accepted)
            << c.input.getDescription() << " -> " << c.output.getDescription();
    }
}

TEST (TessalineAudioProcessor, DeclaresStereoInputAndOutputBusesAndNoMidi)
{
    TessalineAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "Tessaline");
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getChannelLayoutOfBus (true, 0), juce::AudioChannelSet::stereo());
    EXPECT_EQ (processor.getChannelLayoutOfBus (false, 0), juce::AudioChannelSet::stereo());
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
}

TEST (TessalineAudioProcessor, ReportsNoTailNoLatencyAndOneUnnamedProgram)
{
    TessalineAudioProcessor processor;
    setRaw (processor, "resonance", 0.75f);
    setRaw (processor, "oversampling", 1.0f);
    prepare (processor, 48000.0, 512);

    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor.getLatencySamples(), 0);
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    processor.setCurrentProgram (3);
    processor.changeProgramName (0, "Renamed");
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "");
}

TEST (TessalineAudioProcessor, ClampsTheCutoffToTheHostRate)
{
    struct RateCase { double sampleRate; float expectedCutoff; };

    for (const auto& c : { RateCase { 32000.0, 15680.0f }, RateCase { 44100.0, 20000.0f } })
    {
        TessalineAudioProcessor processor;
        prepare (processor, c.sampleRate, 256);
        juce::AudioBuffer<float> buffer (2, 256);
        buffer.clear();
        processInBlocks (processor, buffer, 256);
        EXPECT_FLOAT_EQ (processor.engine.cutoffHz, c.expectedCutoff) << c.sampleRate;
    }
}

TEST (TessalineAudioProcessor, LowPassLevelsAreTheSameWithAndWithoutOversampling)
{
    for (const float oversampling : { 0.0f, 1.0f })
    {
        TessalineAudioProcessor processor;
        setRaw (processor, "cutoff", 1000.0f);
        setRaw (processor, "oversampling", oversampling);
        prepare (processor, 48000.0, 512);

        struct LevelCase { double frequency, expectedDb, tolerance; };

        for (const auto& c : { LevelCase { 125.0, -0.27, 0.15 }, LevelCase { 1000.0, -12.04, 0.4 }, LevelCase { 8000.0, -72.0, 6.0 } })
        {
            processor.releaseResources();
            const auto input = SignalTools::sine (c.frequency, 48000.0, 48000, 1.0e-3f);
            auto buffer = bufferFrom (input, 2);
            processInBlocks (processor, buffer, 512);

            for (int channel = 0; channel < 2; ++channel)
                EXPECT_NEAR (SignalTools::gainDb (input, channelOf (buffer, channel), c.frequency, 48000.0, 24000), c.expectedDb, c.tolerance)
                    << "oversampling " << oversampling << " at " << c.frequency << " Hz";
        }
    }
}

namespace
{
    /** A processor prepared at 48 kHz whose filter memory still rings from a loud 200 Hz block. */
    struct RingingProcessor
    {
        explicit RingingProcessor (float resonance = 0.0f)
        {
            setRaw (processor, "cutoff", 200.0f);
            setRaw (processor, "resonance", resonance);
            prepare (processor, 48000.0, 256);

            auto loud = bufferFrom (SignalTools::sine (200.0, 48000.0, 256, 0.9f), 2);
            processInBlocks (processor, loud, 256);
        }

        /** Peak of the next block when silence goes in: zero only if the memory was cleared. */
        float peakOfSilentBlock()
        {
            juce::AudioBuffer<float> silence (2, 256);
            silence.clear();
            processInBlocks (processor, silence, 256);
            return silence.getMagnitude (0, 256);
        }

        TessalineAudioProcessor processor;
    };
}

TEST (TessalineAudioProcessor, SwitchingOversamplingRestartsTheFilterFromZero)
{
    RingingProcessor ringing (0.7f);
    auto& processor = ringing.processor;
    ASSERT_NE (processor.engine.lastOutput[0], 0.0);

    setRaw (processor, "oversampling", 0.0f);
    setRaw (processor, "cutoff", 5000.0f);

    EXPECT_EQ (ringing.peakOfSilentBlock(), 0.0f);
    EXPECT_FALSE (processor.engine.oversamplingOn);
    EXPECT_EQ (processor.engine.smoothedCutoffHz, 5000.0);
}

TEST (TessalineAudioProcessor, ReleaseResourcesClearsTheFilterMemory)
{
    RingingProcessor ringing;
    ringing.processor.releaseResources();
    EXPECT_EQ (ringing.peakOfSilentBlock(), 0.0f);
}

TEST (TessalineAudioProcessor, ParameterChangesOtherThanOversamplingKeepTheFilterMemory)
{
    RingingProcessor ringing;
    setRaw (ringing.processor, "mode", 1.0f);
    setRaw (ringing.processor, "slope", 0.0f);
    setRaw (ringing.processor, "drive", 4.0f);
    EXPECT_GT (ringing.peakOfSilentBlock(), 0.0f);
}

TEST (TessalineAudioProcessor, NarrowerBuffersOnTheOversampledPathLeaveOtherChannelsAlone)
{
    // A host that sends fewer channels than were prepared (or none) must not run the
    // oversampler's leftover channels through the filter memory.
    for (const int channels : { 0, 1 })
    {
        RingingProcessor ringing;
        const auto secondChannelMemory = ringing.processor.engine.stage1[1];

        juce::AudioBuffer<float> narrow (channels, 256);
        narrow.clear();
        juce::MidiBuffer midi;
        ringing.processor.processBlock (narrow, midi);

        EXPECT_EQ (ringing.processor.engine.stage1[1], secondChannelMemory) << channels << " channels";
    }
}

//==============================================================================
TEST (TessalineAudioProcessor, StateBlobIsTheParameterTreeAndRestoresEveryValue)
{
    TessalineAudioProcessor source;
    setNonDefaults (source);
    const auto blob = stateOf (source);

    auto xml = juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PARAMETERS");
    EXPECT_EQ (xml->getNumChildElements(), 7);
    for (auto* child : xml->getChildIterator())
    {
        EXPECT_EQ (child->getTagName(), "PARAM");
        EXPECT_TRUE (child->hasAttribute ("id") && child->hasAttribute ("value"));
    }

    TessalineAudioProcessor destination;
    destination.setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_EQ (allRawValues (destination), allRawValues (source));
    EXPECT_EQ (stateOf (destination), blob);
}

TEST (TessalineAudioProcessor, StateRootNameIsComparedIgnoringCase)
{
    TessalineAudioProcessor processor;
    const auto blob = blobFromXml (R"(<parameters><PARAM id="drive" value="5.0"/></parameters>)");
    processor.setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_FLOAT_EQ (raw (processor, "drive"), 5.0f);

    // The next save still writes the tree's own root name.
    const auto saved = stateOf (processor);
    EXPECT_EQ (juce::AudioProcessor::getXmlFromBinary (saved.getData(), (int) saved.getSize())->getTagName(), "PARAMETERS");
}

TEST (TessalineAudioProcessor, UnusableStateBlobsChangeNoParameter)
{
    TessalineAudioProcessor reference;
    setNonDefaults (reference);
    const auto validBlob = stateOf (reference);

    std::vector<std::pair<const char*, juce::MemoryBlock>> blobs;
    blobs.emplace_back ("empty", juce::MemoryBlock());
    blobs.emplace_back ("foreign root", blobFromXml (R"(<PRESET><PARAM id="drive" value="5"/></PRESET>)"));
    blobs.emplace_back ("foreign root, lower case", blobFromXml (R"(<preset><PARAM id="drive" value="5"/></preset>)"));
    blobs.emplace_back ("near miss root", blobFromXml (R"(<PARAMETER><PARAM id="drive" value="5"/></PARAMETER>)"));
    blobs.emplace_back ("truncated", juce::MemoryBlock (validBlob.getData(), validBlob.getSize() / 2));
    blobs.emplace_back ("plain xml text", juce::MemoryBlock ("<PARAMETERS/>", 13));

    juce::Random random (7);
    for (int i = 0; i < 300; ++i)
    {
        juce::MemoryBlock noise ((size_t) random.nextInt (200));
        random.fillBitsRandomly (noise.getData(), noise.getSize());

        // Every third blob carries the binary XML magic number and a plausible length.
        if (i % 3 == 0 && noise.getSize() >= 8)
        {
            juce::MemoryBlock headed (validBlob.getData(), 8);
            headed.append (static_cast<const char*> (noise.getData()) + 8, noise.getSize() - 8);
            noise = headed;
        }

        blobs.emplace_back ("random bytes", noise);
    }

    for (const auto& [name, blob] : blobs)
    {
        TessalineAudioProcessor processor;
        setNonDefaults (processor);
        processor.setStateInformation (blob.getData(), (int) blob.getSize());
        ASSERT_EQ (allRawValues (processor), allRawValues (reference)) << name;
    }

    TessalineAudioProcessor processor;
    processor.setStateInformation (nullptr, 0);
    processor.setStateInformation (validBlob.getData(), -5);
}

TEST (TessalineAudioProcessor, NonsenseValuesInsideAValidTreeStillGiveFiniteAudio)
{
    for (const char* value : { "nan", "inf", "-inf", "1e30", "-1e30", "abc", "" })
    {
        TessalineAudioProcessor processor;
        const auto xml = juce::String (R"(<PARAMETERS>)")
                       + R"(<PARAM id="cutoff" value=")" + value + R"("/><PARAM id="resonance" value=")" + value + R"("/>)"
                       + R"(<PARAM id="drive" value=")" + value + R"("/><PARAM id="mode" value=")" + value + R"("/>)"
                       + R"(<PARAM id="slope" value=")" + value + R"("/><PARAM id="oversampling" value=")" + value + R"("/>)"
                       + R"(</PARAMETERS>)";
        const auto blob = blobFromXml (xml);
        processor.setStateInformation (blob.getData(), (int) blob.getSize());

        prepare (processor, 48000.0, 128);
        auto buffer = bufferFrom (SignalTools::sine (440.0, 48000.0, 1024, 0.5f), 2);
        processInBlocks (processor, buffer, 128);
        EXPECT_TRUE (SignalTools::allFinite (buffer.getReadPointer (0), 1024)) << value;
    }
}

//==============================================================================
TEST (TessalineAudioProcessor, ProcessesBeforePrepareAtTheAssumedRate)
{
    TessalineAudioProcessor processor;
    setRaw (processor, "cutoff", 1000.0f);
    const auto input = SignalTools::sine (1000.0, 44100.0, 44100, 1.0e-3f);
    auto buffer = bufferFrom (input, 2);
    processInBlocks (processor, buffer, 512);

    EXPECT_EQ (processor.engine.oversampler, nullptr);
    EXPECT_NEAR (SignalTools::gainDb (input, channelOf (buffer, 1), 1000.0, 44100.0, 22050), -12.04, 0.05);
}

TEST (TessalineAudioProcessor, SurvivesOddRatesBlockSizesAndChannelCounts)
{
    for (const double sampleRate : { 8000.0, 11025.0, 22050.0, 44100.0, 88200.0, 192000.0, 384000.0 })
        for (const int channels : { 1, 2 })
            for (const int blockSize : { 1, 7, 511 })
            {
                TessalineAudioProcessor processor;
                setRaw (processor, "resonance", 0.75f);
                setRaw (processor, "cutoff", 20000.0f);
                prepare (processor, sampleRate, blockSize, channels);

                auto buffer = bufferFrom (SignalTools::sine (997.0, sampleRate, 2048, 0.8f), channels);
                processInBlocks (processor, buffer, blockSize);

                juce::AudioBuffer<float> empty (channels, 0);
                juce::MidiBuffer midi;
                processor.processBlock (empty, midi);

                for (int channel = 0; channel < channels; ++channel)
                    ASSERT_TRUE (SignalTools::allFinite (buffer.getReadPointer (channel), 2048))
                        << sampleRate << " Hz, " << channels << " channels, blocks of " << blockSize;
            }
}

TEST (TessalineAudioProcessor, BlocksLongerThanPreparedAreProcessedInPreparedPieces)
{
    const auto input = SignalTools::sine (300.0, 48000.0, 1000, 0.7f);

    auto longBlock = bufferFrom (input, 2);
    auto pieces = bufferFrom (input, 2);

    for (auto* buffer : { &longBlock, &pieces })
    {
        TessalineAudioProcessor processor;
        setRaw (processor, "cutoff", 800.0f);
        setRaw (processor, "resonance", 0.5f);
        prepare (processor, 48000.0, 64);
        processInBlocks (processor, *buffer, buffer == &longBlock ? 1000 : 64);
    }

    for (int channel = 0; channel < 2; ++channel)
        EXPECT_EQ (channelOf (longBlock, channel), channelOf (pieces, channel));
}

TEST (TessalineAudioProcessor, RecoversFromNonFiniteInputOnBothPaths)
{
    for (const float oversampling : { 0.0f, 1.0f })
        for (const float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
        {
            TessalineAudioProcessor processor;
            setRaw (processor, "cutoff", 2000.0f);
            setRaw (processor, "oversampling", oversampling);
            prepare (processor, 48000.0, 256);

            auto poisoned = bufferFrom (SignalTools::sine (440.0, 48000.0, 256, 0.5f), 2);
            poisoned.setSample (0, 17, bad);
            processInBlocks (processor, poisoned, 256);

            auto after = bufferFrom (SignalTools::sine (440.0, 48000.0, 4096, 0.5f), 2);
            processInBlocks (processor, after, 256);

            for (int channel = 0; channel < 2; ++channel)
            {
                EXPECT_TRUE (SignalTools::allFinite (after.getReadPointer (channel), 4096));
                EXPECT_GT (SignalTools::rms (after.getReadPointer (channel) + 2048, 2048), 0.1);
            }
        }
}

TEST (TessalineAudioProcessor, DenormalAndHugeInputsGiveFiniteBoundedOutput)
{
    for (const float level : { 1.0e-40f, 1.0e-30f, 1.0e20f, 3.0e38f })
    {
        TessalineAudioProcessor processor;
        setRaw (processor, "resonance", 0.75f);
        setRaw (processor, "cutoff", 60.0f);
        prepare (processor, 48000.0, 512);

        auto buffer = bufferFrom (SignalTools::sine (50.0, 48000.0, 4096, level), 2);
        processInBlocks (processor, buffer, 512);

        EXPECT_TRUE (SignalTools::allFinite (buffer.getReadPointer (0), 4096)) << level;
        EXPECT_LT (buffer.getMagnitude (0, 4096), 20.0f) << level;
    }
}

TEST (TessalineAudioProcessor, IgnoresMidi)
{
    const auto input = SignalTools::sine (440.0, 48000.0, 512, 0.5f);
    auto withMidi = bufferFrom (input, 2);
    auto withoutMidi = bufferFrom (input, 2);

    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::noteOn (1, 60, 1.0f), 10);
    midi.addEvent (juce::MidiMessage::controllerEvent (1, 74, 0), 20);

    TessalineAudioProcessor first, second;
    prepare (first, 48000.0, 512);
    prepare (second, 48000.0, 512);

    first.processBlock (withMidi, midi);
    juce::MidiBuffer none;
    second.processBlock (withoutMidi, none);

    EXPECT_EQ (channelOf (withMidi, 0), channelOf (withoutMidi, 0));
    EXPECT_EQ (midi.getNumEvents(), 2);
}

TEST (TessalineAudioProcessor, StateNumbersInEveryFormLoadClampedOrAsDefaultAndSaveAsFiniteText)
{
    // A number beyond the range (however long its exponent) lands on the nearer end; what is no
    // number at all leaves the parameter at its default.
    struct Case { const char* text; float cutoff, drive; };

    const Case cases[] = {
        { "1000",             1000.0f,  10.0f },
        { " 1000 ",           1000.0f,  10.0f },
        { "1e3",              1000.0f,  10.0f },
        { "1e9999999999",     20000.0f, 10.0f },
        { "-1e9999999999",    20.0f,    1.0f },
        { "1e400",            20000.0f, 10.0f },
        { "1e-9999999999",    20.0f,    1.0f },
        { "nan",              20000.0f, 1.0f },
        { "inf",              20000.0f, 1.0f },
        { "-inf",             20000.0f, 1.0f },
        { "1,5",              20000.0f, 1.0f },
        { "0x10",             20000.0f, 1.0f },
        { "",                 20000.0f, 1.0f },
    };

    for (const auto& c : cases)
    {
        TessalineAudioProcessor processor;
        const auto blob = blobFromXml (juce::String (R"(<PARAMETERS><PARAM id="cutoff" value=")") + c.text
                                       + R"("/><PARAM id="drive" value=")" + c.text + R"("/></PARAMETERS>)");
        processor.setStateInformation (blob.getData(), (int) blob.getSize());

        EXPECT_NEAR (raw (processor, "cutoff"), c.cutoff, 0.01f) << c.text;
        EXPECT_FLOAT_EQ (raw (processor, "drive"), c.drive) << c.text;

        const auto saved = stateOf (processor);
        const auto xml = juce::AudioProcessor::getXmlFromBinary (saved.getData(), (int) saved.getSize());
        ASSERT_NE (xml, nullptr) << c.text;

        for (auto* param : xml->getChildIterator())
        {
            const auto value = param->getStringAttribute ("value");
            double number = 0.0;
            EXPECT_TRUE (DecimalText::parse (value.toRawUTF8(), value.getNumBytesAsUTF8(), number)) << c.text << ": " << value;
        }

        TessalineAudioProcessor fresh;
        fresh.setStateInformation (saved.getData(), (int) saved.getSize());
        EXPECT_EQ (allRawValues (fresh), allRawValues (processor)) << c.text;
    }
}

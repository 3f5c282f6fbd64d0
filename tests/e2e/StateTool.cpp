// Command-line helper for the standalone end-to-end tests. It speaks the program's own state
// format through the real processor, so the tests can prepare and inspect settings files
// without knowing how the blob is encoded.
//
//   TessalineStateTool blob [id=value ...]     prints the "filterState" text of a processor
//                                              whose parameters are set to the given raw values
//   TessalineStateTool show TEXT               restores a "filterState" text onto a fresh
//                                              processor and prints its parameters as id=value
//   TessalineStateTool show-file PATH          the same for a raw state file
//   TessalineStateTool gain HZ RATE [id=value ...]
//                                              prints the steady-state gain in dB of the
//                                              processor for a sine of HZ at RATE, processed
//                                              offline in blocks of 256 samples

#include "processor/TessalineAudioProcessor.h"
#include "tests/SignalTools.h"

#include <juce_events/juce_events.h>

#include <iostream>
#include <memory>

namespace
{
    constexpr int blockSize = 256;
    constexpr float toneAmplitude = 0.25f;

    bool applyAssignments (TessalineAudioProcessor& processor, const juce::StringArray& assignments)
    {
        for (const auto& assignment : assignments)
        {
            const auto id = assignment.upToFirstOccurrenceOf ("=", false, false);
            auto* parameter = processor.apvts.getParameter (id);

            if (parameter == nullptr || ! assignment.containsChar ('='))
            {
                std::cerr << "unknown assignment: " << assignment << '\n';
                return false;
            }

            const auto raw = assignment.fromFirstOccurrenceOf ("=", false, false).getFloatValue();
            parameter->setValueNotifyingHost (parameter->convertTo0to1 (raw));
        }

        return true;
    }

    void printParameters (TessalineAudioProcessor& processor)
    {
        for (auto* parameter : processor.getParameters())
            if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*> (parameter))
                std::cout << withId->paramID << '=' << processor.apvts.getRawParameterValue (withId->paramID)->load() << '\n';
    }

    int printBlob (TessalineAudioProcessor& processor, const juce::StringArray& assignments)
    {
        if (! applyAssignments (processor, assignments))
            return 2;

        juce::MemoryBlock state;
        processor.getStateInformation (state);
        std::cout << state.toBase64Encoding() << '\n';
        return 0;
    }

    int showBlob (TessalineAudioProcessor& processor, const juce::String& text)
    {
        // The same decoding the standalone wrapper applies to its "filterState" value.
        juce::MemoryBlock state;

        if (state.fromBase64Encoding (text) && state.getSize() > 0)
            processor.setStateInformation (state.getData(), (int) state.getSize());

        printParameters (processor);
        return 0;
    }

    int showFile (TessalineAudioProcessor& processor, const juce::File& file)
    {
        juce::MemoryBlock state;

        if (! file.loadFileAsData (state))
            return 1;

        processor.setStateInformation (state.getData(), (int) state.getSize());
        printParameters (processor);
        return 0;
    }

    int printGain (TessalineAudioProcessor& processor, double frequency, double sampleRate,
                   const juce::StringArray& assignments)
    {
        if (frequency <= 0.0 || sampleRate <= 0.0 || ! applyAssignments (processor, assignments))
            return 2;

        processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);

        const auto numSamples = (size_t) sampleRate;  // one second
        const auto input = SignalTools::sine (frequency, sampleRate, numSamples, toneAmplitude);
        std::vector<float> output (numSamples);

        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;

        for (size_t start = 0; start + blockSize <= numSamples; start += blockSize)
        {
            for (int channel = 0; channel < 2; ++channel)
                buffer.copyFrom (channel, 0, input.data() + start, blockSize);

            processor.processBlock (buffer, midi);
            std::copy (buffer.getReadPointer (0), buffer.getReadPointer (0) + blockSize, output.begin() + (long) start);
        }

        std::cout << SignalTools::gainDb (input, output, frequency, sampleRate, numSamples / 2) << '\n';
        return 0;
    }
}

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;

    juce::StringArray arguments;

    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    const auto command = arguments[0];
    arguments.remove (0);

    TessalineAudioProcessor processor;

    if (command == "blob")
        return printBlob (processor, arguments);

    if (command == "show" && arguments.size() == 1)
        return showBlob (processor, arguments[0]);

    if (command == "show-file" && arguments.size() == 1)
        return showFile (processor, juce::File::getCurrentWorkingDirectory().getChildFile (arguments[0]));

    if (command == "gain" && arguments.size() >= 2)
    {
        const auto frequency = arguments[0].getDoubleValue();
        const auto sampleRate = arguments[1].getDoubleValue();
        arguments.removeRange (0, 2);
        return printGain (processor, frequency, sampleRate, arguments);
    }

    std::cerr << "usage: TessalineStateTool blob [id=value ...] | show TEXT | show-file PATH | gain HZ RATE [id=value ...]\n";
    return 2;
}

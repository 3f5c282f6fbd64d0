// Drives the processor directly, as the format tests' reference: the test signal in blocks of
// the test block size, with the given parameters set (raw values: the parameter's own unit, a choice's index)
// before preparing.
//
//   TessalineReferenceRender OUT.f32 [identifier=value ...]
//
// OUT.f32 gets the output as raw 32-bit floats, channel after channel.

#include "processor/TessalineAudioProcessor.h"
#include "tests/ProcessorTestTools.h"
#include "tests/hosts/TestSignal.h"

#include <cstdio>

int main (int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf (stderr, "usage: TessalineReferenceRender OUT.f32 [identifier=value ...]\n");
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI framework;
    TessalineAudioProcessor processor;

    for (int i = 2; i < argc; ++i)
    {
        const juce::String assignment (argv[i]);
        auto* parameter = processor.apvts.getParameter (assignment.upToFirstOccurrenceOf ("=", false, false));

        if (parameter == nullptr)
        {
            std::fprintf (stderr, "unknown parameter in %s\n", argv[i]);
            return 2;
        }

        parameter->setValueNotifyingHost (parameter->convertTo0to1 (assignment.fromFirstOccurrenceOf ("=", false, false).getFloatValue()));
    }

    using namespace TestSignal;
    ProcessorTestTools::prepare (processor, sampleRate, blockSize);

    const auto numFrames = blockSize * numBlocks;
    juce::AudioBuffer<float> buffer (numChannels, numFrames);

    for (int channel = 0; channel < numChannels; ++channel)
        for (int frame = 0; frame < numFrames; ++frame)
            buffer.setSample (channel, frame, sample (channel, frame));

    ProcessorTestTools::processInBlocks (processor, buffer, blockSize);

    juce::FileOutputStream out { juce::File (argv[1]) };

    if (! out.openedOk() || ! out.setPosition (0) || ! out.truncate().wasOk())
        return 1;

    for (int channel = 0; channel < numChannels; ++channel)
        out.write (buffer.getReadPointer (channel), sizeof (float) * (size_t) numFrames);

    out.flush();
    return out.getStatus().wasOk() ? 0 : 1;
}

#pragma once

#include "processor/TessalineAudioProcessor.h"

/** Helpers that drive a processor the way a host does. */
namespace ProcessorTestTools
{
    inline void setRaw (TessalineAudioProcessor& processor, const char* id, float value)
    {
        auto* parameter = processor.apvts.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    inline float raw (TessalineAudioProcessor& processor, const char* id)
    {
        return processor.apvts.getRawParameterValue (id)->load();
    }

    inline void prepare (TessalineAudioProcessor& processor, double sampleRate, int blockSize, int channels = 2)
    {
        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        processor.setPlayConfigDetails (channels, channels, sampleRate, blockSize);
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        processor.setBusesLayout (layout);
        processor.prepareToPlay (sampleRate, blockSize);
    }

    /** Runs the whole buffer through processBlock in host blocks of the given size. */
    inline void processInBlocks (TessalineAudioProcessor& processor, juce::AudioBuffer<float>& buffer, int blockSize)
    {
        juce::MidiBuffer midi;

        for (int start = 0; start < buffer.getNumSamples(); start += blockSize)
        {
            const auto length = std::min (blockSize, buffer.getNumSamples() - start);
            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, length);
            processor.processBlock (view, midi);
        }
    }

    inline juce::AudioBuffer<float> bufferFrom (const std::vector<float>& mono, int channels)
    {
        juce::AudioBuffer<float> buffer (channels, (int) mono.size());

        for (int channel = 0; channel < channels; ++channel)
            buffer.copyFrom (channel, 0, mono.data(), (int) mono.size());

        return buffer;
    }

    inline std::vector<float> channelOf (const juce::AudioBuffer<float>& buffer, int channel)
    {
        return { buffer.getReadPointer (channel), buffer.getReadPointer (channel) + buffer.getNumSamples() };
    }
}

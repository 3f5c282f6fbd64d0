#include "targets/clap/ClapHostBuffers.h"

#include <algorithm>
#include <cstring>

namespace
{
    const float* inputChannel (const clap_audio_buffer_t* input, uint32_t channel) noexcept
    {
        return input != nullptr && input->data32 != nullptr && channel < input->channel_count
                   ? input->data32[channel] : nullptr;
    }
}

uint32_t ClapHostBuffers::prepare (int numChannels, uint32_t maxFramesAnnounced)
{
    pieceSize = std::clamp (maxFramesAnnounced, 1u, maxPieceFrames);
    scratch.setSize (std::max (1, numChannels), static_cast<int> (pieceSize), false, true, false);
    return pieceSize;
}

void ClapHostBuffers::render (juce::AudioProcessor& processor, const clap_process_t& context)
{
    if (context.frames_count == 0 || pieceSize == 0)
        return;

    const auto* output = context.audio_outputs_count > 0 ? context.audio_outputs : nullptr;

    if (outputsFit (output, processor.getTotalNumOutputChannels()))
        renderInHostOutputs (processor, context);
    else
        renderThroughScratch (processor, context);
}

bool ClapHostBuffers::outputsFit (const clap_audio_buffer_t* output, int numChannels) const noexcept
{
    if (output == nullptr || output->data32 == nullptr || output->channel_count < (uint32_t) numChannels)
        return false;

    for (int channel = 0; channel < numChannels; ++channel)
        if (output->data32[channel] == nullptr)
            return false;

    return true;
}

void ClapHostBuffers::renderInHostOutputs (juce::AudioProcessor& processor, const clap_process_t& context)
{
    const auto numFrames = context.frames_count;
    const auto numChannels = processor.getTotalNumOutputChannels();
    const auto* input = context.audio_inputs_count > 0 ? context.audio_inputs : nullptr;
    auto* output = context.audio_outputs;

    // Bring the input into the output buffers first (nothing to copy when the host processes in
    // place, a move since host buffers may overlap; silence where an input channel is missing).
    for (int channel = 0; channel < numChannels; ++channel)
    {
        auto* destination = output->data32[channel];
        const auto* source = inputChannel (input, (uint32_t) channel);

        if (source == nullptr)
            std::memset (destination, 0, numFrames * sizeof (float));
        else if (source != destination)
            std::memmove (destination, source, numFrames * sizeof (float));
    }

    // The whole input is in the outputs by now, so overlapping host buffers cannot mix the pieces.
    for (uint32_t offset = 0; offset < numFrames; offset += pieceSize)
    {
        juce::AudioBuffer<float> piece (output->data32, numChannels, static_cast<int> (offset),
                                        static_cast<int> (std::min (pieceSize, numFrames - offset)));
        processor.processBlock (piece, noMidi);
    }

    output->constant_mask = 0;
}

void ClapHostBuffers::renderThroughScratch (juce::AudioProcessor& processor, const clap_process_t& context)
{
    // Odd buffers from the host (missing or short ports): run the processor on our own buffer
    // and copy out what the host can take.
    const auto* input = context.audio_inputs_count > 0 ? context.audio_inputs : nullptr;
    auto* output = context.audio_outputs_count > 0 ? context.audio_outputs : nullptr;
    const auto numChannels = scratch.getNumChannels();

    for (uint32_t offset = 0; offset < context.frames_count; offset += pieceSize)
    {
        const auto numFrames = std::min (pieceSize, context.frames_count - offset);

        for (int channel = 0; channel < numChannels; ++channel)
        {
            if (const auto* source = inputChannel (input, (uint32_t) channel))
                scratch.copyFrom (channel, 0, source + offset, static_cast<int> (numFrames));
            else
                scratch.clear (channel, 0, static_cast<int> (numFrames));
        }

        juce::AudioBuffer<float> piece (scratch.getArrayOfWritePointers(), numChannels, static_cast<int> (numFrames));
        processor.processBlock (piece, noMidi);

        if (output == nullptr || output->data32 == nullptr)
            continue;

        for (uint32_t channel = 0; channel < output->channel_count; ++channel)
        {
            if (auto* destination = output->data32[channel])
            {
                if ((int) channel < numChannels)
                    std::memcpy (destination + offset, scratch.getReadPointer ((int) channel), numFrames * sizeof (float));
                else
                    std::memset (destination + offset, 0, numFrames * sizeof (float));
            }
        }
    }

    if (output != nullptr)
        output->constant_mask = 0;
}

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
    beginBlock (processor, context);
    renderFrames (processor, context, 0, context.frames_count);
    endBlock (context);
}

void ClapHostBuffers::beginBlock (const juce::AudioProcessor& processor, const clap_process_t& context)
{
    const auto numChannels = processor.getTotalNumOutputChannels();
    const auto* output = context.audio_outputs_count > 0 ? context.audio_outputs : nullptr;
    inHostOutputs = outputsFit (output, numChannels);

    // The whole input goes into the outputs before any span is filtered, so overlapping host
    // buffers cannot mix the spans.
    if (inHostOutputs && context.frames_count > 0)
        moveInputIntoOutputs (context, numChannels);
}

void ClapHostBuffers::renderFrames (juce::AudioProcessor& processor, const clap_process_t& context,
                                    uint32_t firstFrame, uint32_t numFrames)
{
    if (pieceSize == 0 || firstFrame >= context.frames_count)
        return;

    numFrames = std::min (numFrames, context.frames_count - firstFrame);

    if (numFrames == 0)
        return;

    if (inHostOutputs)
        renderInHostOutputs (processor, context, firstFrame, numFrames);
    else
        renderThroughScratch (processor, context, firstFrame, numFrames);
}

void ClapHostBuffers::endBlock (const clap_process_t& context)
{
    if (context.frames_count > 0 && pieceSize > 0 && context.audio_outputs_count > 0 && context.audio_outputs != nullptr)
        context.audio_outputs->constant_mask = 0;
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

void ClapHostBuffers::moveInputIntoOutputs (const clap_process_t& context, int numChannels)
{
    const auto numFrames = context.frames_count;
    const auto* input = context.audio_inputs_count > 0 ? context.audio_inputs : nullptr;
    auto* output = context.audio_outputs;

    // Nothing to copy when the host processes in place, a move since host buffers may overlap;
    // silence where an input channel is missing.
    for (int channel = 0; channel < numChannels; ++channel)
    {
        auto* destination = output->data32[channel];
        const auto* source = inputChannel (input, (uint32_t) channel);

        if (source == nullptr)
            std::memset (destination, 0, numFrames * sizeof (float));
        else if (source != destination)
            std::memmove (destination, source, numFrames * sizeof (float));
    }
}

void ClapHostBuffers::renderInHostOutputs (juce::AudioProcessor& processor, const clap_process_t& context,
                                           uint32_t firstFrame, uint32_t numFrames)
{
    const auto numChannels = processor.getTotalNumOutputChannels();
    auto* output = context.audio_outputs;
    const auto end = firstFrame + numFrames;

    for (uint32_t offset = firstFrame; offset < end; offset += pieceSize)
    {
        juce::AudioBuffer<float> piece (output->data32, numChannels, static_cast<int> (offset),
                                        static_cast<int> (std::min (pieceSize, end - offset)));
        processor.processBlock (piece, noMidi);
    }
}

void ClapHostBuffers::renderThroughScratch (juce::AudioProcessor& processor, const clap_process_t& context,
                                            uint32_t firstFrame, uint32_t numFrames)
{
    // Odd buffers from the host (missing or short ports): run the processor on our own buffer
    // and copy out what the host can take.
    const auto* input = context.audio_inputs_count > 0 ? context.audio_inputs : nullptr;
    auto* output = context.audio_outputs_count > 0 ? context.audio_outputs : nullptr;
    const auto numChannels = scratch.getNumChannels();
    const auto end = firstFrame + numFrames;

    for (uint32_t offset = firstFrame; offset < end; offset += pieceSize)
    {
        const auto pieceFrames = std::min (pieceSize, end - offset);

        for (int channel = 0; channel < numChannels; ++channel)
        {
            if (const auto* source = inputChannel (input, (uint32_t) channel))
                scratch.copyFrom (channel, 0, source + offset, static_cast<int> (pieceFrames));
            else
                scratch.clear (channel, 0, static_cast<int> (pieceFrames));
        }

        juce::AudioBuffer<float> piece (scratch.getArrayOfWritePointers(), numChannels, static_cast<int> (pieceFrames));
        processor.processBlock (piece, noMidi);

        if (output == nullptr || output->data32 == nullptr)
            continue;

        for (uint32_t channel = 0; channel < output->channel_count; ++channel)
        {
            if (auto* destination = output->data32[channel])
            {
                if ((int) channel < numChannels)
                    std::memcpy (destination + offset, scratch.getReadPointer ((int) channel), pieceFrames * sizeof (float));
                else
                    std::memset (destination + offset, 0, pieceFrames * sizeof (float));
            }
        }
    }
}

#pragma once

#include "targets/clap/ClapAbi.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>

/** The host's audio buffers on their way through the processor, which filters in place. Host
    blocks reach the processor in pieces of at most the announced maximum, and never more than
    maxPieceFrames at a time, so a host announcing an absurd block size costs no more memory
    than a sane one. */
class ClapHostBuffers final
{
public:
    /** The processor's own blocks stop at this size too. */
    static constexpr uint32_t maxPieceFrames = 1u << 16;

    /** Sizes the scratch buffer; may throw std::bad_alloc. Returns the piece size. */
    uint32_t prepare (int numChannels, uint32_t maxFramesAnnounced);

    /** Runs the processor over the host's whole block: input into output, filtered there. */
    void render (juce::AudioProcessor&, const clap_process_t&);

    /** The same in steps, for a block that changes parameters between frames: begin, then
        render the frames in order as consecutive spans, then end. */
    void beginBlock (const juce::AudioProcessor&, const clap_process_t&);
    void renderFrames (juce::AudioProcessor&, const clap_process_t&, uint32_t firstFrame, uint32_t numFrames);
    void endBlock (const clap_process_t&);

private:
    bool outputsFit (const clap_audio_buffer_t* output, int numChannels) const noexcept;
    void moveInputIntoOutputs (const clap_process_t&, int numChannels);
    void renderInHostOutputs (juce::AudioProcessor&, const clap_process_t&, uint32_t firstFrame, uint32_t numFrames);
    void renderThroughScratch (juce::AudioProcessor&, const clap_process_t&, uint32_t firstFrame, uint32_t numFrames);

    juce::AudioBuffer<float> scratch;
    juce::MidiBuffer noMidi;
    uint32_t pieceSize = 0;
    bool inHostOutputs = false;
};

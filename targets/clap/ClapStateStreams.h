#pragma once

#include "targets/clap/ClapAbi.h"

#include <juce_core/juce_core.h>

#include <cstddef>

/** The host's state streams: whole blobs out, whole blobs in, or nothing. */
namespace ClapStateStreams
{
    /** Pieces asked of the host's input stream. */
    constexpr size_t readPieceSize = 4096;

    /** The processor's blob is well under a kilobyte; a stream that goes on past this is no
        state of ours, and reading it on would only eat the host's memory. */
    constexpr size_t maxStateSize = size_t (16) << 20;

    /** Writes all of the blob, in as many writes as the stream needs. False if the stream refuses. */
    bool write (const clap_ostream_t&, const juce::MemoryBlock&);

    /** Reads the stream to its end. False if it fails part way or goes on past maxStateSize. */
    bool read (const clap_istream_t&, juce::MemoryBlock&);
}

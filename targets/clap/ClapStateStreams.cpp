#include "targets/clap/ClapStateStreams.h"

#include <cstdint>

bool ClapStateStreams::write (const clap_ostream_t& stream, const juce::MemoryBlock& blob)
{
    if (stream.write == nullptr)
        return false;

    const auto* bytes = static_cast<const char*> (blob.getData());
    uint64_t written = 0;

    // Streams may take less than offered; keep writing until all is out or the host refuses.
    while (written < blob.getSize())
    {
        const auto result = stream.write (&stream, bytes + written, blob.getSize() - written);

        if (result <= 0 || static_cast<uint64_t> (result) > blob.getSize() - written)
            return false;

        written += static_cast<uint64_t> (result);
    }

    return true;
}

bool ClapStateStreams::read (const clap_istream_t& stream, juce::MemoryBlock& blob)
{
    if (stream.read == nullptr)
        return false;

    char piece[readPieceSize];

    for (;;)
    {
        const auto result = stream.read (&stream, piece, sizeof (piece));

        if (result == 0)
            return true;

        // A stream that fails part way gives no state at all rather than half of one.
        if (result < 0 || static_cast<uint64_t> (result) > sizeof (piece)
            || blob.getSize() + static_cast<size_t> (result) > maxStateSize)
            return false;

        blob.append (piece, static_cast<size_t> (result));
    }
}

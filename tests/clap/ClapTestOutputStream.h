#pragma once

#include "targets/clap/ClapAbi.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

/** A host's state output stream that takes at most `maxPerWrite` bytes a call and, if asked,
    fails once `failAfter` bytes have been written. */
class ClapTestOutputStream final
{
public:
    explicit ClapTestOutputStream (size_t maxPerWrite = std::numeric_limits<size_t>::max(),
                                   size_t failAfter = std::numeric_limits<size_t>::max());

    const clap_ostream_t* get() const noexcept { return &stream; }

    std::vector<uint8_t> bytes;
    int numWrites = 0;

private:
    static int64_t CLAP_ABI write (const clap_ostream_t*, const void* buffer, uint64_t size);

    size_t maxPerWrite, failAfter;
    clap_ostream_t stream;
};

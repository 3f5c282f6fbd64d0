#pragma once

#include "targets/clap/ClapAbi.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

/** A host's state input stream over fixed bytes that hands out at most `maxPerRead` bytes a
    call and, if asked, fails once `failAt` bytes have been read. */
class ClapTestInputStream final
{
public:
    explicit ClapTestInputStream (std::vector<uint8_t> bytes,
                                  size_t maxPerRead = std::numeric_limits<size_t>::max(),
                                  size_t failAt = std::numeric_limits<size_t>::max());

    const clap_istream_t* get() const noexcept { return &stream; }

    std::vector<uint64_t> requestedSizes;

private:
    static int64_t CLAP_ABI read (const clap_istream_t*, void* buffer, uint64_t size);

    std::vector<uint8_t> bytes;
    size_t position = 0, maxPerRead, failAt;
    clap_istream_t stream;
};

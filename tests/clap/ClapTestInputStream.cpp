#include "tests/clap/ClapTestInputStream.h"

#include <algorithm>
#include <cstring>

ClapTestInputStream::ClapTestInputStream (std::vector<uint8_t> bytesToRead, size_t maxPerReadToUse, size_t failAtToUse)
    : bytes (std::move (bytesToRead)),
      maxPerRead (maxPerReadToUse),
      failAt (failAtToUse),
      stream { this, read }
{
}

int64_t CLAP_ABI ClapTestInputStream::read (const clap_istream_t* stream, void* buffer, uint64_t size)
{
    auto& self = *static_cast<ClapTestInputStream*> (stream->ctx);
    self.requestedSizes.push_back (size);

    if (self.position >= self.failAt)
        return -1;

    const auto count = std::min ({ static_cast<size_t> (size), self.maxPerRead, self.bytes.size() - self.position,
                                   self.failAt - self.position });
    if (count > 0)   // an empty stream's data() may be null
        std::memcpy (buffer, self.bytes.data() + self.position, count);

    self.position += count;
    return static_cast<int64_t> (count);
}

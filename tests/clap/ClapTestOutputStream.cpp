#include "tests/clap/ClapTestOutputStream.h"

#include <algorithm>

ClapTestOutputStream::ClapTestOutputStream (size_t maxPerWriteToUse, size_t failAfterToUse)
    : maxPerWrite (maxPerWriteToUse),
      failAfter (failAfterToUse),
      stream { this, write }
{
}

int64_t CLAP_ABI ClapTestOutputStream::write (const clap_ostream_t* stream, const void* buffer, uint64_t size)
{
    auto& self = *static_cast<ClapTestOutputStream*> (stream->ctx);
    ++self.numWrites;

    if (self.bytes.size() >= self.failAfter)
        return -1;

    const auto count = static_cast<size_t> (std::min<uint64_t> (size, self.maxPerWrite));
    const auto* first = static_cast<const uint8_t*> (buffer);
    self.bytes.insert (self.bytes.end(), first, first + count);
    return static_cast<int64_t> (count);
}

// The CLAP state stream: any bytes, handed out by the host's stream in pieces of the size the
// first byte picks, reach clap_plugin_state.load of the built plug-in. A load that is accepted
// must save again to a stream that a fresh instance loads and saves to the same bytes.

#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestLibrary.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace
{
    std::vector<uint8_t> saveState (const ClapTestHost& host)
    {
        ClapTestOutputStream out;
        const auto* state = host.extension<clap_plugin_state_t> (CLAP_EXT_STATE);

        if (! state->save (host.plugin(), out.get()))
            std::abort();

        return out.bytes;
    }
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static const ClapTestLibrary library { TESSALINE_CLAP_PATH };

    if (! library.isLoaded())
        std::abort();

    static const auto host = []
    {
        auto made = std::make_unique<ClapTestHost> (library);

        if (! made->createPlugin())
            std::abort();

        return made;
    }();

    if (size == 0)
        return 0;

    const auto pieceSize = (size_t) data[0] + 1;
    ClapTestInputStream in ({ data + 1, data + size }, pieceSize);
    const auto* state = host->extension<clap_plugin_state_t> (CLAP_EXT_STATE);

    if (state->load (host->plugin(), in.get()))
    {
        const auto saved = saveState (*host);
        ClapTestHost fresh { library };

        if (! fresh.createPlugin())
            std::abort();

        ClapTestInputStream again (saved);

        if (! fresh.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (fresh.plugin(), again.get())
            || saveState (fresh) != saved)
            std::abort();
    }

    // What the plug-in tells the host is only about the host's misbehaviour, never ours.
    for (const auto& entry : host->takeLog())
        if (entry.severity != CLAP_LOG_HOST_MISBEHAVING && entry.severity != CLAP_LOG_WARNING)
            std::abort();

    return 0;
}

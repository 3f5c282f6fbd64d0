// The library's single exported symbol: the CLAP entry record.

#include "targets/clap/ClapPluginFactory.h"

#include <cstring>

namespace
{
    bool CLAP_ABI initialiseEntry (const char*)
    {
        return true;
    }

    void CLAP_ABI deinitialiseEntry()
    {
    }

    const void* CLAP_ABI getFactory (const char* factoryId)
    {
        if (factoryId != nullptr && std::strcmp (factoryId, CLAP_PLUGIN_FACTORY_ID) == 0)
            return ClapPluginFactory::get();

        return nullptr;
    }
}

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry {
    tessalineClapVersion,
    initialiseEntry,
    deinitialiseEntry,
    getFactory
};

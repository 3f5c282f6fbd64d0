#include "targets/clap/ClapPluginFactory.h"

#include "targets/clap/ClapDescriptor.h"
#include "targets/clap/ClapPluginInstance.h"

#include <cstdio>
#include <cstring>
#include <exception>

const clap_plugin_factory_t* ClapPluginFactory::get() noexcept
{
    static const clap_plugin_factory_t factory { getPluginCount, getPluginDescriptor, createPlugin };
    return &factory;
}

uint32_t CLAP_ABI ClapPluginFactory::getPluginCount (const clap_plugin_factory_t*)
{
    return 1;
}

const clap_plugin_descriptor_t* CLAP_ABI ClapPluginFactory::getPluginDescriptor (const clap_plugin_factory_t*, uint32_t index)
{
    return index == 0 ? &ClapDescriptor::get() : nullptr;
}

const clap_plugin_t* CLAP_ABI ClapPluginFactory::createPlugin (const clap_plugin_factory_t*,
                                                               const clap_host_t* host,
                                                               const char* pluginId)
{
    if (pluginId == nullptr || std::strcmp (pluginId, ClapDescriptor::id()) != 0)
    {
        std::printf ("Warning: CLAP asked for plugin_id '%s' and JuceCLAPWrapper ID is '%s'\n",
                     pluginId != nullptr ? pluginId : "", ClapDescriptor::id());
        std::fflush (stdout);
        return nullptr;
    }

    if (host == nullptr)
        return nullptr;

    // Ownership passes to the host; the instance deletes itself in clap_plugin.destroy. Nothing
    // may unwind into the host: an instance that cannot be made is no instance.
    try
    {
        return (new ClapPluginInstance (*host))->getClapPlugin();
    }
    catch (const std::exception& e)
    {
        std::fprintf (stderr, "Tessaline: could not create the plug-in: %s\n", e.what());
    }
    catch (...)
    {
        std::fprintf (stderr, "Tessaline: could not create the plug-in\n");
    }

    std::fflush (stderr);
    return nullptr;
}

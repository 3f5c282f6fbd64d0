#pragma once

#include "targets/clap/ClapAbi.h"

/** The "clap.plugin-factory": one plug-in, created around a new processor per instance. */
class ClapPluginFactory final
{
public:
    static const clap_plugin_factory_t* get() noexcept;

private:
    static uint32_t CLAP_ABI getPluginCount (const clap_plugin_factory_t*);
    static const clap_plugin_descriptor_t* CLAP_ABI getPluginDescriptor (const clap_plugin_factory_t*, uint32_t index);
    static const clap_plugin_t* CLAP_ABI createPlugin (const clap_plugin_factory_t*, const clap_host_t* host, const char* pluginId);

    ClapPluginFactory() = delete;
};

#pragma once

#include "targets/clap/ClapAbi.h"

/** The C side of the plug-in: the entry points of the clap_plugin record and of every extension
    the plug-in offers, each going through the guard to the instance. */
namespace ClapPluginExtensions
{
    /** The plug-in record's entry points; desc and plugin_data are the instance's to fill. */
    clap_plugin_t pluginRecord() noexcept;
}

/** Extensions beyond the product's own, looked up after them: none in the product; the test
    build of the plug-in links its test hooks here instead. */
namespace ClapExtraExtensions
{
    const void* find (const char* id) noexcept;
}

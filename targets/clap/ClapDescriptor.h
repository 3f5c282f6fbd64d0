#pragma once

#include "targets/clap/ClapAbi.h"

/** The one plug-in this library offers, as hosts list it. The id comes from the build
    description so that it stays fixed for saved host projects. */
class ClapDescriptor final
{
public:
    static const clap_plugin_descriptor_t& get() noexcept;
    static const char* id() noexcept;

private:
    ClapDescriptor() = delete;
};

#include "targets/clap/ClapDescriptor.h"

#ifndef TESSALINE_CLAP_ID
 #error "The build description must define TESSALINE_CLAP_ID"
#endif

namespace
{
    const char* features[] = { "audio-effect", "filter", nullptr };

    const clap_plugin_descriptor_t descriptor {
        tessalineClapVersion,
        TESSALINE_CLAP_ID,
        "Tessaline",
        "Quillfen",
        "",
        "",
        "",
        "1.0.0",
        "Tessaline",
        features
    };
}

const clap_plugin_descriptor_t& ClapDescriptor::get() noexcept
{
    return descriptor;
}

const char* ClapDescriptor::id() noexcept
{
    return descriptor.id;
}

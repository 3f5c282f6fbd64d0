#include "targets/clap/ClapPluginExtensions.h"

const void* ClapExtraExtensions::find (const char*) noexcept
{
    return nullptr;
}

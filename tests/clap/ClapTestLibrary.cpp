#include "tests/clap/ClapTestLibrary.h"

#include "tests/clap/NativeLibrary.h"

ClapTestLibrary::ClapTestLibrary (const std::string& path)
{
    handle = NativeLibrary::open (path, error);

    if (handle == nullptr)
        return;

    entry = static_cast<const clap_plugin_entry_t*> (NativeLibrary::findSymbol (handle, "clap_entry"));

    if (entry == nullptr || entry->init == nullptr || ! entry->init (path.c_str()))
    {
        error = "no usable clap_entry in " + path;
        return;
    }

    initialised = true;
    factory = static_cast<const clap_plugin_factory_t*> (entry->get_factory (CLAP_PLUGIN_FACTORY_ID));

    if (factory == nullptr)
        error = "no plug-in factory in " + path;
}

ClapTestLibrary::~ClapTestLibrary()
{
    if (initialised)
        entry->deinit();

    if (handle != nullptr)
        NativeLibrary::close (handle);
}

#pragma once

#include "targets/clap/ClapAbi.h"

#include <string>

/** A CLAP library as a host opens it: loaded by the system, the entry's init, the plug-in factory; deinit
    and unloaded when it goes. */
class ClapTestLibrary final
{
public:
    explicit ClapTestLibrary (const std::string& path);
    ~ClapTestLibrary();

    ClapTestLibrary (const ClapTestLibrary&) = delete;
    ClapTestLibrary& operator= (const ClapTestLibrary&) = delete;

    bool isLoaded() const noexcept { return factory != nullptr; }
    const std::string& getError() const noexcept { return error; }

    const clap_plugin_entry_t* getEntry() const noexcept { return entry; }
    const clap_plugin_factory_t* getFactory() const noexcept { return factory; }

private:
    void* handle = nullptr;
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
    bool initialised = false;
    std::string error;
};

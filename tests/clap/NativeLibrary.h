#pragma once

#include <string>

/** Loading a shared library the way the system's hosts do: dlopen on Linux, LoadLibrary on
    Windows. The one place of the test host that differs between the two. */
namespace NativeLibrary
{
    /** The library's handle, or null with the system's reason in error. */
    void* open (const std::string& path, std::string& error);

    void* findSymbol (void* handle, const char* name);

    void close (void* handle);
}

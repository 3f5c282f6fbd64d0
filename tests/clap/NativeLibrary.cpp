#include "tests/clap/NativeLibrary.h"

#ifdef _WIN32
 #define WIN32_LEAN_AND_MEAN
 #include <windows.h>
#else
 #include <dlfcn.h>
#endif

#ifdef _WIN32
void* NativeLibrary::open (const std::string& path, std::string& error)
{
    auto* module = ::LoadLibraryA (path.c_str());

    if (module == nullptr)
        error = "LoadLibrary failed with error " + std::to_string (::GetLastError()) + " for " + path;

    return reinterpret_cast<void*> (module);
}

void* NativeLibrary::findSymbol (void* handle, const char* name)
{
    return reinterpret_cast<void*> (::GetProcAddress (static_cast<HMODULE> (handle), name));
}

void NativeLibrary::close (void* handle)
{
    ::FreeLibrary (static_cast<HMODULE> (handle));
}
#else
void* NativeLibrary::open (const std::string& path, std::string& error)
{
    auto* handle = ::dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);

    if (handle == nullptr)
        error = ::dlerror();

    return handle;
}

void* NativeLibrary::findSymbol (void* handle, const char* name)
{
    return ::dlsym (handle, name);
}

void NativeLibrary::close (void* handle)
{
    ::dlclose (handle);
}
#endif

#include "AudioLibraryProbing.h"

#include <dlfcn.h>

namespace
{
    using MessageFunction = void (*) (const char*);
    using SetMessageFunction = void (*) (MessageFunction);

    void ignoreMessage (const char*) {}

    void setHandler (void* library, const char* setterName)
    {
        if (auto* setter = reinterpret_cast<SetMessageFunction> (::dlsym (library, setterName)))
            setter (ignoreMessage);
    }
}

void AudioLibraryProbing::silence()
{
    // The same library JUCE opens later (it loads JACK at run time too), so the handlers set here
    // are the ones its probing meets. The handle stays open for the program's lifetime.
    auto* jack = ::dlopen ("libjack.so.0", RTLD_LAZY | RTLD_LOCAL);

    if (jack == nullptr)
        return;

    setHandler (jack, "jack_set_error_function");
    setHandler (jack, "jack_set_info_function");
}

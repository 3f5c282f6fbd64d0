#include "targets/clap/ClapEntryGuard.h"

#include <string>

void ClapEntryGuard::check (const ClapPluginInstance& instance, const ClapCall& call) noexcept
{
    const auto& host = instance.getHost();

    try
    {
        if (call.needsInit && ! instance.isInitialised())
            host.reportMisbehaviour ((std::string ("Host is required to call clap_plugin.init() first (")
                                      + call.name + ")").c_str());

        switch (call.thread)
        {
            case ClapThread::main:             host.checkMainThread (call.name); break;
            case ClapThread::audio:            host.checkAudioThread (call.name); break;
            case ClapThread::audioWhileActive: instance.isActive() ? host.checkAudioThread (call.name)
                                                                   : host.checkMainThread (call.name); break;
            case ClapThread::any:              break;
        }
    }
    catch (...)
    {
        // Only a report could not be put together (no memory): the call itself goes ahead.
    }
}

void ClapEntryGuard::reportException (const ClapPluginInstance& instance, const ClapCall& call, const char* what) noexcept
{
    try
    {
        instance.getHost().reportError ((std::string (call.name) + " failed: " + what).c_str());
    }
    catch (...)
    {
        instance.getHost().reportError ("a CLAP call failed and its report could not be made");
    }
}

#pragma once

#include "targets/clap/ClapPluginInstance.h"

#include <exception>
#include <type_traits>
#include <utility>

/** Where the CLAP standard says a call comes from. */
enum class ClapThread
{
    main,
    audio,
    audioWhileActive, // the audio thread while active, else the main thread (params.flush)
    any
};

/** One C entry point as the guard checks it. */
struct ClapCall
{
    const char* name;
    ClapThread thread = ClapThread::main;
    bool needsInit = true;
};

/** The one way into an instance from C. Every entry point of the plug-in record and its
    extensions goes through guarded(): it recovers the instance (a broken record gives the
    failure value), logs a call before init or on the wrong thread as host misbehaviour and
    carries it out anyway, and catches every exception, which becomes a logged error and the
    failure value: nothing ever unwinds into the host. */
namespace ClapEntryGuard
{
    /** Logs what is wrong with the call; never throws. */
    void check (const ClapPluginInstance&, const ClapCall&) noexcept;

    /** Logs an exception that reached the guard; never throws. */
    void reportException (const ClapPluginInstance&, const ClapCall&, const char* what) noexcept;

    template <typename Body>
    bool run (ClapPluginInstance* instance, const ClapCall& call, Body&& body) noexcept
    {
        if (instance == nullptr)
            return false;

        try
        {
            check (*instance, call);
            body (*instance);
            return true;
        }
        catch (const std::exception& e)
        {
            reportException (*instance, call, e.what());
        }
        catch (...)
        {
            reportException (*instance, call, "an unknown exception");
        }

        return false;
    }
}

/** Runs body (ClapPluginInstance&) for the plug-in, giving its result, or failure. */
template <typename Result, typename Body>
Result guarded (const clap_plugin_t* plugin, const ClapCall& call, Result failure, Body&& body) noexcept
{
    auto result = failure;

    if (! ClapEntryGuard::run (ClapPluginInstance::from (plugin), call,
                               [&] (ClapPluginInstance& instance) { result = body (instance); }))
        return failure;

    return result;
}

/** The same for calls without a result. */
template <typename Body>
void guarded (const clap_plugin_t* plugin, const ClapCall& call, Body&& body) noexcept
{
    ClapEntryGuard::run (ClapPluginInstance::from (plugin), call, std::forward<Body> (body));
}

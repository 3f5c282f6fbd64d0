#pragma once

#include <juce_events/juce_events.h>

#include <cstdlib>

/** What every fuzzer sets up once: a running framework, as inside a host, and a HOME of its own
    so that nothing the code under test stores lands in the user's files. */
namespace FuzzSupport
{
    inline void initialiseOnce()
    {
        static const auto home = []
        {
            auto folder = juce::File::createTempFile ("tessaline-fuzz-home");
            [[maybe_unused]] const auto created = folder.createDirectory();
            setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
            unsetenv ("XDG_CONFIG_HOME");
            return folder;
        }();

        // Never shut down: libFuzzer ends the process through exit(), when the framework's own
        // statics may already be gone.
        static const auto* framework = new juce::ScopedJuceInitialiser_GUI();
        juce::ignoreUnused (home, framework);
    }
}

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
    /** Every test program runs with a HOME of its own, so nothing it does (the presets folder,
        settings) touches the real user's files. Removed when the program ends. */
    struct TemporaryHome
    {
        TemporaryHome()
        {
            folder = juce::File::createTempFile ("tessaline-test-home");
            [[maybe_unused]] const auto created = folder.createDirectory();
            setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
            unsetenv ("XDG_CONFIG_HOME");
        }

        ~TemporaryHome()   { [[maybe_unused]] const auto removed = folder.deleteRecursively(); }

        juce::File folder;
    };
}

int main (int argc, char** argv)
{
    const TemporaryHome home;

    // The processor and editor expect a running framework, as inside a host.
    juce::ScopedJuceInitialiser_GUI framework;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}

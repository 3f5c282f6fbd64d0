#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

// Under Wine each run has a prefix of its own (tests/windows/wine-lib.sh), so the roaming folder
// the tests write into is a temporary one.
int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI framework;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}

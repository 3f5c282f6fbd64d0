#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

int main (int argc, char** argv)
{
    // The processor and editor expect a running framework, as inside a host.
    juce::ScopedJuceInitialiser_GUI framework;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}

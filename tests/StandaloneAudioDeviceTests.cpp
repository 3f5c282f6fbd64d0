#include <juce_audio_devices/juce_audio_devices.h>

#include <gtest/gtest.h>

// The standalone program opens its device through the shared code's audio device manager; on
// Linux a musician must be able to choose between ALSA and JACK in "Audio/MIDI Settings".
TEST (StandaloneAudioDevices, AlsaAndJackDeviceTypesAreOffered)
{
    juce::AudioDeviceManager deviceManager;
    juce::StringArray typeNames;

    for (auto* type : deviceManager.getAvailableDeviceTypes())
        typeNames.add (type->getTypeName());

    EXPECT_TRUE (typeNames.contains ("ALSA")) << typeNames.joinIntoString (", ");
    EXPECT_TRUE (typeNames.contains ("JACK")) << typeNames.joinIntoString (", ");
}

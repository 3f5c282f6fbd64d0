#include "AudioDeviceReport.h"

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>
#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

#include <cstdio>

juce::String AudioDeviceReport::describe (juce::AudioIODevice* device)
{
    if (device == nullptr)
        return "No audio device could be opened: choose one with \"Options\" > \"Audio/MIDI Settings...\".";

    return "Audio device: " + device->getTypeName() + " \"" + device->getName() + "\" at "
         + juce::String (juce::roundToInt (device->getCurrentSampleRate())) + " Hz.";
}

void AudioDeviceReport::printForRunningProgram()
{
    juce::AudioIODevice* device = nullptr;

    if (auto* holder = juce::StandalonePluginHolder::getInstance())
        device = holder->deviceManager.getCurrentAudioDevice();

    // stdout is a pipe or a file for the scripts that start the program: flush at once.
    std::fputs ((describe (device) + "\n").toRawUTF8(), stdout);
    std::fflush (stdout);
}

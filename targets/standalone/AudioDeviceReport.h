#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

/** The one line the standalone program prints on stdout once it has tried to open its audio
    device at start: which device and rate it runs on, or that there is none and where the user
    picks one. */
class AudioDeviceReport final
{
public:
    /** The line for an open device, or for none (nullptr). */
    static juce::String describe (juce::AudioIODevice* device);

    /** Prints the line for the running standalone program's device; call once the application
        has been initialised (the plug-in holder opens the device while the window is made). */
    static void printForRunningProgram();
};

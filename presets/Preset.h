#pragma once

#include <juce_core/juce_core.h>

/** One preset: a name and the seven parameter values, the real ones in their own units (Hz, dB,
    gain) and the choices as indices. Preset files, the factory table and the undo history all
    hold these by value. A record that nothing has filled holds the parameters' defaults. */
struct Preset
{
    juce::String name;
    float cutoff = 20000.0f;
    float resonance = 0.0f;
    float drive = 1.0f;
    float makeupGain = 0.0f;
    int mode = 0;
    int slope = 2;
    int oversampling = 1;
};

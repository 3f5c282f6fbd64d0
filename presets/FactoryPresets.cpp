#include "presets/FactoryPresets.h"

namespace
{
    Preset makePreset (const char* name, float cutoff, float resonance, float drive, float makeupGain,
                       int mode, int slope, int oversampling)
    {
        Preset preset;
        preset.name = name;
        preset.cutoff = cutoff;
        preset.resonance = resonance;
        preset.drive = drive;
        preset.makeupGain = makeupGain;
        preset.mode = mode;
        preset.slope = slope;
        preset.oversampling = oversampling;
        return preset;
    }

    // Choice indices: mode 0 LowPass, 1 HighPass, 2 BandPass; slope 0 6 dB, 1 18 dB, 2 24 dB/oct;
    // oversampling 0 Off, 1 2x.
    constexpr int lowPass = 0, highPass = 1, bandPass = 2;
    constexpr int slope18 = 1, slope24 = 2;
    constexpr int off = 0, twice = 1;
}

juce::Array<Preset> makeFactoryPresets()
{
    return {
        makePreset ("Init",         20000.0f, 0.0f,  1.0f, 0.0f, lowPass,  slope24, twice),
        makePreset ("Warm LPF",     1200.0f,  0.28f, 1.8f, 3.0f, lowPass,  slope24, twice),
        makePreset ("Acid Bass",    650.0f,   0.62f, 3.2f, 3.0f, lowPass,  slope18, twice),
        makePreset ("Low Boom",     60.0f,    0.72f, 1.4f, 3.0f, lowPass,  slope24, twice),
        makePreset ("Kick Cleanup", 38.0f,    0.0f,  1.0f, 0.0f, highPass, slope18, off),
        makePreset ("Drum Radio",   950.0f,   0.44f, 2.5f, 2.0f, bandPass, slope18, off),
    };
}

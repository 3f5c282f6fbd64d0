#pragma once

#include <juce_core/juce_core.h>

#include <array>

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

    /** One of the seven values: the parameter it belongs to and where the record keeps it.
        Exactly one of the two member pointers is set. */
    struct Field
    {
        const char* parameterId;
        float Preset::* real;
        int Preset::* choice;

        bool isChoice() const noexcept                    { return choice != nullptr; }
        float valueIn (const Preset& p) const noexcept    { return isChoice() ? (float) (p.*choice) : p.*real; }
    };

    /** The seven values in the order they are always visited; the ids double as the preset
        file's attribute names. */
    static const std::array<Field, 7>& fields();
};

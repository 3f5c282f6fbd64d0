// Preset and bank files as found in the presets folder or chosen by the user: any bytes, read
// through the same calls the preset library makes. Whatever is read must hold finite values
// only, and write back out and read again to the same presets.

#include "fuzz/FuzzSupport.h"
#include "presets/PresetFiles.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace
{
    bool samePresets (const Preset& a, const Preset& b)
    {
        if (a.name != b.name)
            return false;

        for (const auto& field : Preset::fields())
        {
            const auto x = field.valueIn (a), y = field.valueIn (b);

            // No text of a file reads as a NaN or an infinity.
            if (! std::isfinite (x) || x != y)
                return false;
        }

        return true;
    }

    juce::File scratchFile (const char* name)
    {
        static const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                       .getNonexistentChildFile ("tessaline-preset-fuzz", {});
        [[maybe_unused]] const auto created = folder.createDirectory();
        return folder.getChildFile (name);
    }
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    FuzzSupport::initialiseOnce();
    const auto file = scratchFile ("input");

    if (! file.replaceWithData (data, size))
        return 0;

    Preset preset;

    if (readPresetFile (file, preset))
    {
        const auto copy = scratchFile ("copy.tslp");
        [[maybe_unused]] const auto written = createPresetXml (preset)->writeTo (copy);
        Preset again;

        if (! readPresetFile (copy, again) || ! samePresets (preset, again))
            std::abort();
    }

    juce::Array<Preset> presets;
    juce::String bankName;

    if (readBankFile (file, presets, bankName))
    {
        const auto copy = scratchFile ("copy.tslb");
        writeBankFile (copy, presets);
        juce::Array<Preset> again;
        juce::String nameAgain;

        if (! readBankFile (copy, again, nameAgain) || again.size() != presets.size())
            std::abort();

        for (int i = 0; i < presets.size(); ++i)
            if (! samePresets (presets.getReference (i), again.getReference (i)))
                std::abort();
    }

    return 0;
}

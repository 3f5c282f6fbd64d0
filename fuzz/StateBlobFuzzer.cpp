// The host's state blob: any bytes reach setStateInformation. Whatever is accepted must leave a
// processor whose own state reads back to itself byte for byte and whose values are in range.

#include "fuzz/FuzzSupport.h"
#include "processor/TessalineAudioProcessor.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace
{
    /** The XML inside a state blob, for the report. */
    juce::String textOf (const juce::MemoryBlock& blob)
    {
        return blob.getSize() > 8 ? juce::String::fromUTF8 (static_cast<const char*> (blob.getData()) + 8, (int) blob.getSize() - 8)
                                  : juce::String();
    }
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    FuzzSupport::initialiseOnce();
    // Kept to the end, like the framework (FuzzSupport.h).
    static auto& processor = *new TessalineAudioProcessor();

    processor.setStateInformation (data, (int) size);

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    TessalineAudioProcessor fresh;
    fresh.setStateInformation (saved.getData(), (int) saved.getSize());
    juce::MemoryBlock savedAgain;
    fresh.getStateInformation (savedAgain);

    if (saved != savedAgain)
    {
        std::fprintf (stderr, "saved:\n%s\nsaved again:\n%s\n",
                      textOf (saved).toRawUTF8(), textOf (savedAgain).toRawUTF8());
        std::abort();
    }

    for (auto* parameter : processor.getParameters())
    {
        const auto value = parameter->getValue();

        if (! (value >= 0.0f && value <= 1.0f))
            std::abort();
    }

    return 0;
}

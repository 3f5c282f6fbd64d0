// The host's state blob: any bytes reach setStateInformation. Whatever is accepted must leave a
// processor whose own state reads back to itself byte for byte and whose values are in range.

#include "fuzz/FuzzSupport.h"
#include "processor/TessalineAudioProcessor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    FuzzSupport::initialiseOnce();
    static TessalineAudioProcessor processor;

    processor.setStateInformation (data, (int) size);

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    TessalineAudioProcessor fresh;
    fresh.setStateInformation (saved.getData(), (int) saved.getSize());
    juce::MemoryBlock savedAgain;
    fresh.getStateInformation (savedAgain);

    if (saved != savedAgain)
        std::abort();

    for (auto* parameter : processor.getParameters())
    {
        const auto value = parameter->getValue();

        if (! (value >= 0.0f && value <= 1.0f))
            std::abort();
    }

    return 0;
}

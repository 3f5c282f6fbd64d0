#pragma once

#include <juce_core/juce_core.h>

/** The file name a preset is stored under in a folder: the preset's name without the characters
    a file name cannot hold (File::createLegalFileName), then fitted to the rules of the system
    the program runs on. The one place where those rules differ between systems. */
namespace PresetFileNames
{
    /** The name without extension, never empty unless nothing legal is left of the name. */
    juce::String legalBaseName (const juce::String& presetName, const juce::File& folder);

    /** Room a writer needs beside a file's own name for the temporary file it moves into place
        (a dot, eight hex digits and ".partial"). */
    inline constexpr int temporarySuffixLength = 17;
}

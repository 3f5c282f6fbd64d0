#include "presets/PresetFileNames.h"

#include "presets/PresetFiles.h"

namespace
{
    /** A name's length as the system counts it in a file name: UTF-8 bytes on Linux, UTF-16 code
        units on Windows. */
    int systemLengthOf (const juce::String& name)
    {
       #if JUCE_WINDOWS
        return (int) juce::CharPointer_UTF16::getBytesRequiredFor (name.getCharPointer()) / (int) sizeof (juce::CharPointer_UTF16::CharType);
       #else
        return (int) name.getNumBytesAsUTF8();
       #endif
    }

    juce::String fitToLength (juce::String name, int maxLength)
    {
        while (name.isNotEmpty() && systemLengthOf (name) > maxLength)
            name = name.dropLastCharacters (1);

        return name;
    }

   #if JUCE_WINDOWS
    /** Windows opens a device, not a file, for these names, whatever extension follows them. */
    bool isReservedDeviceName (const juce::String& stem)
    {
        static const juce::StringArray devices { "CON", "PRN", "AUX", "NUL",
                                                 "COM0", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                                 "LPT0", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9" };
        return devices.contains (stem.trimEnd(), true);
    }

    juce::String fitToSystem (const juce::String& name, const juce::File& folder)
    {
        // Control characters are not allowed in Windows file names.
        juce::String printable;

        for (auto c : name)
            if (c >= 0x20)
                printable << juce::String::charToString (c);

        const auto stem = printable.upToFirstOccurrenceOf (".", false, false);

        if (isReservedDeviceName (stem))
            printable = stem + "_" + printable.substring (stem.length());

        // Without long-path support a whole path stays below MAX_PATH (260 with its terminator),
        // the writer's temporary file included; one name stays within 255.
        const auto folderLength = systemLengthOf (folder.getFullPathName()) + 1;
        const auto extensionLength = (int) juce::String (PresetFiles::presetExtension).length();
        const auto roomInPath = 259 - folderLength - extensionLength - PresetFileNames::temporarySuffixLength;
        return fitToLength (printable, juce::jmin (255 - extensionLength - PresetFileNames::temporarySuffixLength, roomInPath));
    }
   #else
    juce::String fitToSystem (const juce::String& name, const juce::File&)
    {
        // Linux allows 255 bytes a name, and a name of 128 characters can take four times as many.
        return fitToLength (name, 200);
    }
   #endif
}

juce::String PresetFileNames::legalBaseName (const juce::String& presetName, const juce::File& folder)
{
    return fitToSystem (juce::File::createLegalFileName (presetName), folder);
}

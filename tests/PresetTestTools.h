#pragma once

#include "presets/PresetFiles.h"

#include <gtest/gtest.h>

/** Helpers for tests that use the presets folder (under the test program's temporary HOME). */
namespace PresetTestTools
{
    /** Starts and ends every test with no presets folder. */
    struct EmptyPresetFolder : ::testing::Test
    {
        void SetUp() override      { [[maybe_unused]] const auto removed = getPresetFolder().deleteRecursively(); }
        void TearDown() override   { [[maybe_unused]] const auto removed = getPresetFolder().deleteRecursively(); }

        static juce::File folder()   { return getPresetFolder(); }

        static juce::File writeToFolder (const juce::String& fileName, const juce::String& text)
        {
            [[maybe_unused]] const auto created = folder().createDirectory();
            const auto file = folder().getChildFile (fileName);
            EXPECT_TRUE (file.replaceWithText (text));
            return file;
        }

        static juce::File writeToFolder (const juce::String& fileName, const juce::XmlElement& element)
        {
            return writeToFolder (fileName, element.toString());
        }
    };

    inline Preset makePreset (const juce::String& name, float cutoff, float resonance = 0.1f, int mode = 0)
    {
        Preset preset;
        preset.name = name;
        preset.cutoff = cutoff;
        preset.resonance = resonance;
        preset.drive = 2.0f;
        preset.makeupGain = 1.5f;
        preset.mode = mode;
        preset.slope = 1;
        preset.oversampling = 0;
        return preset;
    }

    inline std::unique_ptr<juce::XmlElement> makeBank (const juce::String& name, std::initializer_list<Preset> presets)
    {
        auto bank = std::make_unique<juce::XmlElement> ("TessalineBank");

        if (name.isNotEmpty())
            bank->setAttribute ("name", name);

        for (const auto& preset : presets)
            bank->addChildElement (createPresetXml (preset).release());

        return bank;
    }

    inline bool sameValues (const Preset& a, const Preset& b)
    {
        return a.cutoff == b.cutoff && a.resonance == b.resonance && a.drive == b.drive && a.makeupGain == b.makeupGain
            && a.mode == b.mode && a.slope == b.slope && a.oversampling == b.oversampling;
    }

    inline bool samePreset (const Preset& a, const Preset& b)   { return a.name == b.name && sameValues (a, b); }

    inline juce::StringArray namesOf (const juce::Array<Preset>& presets)
    {
        juce::StringArray names;

        for (const auto& preset : presets)
            names.add (preset.name);

        return names;
    }

    /** The folder's files and their contents, to prove that something changed none of them. */
    inline juce::StringPairArray snapshotOfFolder()
    {
        juce::StringPairArray files;

        for (const auto& file : getPresetFolder().findChildFiles (juce::File::findFiles, false))
            files.set (file.getFileName(), juce::String::toHexString (file.loadFileAsString().hashCode64()));

        return files;
    }
}

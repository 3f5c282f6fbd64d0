#pragma once

#include "presets/Preset.h"

#include <juce_core/juce_core.h>

// Preset and bank files: one preset per ".tslp" document (".tslpreset" is read too), a named
// list of presets per ".tslb" document, all of them kept in one presets folder per user that the
// standalone program and the plug-in share. Message thread only.
namespace PresetFiles
{
    inline constexpr const char* presetTag = "TessalinePreset";
    inline constexpr const char* bankTag = "TessalineBank";
    inline constexpr const char* presetExtension = ".tslp";
    inline constexpr const char* legacyPresetExtension = ".tslpreset";
    inline constexpr const char* bankExtension = ".tslb";
    inline constexpr const char* presetFileFilter = "*.tslp;*.tslpreset";
    inline constexpr const char* bankFileFilter = "*.tslb";
    inline constexpr const char* defaultPresetName = "User Preset";

    /** Documents larger than this are not read: a preset is a few hundred bytes, so this holds
        banks of tens of thousands while a stray huge file cannot stall the editor. */
    inline constexpr int maxDocumentBytes = 8 * 1024 * 1024;
}

/** The presets folder under the user's application-data folder; not created here. */
juce::File getPresetFolder();

/** A new preset element holding every field of the record. */
std::unique_ptr<juce::XmlElement> createPresetXml (const Preset&);

/** Fills the record from a preset element, absent attributes taking their defaults. Returns
    false, leaving the record untouched, for an element of any other tag. */
bool readPresetXml (const juce::XmlElement&, Preset&);

/** Replaces the list with the presets of a bank element (foreign children skipped). Returns
    false, leaving the list untouched, for an element of any other tag. */
bool readBankXml (const juce::XmlElement&, juce::Array<Preset>&);

/** Writes a bank file to the target, its extension made ".tslb". Failures are not reported. */
void writeBankFile (const juce::File& target, const juce::Array<Preset>&);

/** Writes one preset file into the presets folder, creating the folder first, replacing a file
    of the same name. The file is named after the whole preset name, so names that differ only
    after a dot keep files of their own. Failures are not reported. */
void savePresetToFolder (const Preset&);

/** The file a preset of this name is saved to by savePresetToFolder. */
juce::File getPresetFileFor (const juce::String& presetName);

/** Parses a preset or bank document; null when it is missing, unreadable, too large or not
    well-formed XML. */
std::unique_ptr<juce::XmlElement> parsePresetDocument (const juce::File&);

/** Reads a preset file into the record; false (record untouched) when it is rejected. */
bool readPresetFile (const juce::File&, Preset&);

/** Reads a bank file into the list, and its name (the root's `name`, else the file's name
    without extension); false (both untouched) when it is rejected. */
bool readBankFile (const juce::File&, juce::Array<Preset>&, juce::String& bankName);

#include "presets/PresetFiles.h"
#include "presets/PresetFileNames.h"
#include "processor/DecimalText.h"
#include "processor/Utf8Text.h"
#include "processor/XmlNesting.h"

#include <cmath>

#if ! JUCE_WINDOWS
 #include <sys/stat.h>
#endif

namespace
{
    /** What a preset file means by each field it does not mention, in field order. Note that a
        file without `oversampling` means "Off", unlike a fresh record. */
    constexpr std::array<double, 7> absentValues { 20000.0, 0.0, 1.0, 0.0, 0.0, 2.0, 0.0 };

    constexpr const char* nameAttribute = "name";
    constexpr const char* versionAttribute = "version";
    constexpr int bankVersion = 1;

    /** A real attribute's text, read by the shared reader rather than JUCE's (DecimalText.h):
        its leading number, 0 when there is none, the nearest float beyond the float range. */
    float realFrom (const juce::String& text)
    {
        return DecimalText::toFloat (DecimalText::leadingNumber (text.toRawUTF8(), text.getNumBytesAsUTF8()));
    }

    /** An integer attribute's text: the integer part of its leading number, 0 when there is
        none, the nearest end of the int range beyond it. */
    int integerFrom (const juce::String& text)
    {
        return DecimalText::leadingInteger (text.toRawUTF8(), text.getNumBytesAsUTF8());
    }

    /** What a file would read for a value that is no finite number, so that JUCE only ever
        writes a finite one: a NaN as 0 (the "nan" of a file is no number), an infinity as the
        largest float of its sign (as a too-long exponent reads). */
    double writableReal (float value)
    {
        if (std::isnan (value))
            return 0.0;

        return (double) DecimalText::toFloat ((double) value);
    }

    /** A child of the folder with exactly this name. File::getChildFile would read a leading
        '~' as somebody's home folder. */
    juce::File childNamed (const juce::File& folder, const juce::String& fileName)
    {
        return juce::File (folder.getFullPathName() + juce::File::getSeparatorString() + fileName);
    }

    /** Writes the whole document beside the target and only then moves it into the target's
        place, so a full disk, a missing right or a writer killed part way leaves the previous
        file as it was. XmlElement::writeTo cannot be trusted with that: it takes a short write
        (the usual sign of a full disk) for success and renames the piece over the target. */
    bool writeWholeOrNothing (const juce::XmlElement& element, const juce::File& target)
    {
        juce::MemoryOutputStream text;
        element.writeTo (text, juce::XmlElement::TextFormat());

        // Beside the target under a name no reader takes for a preset or bank, so that what a
        // writer killed part way leaves behind never shows up as one.
        const juce::TemporaryFile temporary (target, target.getSiblingFile (target.getFileName() + "."
                                                                             + juce::String::toHexString (juce::Random().nextInt())
                                                                             + ".partial"));

        {
            juce::FileOutputStream out (temporary.getFile());

            if (! out.openedOk() || ! out.write (text.getData(), text.getDataSize()))
                return false;

            out.flush(); // fsync on POSIX: the bytes are on disk before the rename

            if (out.getStatus().failed())
                return false;
        }

        return temporary.getFile().getSize() == (juce::int64) text.getDataSize()
            && temporary.overwriteTargetFileWithTemporary();
    }

    void writeDocument (const juce::XmlElement& element, const juce::File& target)
    {
        // Failures are not reported: the caller's in-memory change stands either way.
        [[maybe_unused]] const auto written = writeWholeOrNothing (element, target);
    }

    /** Only regular files are read: opening a named pipe would wait for a writer for ever, and
        a device could be read without end. */
    bool isRegularFile (const juce::File& file)
    {
       #if JUCE_WINDOWS
        return file.existsAsFile();
       #else
        struct stat info {};
        return ::stat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode);
       #endif
    }
}

juce::File getPresetFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Tessaline")
        .getChildFile ("Presets");
}

std::unique_ptr<juce::XmlElement> createPresetXml (const Preset& preset)
{
    auto element = std::make_unique<juce::XmlElement> (PresetFiles::presetTag);
    element->setAttribute (nameAttribute, preset.name);

    for (const auto& field : Preset::fields())
    {
        if (field.isChoice())
            element->setAttribute (field.parameterId, preset.*field.choice);
        else
            element->setAttribute (field.parameterId, writableReal (preset.*field.real));
    }

    return element;
}

bool readPresetXml (const juce::XmlElement& element, Preset& preset)
{
    if (! element.hasTagName (PresetFiles::presetTag))
        return false;

    preset.name = element.getStringAttribute (nameAttribute, PresetFiles::defaultPresetName);

    for (size_t i = 0; i < Preset::fields().size(); ++i)
    {
        const auto& field = Preset::fields()[i];

        const auto present = element.hasAttribute (field.parameterId);
        const auto& text = element.getStringAttribute (field.parameterId);

        if (field.isChoice())
            preset.*field.choice = present ? integerFrom (text) : (int) absentValues[i];
        else
            preset.*field.real = present ? realFrom (text) : (float) absentValues[i];
    }

    return true;
}

bool readBankXml (const juce::XmlElement& element, juce::Array<Preset>& presets)
{
    if (! element.hasTagName (PresetFiles::bankTag))
        return false;

    juce::Array<Preset> read;

    for (auto* child : element.getChildIterator())
    {
        Preset preset;

        if (readPresetXml (*child, preset))
            read.add (preset);
    }

    presets.swapWith (read);
    return true;
}

void writeBankFile (const juce::File& target, const juce::Array<Preset>& presets)
{
    const auto file = target.hasFileExtension (PresetFiles::bankExtension) ? target
                                                                           : target.withFileExtension (PresetFiles::bankExtension);

    juce::XmlElement bank (PresetFiles::bankTag);
    bank.setAttribute (nameAttribute, file.getFileNameWithoutExtension());
    bank.setAttribute (versionAttribute, bankVersion);

    for (const auto& preset : presets)
        bank.addChildElement (createPresetXml (preset).release());

    writeDocument (bank, file);
}

juce::File getPresetFileFor (const juce::String& presetName)
{
    const auto baseName = presetName.isEmpty() ? juce::String (PresetFiles::defaultPresetName) : presetName;
    const auto folder = getPresetFolder();
    auto legalName = PresetFileNames::legalBaseName (baseName, folder);

    // A name made only of characters a file name cannot hold.
    if (legalName.isEmpty())
        legalName = PresetFiles::defaultPresetName;

    return childNamed (folder, legalName + PresetFiles::presetExtension);
}

void savePresetToFolder (const Preset& preset)
{
    [[maybe_unused]] const auto created = getPresetFolder().createDirectory();
    writeDocument (*createPresetXml (preset), getPresetFileFor (preset.name));
}

std::unique_ptr<juce::XmlElement> parsePresetDocument (const juce::File& file)
{
    if (! isRegularFile (file))
        return nullptr;

    juce::FileInputStream stream (file);

    if (! stream.openedOk())
        return nullptr;

    // Read through a bounded stream rather than by the file's size: a device or a file that
    // grows would otherwise be read for ever.
    juce::MemoryBlock bytes;
    stream.readIntoMemoryBlock (bytes, PresetFiles::maxDocumentBytes + 1);

    if (bytes.getSize() > (size_t) PresetFiles::maxDocumentBytes)
        return nullptr;

    if (! XmlNesting::isShallow (static_cast<const char*> (bytes.getData()), bytes.getSize()))
        return nullptr;

    // Our files are UTF-8 text: anything else is no file of ours, and could lead JUCE's text
    // classes or its parser past the end of the text (Utf8Text.h, XmlNesting.h).
    const auto* bytesRead = static_cast<const char*> (bytes.getData());

    if (! Utf8Text::isWellFormed (bytesRead, bytes.getSize())
        || ! Utf8Text::endsAtFirstNul (bytesRead, bytes.getSize())
        || ! XmlNesting::hasNoInnerProcessingInstruction (bytesRead, bytes.getSize())
        || ! XmlNesting::hasAsciiMarkup (bytesRead, bytes.getSize())
        || ! XmlNesting::hasOnlyWholeCharacterReferences (bytesRead, bytes.getSize()))
        return nullptr;

    juce::MemoryInputStream text (bytes, false);
    return juce::parseXML (text.readEntireStreamAsString());
}

bool readPresetFile (const juce::File& file, Preset& preset)
{
    const auto document = parsePresetDocument (file);
    return document != nullptr && readPresetXml (*document, preset);
}

bool readBankFile (const juce::File& file, juce::Array<Preset>& presets, juce::String& bankName)
{
    const auto document = parsePresetDocument (file);

    if (document == nullptr || ! readBankXml (*document, presets))
        return false;

    bankName = document->getStringAttribute (nameAttribute, file.getFileNameWithoutExtension());
    return true;
}

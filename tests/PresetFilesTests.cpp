#include "PresetTestTools.h"
#include "processor/DecimalText.h"

#include <iterator>
#include <limits>

using namespace PresetTestTools;

namespace
{
    juce::String singleLine (const juce::XmlElement& element)
    {
        return element.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    }

    std::unique_ptr<juce::XmlElement> parse (const juce::String& text)
    {
        auto element = juce::parseXML (text);
        EXPECT_NE (element, nullptr) << text;
        return element;
    }

    Preset readBack (const Preset& written)
    {
        const auto element = parse (createPresetXml (written)->toString());
        Preset read;
        read.name = "untouched";
        EXPECT_TRUE (readPresetXml (*element, read));
        return read;
    }

    using PresetFolderTest = EmptyPresetFolder;
}

//==============================================================================
TEST (PresetXml, WritesEveryFieldInOrderWithDoublesAsJuceSerialisesThem)
{
    Preset init;
    init.name = "Init";
    EXPECT_EQ (singleLine (*createPresetXml (init)),
               "<TessalinePreset name=\"Init\" cutoff=\"20000.0\" resonance=\"0.0\" drive=\"1.0\" makeupGain=\"0.0\" "
               "mode=\"0\" slope=\"2\" oversampling=\"1\"/>");

    // The float is widened to double before it is written, so its exact binary value shows.
    Preset odd;
    odd.resonance = 0.28f;
    odd.mode = -3;
    EXPECT_EQ (createPresetXml (odd)->getStringAttribute ("resonance"), "0.2800000011920929");
    EXPECT_EQ (createPresetXml (odd)->getStringAttribute ("mode"), "-3");
    EXPECT_TRUE (singleLine (*createPresetXml (odd)).startsWith ("<TessalinePreset name=\"\" cutoff="));
}

TEST (PresetXml, RecordsSurviveAWriteAndReadUnchanged)
{
    const Preset cases[] = {
        makePreset ("Warm LPF", 1200.0f, 0.28f),
        makePreset ("", 20.0f, 0.0f),                                           // an empty name stays empty
        makePreset (juce::String::fromUTF8 (u8"Bass \u00e9t\u00e9 \u6f22\u5b57 \"&<>"), 999.9f, 0.99f, 2),
        makePreset ("out of range", 1.0e9f, -5.0f, 7),                          // kept until applied
        makePreset ("tiny", 1.0e-30f, 1.0f / 3.0f, -1),
    };

    for (const auto& written : cases)
    {
        const auto read = readBack (written);
        EXPECT_TRUE (samePreset (read, written)) << written.name;
    }
}

TEST (PresetXml, AbsentAndOddAttributesReadAsDocumented)
{
    struct Case { const char* xml; Preset expected; };

    Preset onlyName;
    onlyName.name = "Only Name";
    onlyName.oversampling = 0;   // a file without it means Off, unlike a fresh record

    Preset nothing = onlyName;
    nothing.name = "User Preset";

    Preset oddNumbers = nothing;
    oddNumbers.cutoff = 0.0f;     // no leading number
    oddNumbers.drive = 12.0f;     // its leading number
    oddNumbers.mode = 1;          // the integer part of a fraction
    oddNumbers.slope = 0;

    const Case cases[] = {
        { "<TessalinePreset name=\"Only Name\"/>", onlyName },
        { "<TessalinePreset/>", nothing },
        { "<TessalinePreset cutoff=\"abc\" drive=\"12abc\" mode=\"1.7\" slope=\"x\"/>", oddNumbers },
        { "<tessalinepreset/>", nothing },       // tags are matched without regard to case
        { "<TESSALINEPRESET><child/>text</TESSALINEPRESET>", nothing },
    };

    for (const auto& c : cases)
    {
        Preset read;
        ASSERT_TRUE (readPresetXml (*parse (c.xml), read)) << c.xml;
        EXPECT_TRUE (samePreset (read, c.expected)) << c.xml << " read as " << read.name << " " << read.cutoff;
    }
}

TEST (PresetXml, ForeignElementsAreRejectedAndLeaveTheTargetAlone)
{
    const auto kept = makePreset ("kept", 440.0f);

    for (const auto* xml : { "<TessalineBank/>", "<Preset name=\"x\"/>", "<TessalinePresets/>" })
    {
        auto preset = kept;
        EXPECT_FALSE (readPresetXml (*parse (xml), preset)) << xml;
        EXPECT_TRUE (samePreset (preset, kept)) << xml;
    }

    juce::Array<Preset> list { kept };
    EXPECT_FALSE (readBankXml (*parse ("<TessalinePreset/>"), list));
    ASSERT_EQ (list.size(), 1);
    EXPECT_TRUE (samePreset (list[0], kept));
}

TEST (PresetXml, BanksHoldTheirPresetElementsInOrderAndSkipOthers)
{
    juce::Array<Preset> list { makePreset ("replaced", 1.0f) };

    ASSERT_TRUE (readBankXml (*parse ("<TessalineBank name=\"Empty\" version=\"1\"/>"), list));
    EXPECT_TRUE (list.isEmpty());

    ASSERT_TRUE (readBankXml (*parse ("<tessalinebank>"
                                      "<TessalinePreset name=\"A\" cutoff=\"100\"/>"
                                      "<Foreign name=\"F\"/>"
                                      "<TessalinePreset name=\"B\" cutoff=\"200\"/>"
                                      "</tessalinebank>"),
                              list));
    EXPECT_EQ (namesOf (list), juce::StringArray ({ "A", "B" }));
    EXPECT_EQ (list[1].cutoff, 200.0f);
}

//==============================================================================
TEST_F (PresetFolderTest, LiesUnderTheUsersApplicationDataFolder)
{
    const auto expected = juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".config/Tessaline/Presets");
    EXPECT_EQ (getPresetFolder(), expected);
    EXPECT_FALSE (getPresetFolder().exists());   // asking for it creates nothing
}

TEST_F (PresetFolderTest, SavedDocumentsHaveTheStandardDeclarationCrLfAndWrappedAttributes)
{
    savePresetToFolder (makePreset ("Format", 1200.0f));

    const auto file = folder().getChildFile ("Format.tslp");
    ASSERT_TRUE (file.existsAsFile());

    const auto text = file.loadFileAsString();
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<TessalinePreset name=\"Format\"")) << text;

    const auto lines = juce::StringArray::fromTokens (text, "\n", {});
    EXPECT_GT (lines.size(), 3) << "attributes wrap once a line passes 60 characters";

    for (int i = 0; i < lines.size() - 1; ++i)
        EXPECT_TRUE (lines[i].endsWith ("\r")) << i;

    Preset read;
    ASSERT_TRUE (readPresetFile (file, read));
    EXPECT_TRUE (samePreset (read, makePreset ("Format", 1200.0f)));
}

TEST_F (PresetFolderTest, PresetFilesAreNamedAfterTheWholeLegalName)
{
    struct Case { juce::String presetName; juce::String fileName; };
    const Case cases[] = {
        { "Lead.Wide", "Lead.Wide.tslp" },       // not "Lead.tslp": "Lead.Narrow" would overwrite it
        { "Lead.Narrow", "Lead.Narrow.tslp" },
        { "Lead", "Lead.tslp" },
        { "a:b/c\\d?", "abcd.tslp" },
        { "", "User Preset.tslp" },
        { "///", "User Preset.tslp" },           // nothing legal is left
        { "~", "~.tslp" },                       // not somebody's home folder
        { "~root", "~root.tslp" },
        { "..", "...tslp" },
        { "  spaced  ", "  spaced  .tslp" },
    };

    for (const auto& c : cases)
    {
        auto preset = makePreset (c.presetName, 500.0f);
        savePresetToFolder (preset);

        const juce::File file (folder().getFullPathName() + "/" + c.fileName);
        ASSERT_TRUE (file.existsAsFile()) << c.presetName;
        EXPECT_EQ (file.getParentDirectory(), folder());

        Preset read;
        ASSERT_TRUE (readPresetFile (file, read));
        EXPECT_EQ (read.name, c.presetName) << "the name attribute keeps the name as given";
    }

    EXPECT_EQ (folder().getNumberOfChildFiles (juce::File::findFiles), 9);   // "" and "///" share a file
}

TEST_F (PresetFolderTest, LongAndUnicodeNamesStillGetAFile)
{
    const auto longUnicode = juce::String::repeatedString (juce::String::fromUTF8 (u8"\u6f22\U0001F3B9"), 100);
    const juce::String names[] = { longUnicode, juce::String::repeatedString ("x", 500) };

    for (const auto& name : names)
    {
        savePresetToFolder (makePreset (name, 321.0f));
        const auto file = getPresetFileFor (name);
        ASSERT_TRUE (file.existsAsFile()) << name.length();
        EXPECT_LE (file.getFileName().getNumBytesAsUTF8(), (size_t) 255);

        Preset read;
        ASSERT_TRUE (readPresetFile (file, read));
        EXPECT_EQ (read.name, name);
    }
}

TEST_F (PresetFolderTest, SavingTheSameNameAgainKeepsOneFileWithTheLaterValues)
{
    savePresetToFolder (makePreset ("Twice", 100.0f));
    savePresetToFolder (makePreset ("Twice", 200.0f));

    EXPECT_EQ (folder().getNumberOfChildFiles (juce::File::findFiles), 1);
    Preset read;
    ASSERT_TRUE (readPresetFile (folder().getChildFile ("Twice.tslp"), read));
    EXPECT_EQ (read.cutoff, 200.0f);
}

TEST_F (PresetFolderTest, BankFilesTakeTheTslbExtensionAndTheFinalNameAsTheirName)
{
    const auto elsewhere = juce::File::createTempFile ("banks");
    ASSERT_TRUE (elsewhere.createDirectory());

    struct Case { const char* picked; const char* written; const char* bankName; };
    const Case cases[] = {
        { "Live Set.xml", "Live Set.tslb", "Live Set" },
        { "No Extension", "No Extension.tslb", "No Extension" },
        { "Upper.TSLB", "Upper.TSLB", "Upper" },
    };

    for (const auto& c : cases)
    {
        writeBankFile (elsewhere.getChildFile (c.picked), { makePreset ("One", 100.0f), makePreset ("Two", 200.0f) });

        const auto written = elsewhere.getChildFile (c.written);
        ASSERT_TRUE (written.existsAsFile()) << c.picked;

        const auto root = juce::parseXML (written);
        ASSERT_NE (root, nullptr);
        EXPECT_EQ (root->getTagName(), "TessalineBank");
        EXPECT_EQ (root->getStringAttribute ("name"), c.bankName);
        EXPECT_EQ (root->getStringAttribute ("version"), "1");
        EXPECT_EQ (root->getNumChildElements(), 2);
    }

    EXPECT_FALSE (elsewhere.getChildFile ("Live Set.xml").exists());
    EXPECT_TRUE (elsewhere.deleteRecursively());
}

TEST_F (PresetFolderTest, DamagedFilesAreRejectedWithoutHarm)
{
    juce::MemoryBlock binary (4096);
    juce::Random (42).fillBitsRandomly (binary.getData(), binary.getSize());

    const auto write = [] (const char* name, const void* data, size_t size)
    {
        [[maybe_unused]] const auto created = folder().createDirectory();
        const auto file = folder().getChildFile (name);
        EXPECT_TRUE (file.replaceWithData (data, size));
        return file;
    };

    const juce::String huge = "<TessalinePreset name=\"" + juce::String::repeatedString ("h", PresetFiles::maxDocumentBytes) + "\"/>";

    const juce::File rejected[] = {
        write ("empty.tslp", "", 0),
        write ("malformed.tslp", "<TessalinePreset name=\"x\"><", 27),
        write ("text.tslp", "garbage", 7),
        write ("mismatched.tslp", "<TessalinePreset><a></TessalinePreset>", 38),
        write ("foreign.tslp", "<Other/>", 8),
        write ("binary.tslp", binary.getData(), binary.getSize()),
        write ("huge.tslp", huge.toRawUTF8(), huge.getNumBytesAsUTF8()),
        write ("unfinished-reference.tslp", "<TessalinePreset>&#x1", 21),
        write ("after-a-nul.tslp", "<TessalinePreset name=\"\0\xff\"/>", 28),
        folder().getChildFile ("missing.tslp"),
    };

    const auto before = snapshotOfFolder();

    for (const auto& file : rejected)
    {
        auto preset = makePreset ("kept", 1.0f);
        EXPECT_FALSE (readPresetFile (file, preset)) << file.getFileName();
        EXPECT_EQ (preset.name, "kept");

        juce::Array<Preset> list;
        juce::String name = "kept";
        EXPECT_FALSE (readBankFile (file, list, name)) << file.getFileName();
        EXPECT_EQ (name, "kept");
    }

    EXPECT_EQ (snapshotOfFolder(), before);
}

TEST_F (PresetFolderTest, ADeviceNamedLikeAPresetIsReadOnlyUpToTheLimit)
{
    // An endless source (a link to /dev/zero) must not be read for ever.
    [[maybe_unused]] const auto created = folder().createDirectory();
    ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (folder().getChildFile ("zero.tslp"), true));

    Preset preset;
    EXPECT_FALSE (readPresetFile (folder().getChildFile ("zero.tslp"), preset));
}

TEST_F (PresetFolderTest, AFolderThatCannotBeCreatedChangesNothing)
{
    // A plain file where the presets folder should be: nothing can be written below it.
    const auto parent = folder().getParentDirectory();
    ASSERT_TRUE (parent.createDirectory());
    ASSERT_TRUE (folder().replaceWithText ("in the way"));

    savePresetToFolder (makePreset ("Lost", 100.0f));
    writeBankFile (folder().getChildFile ("bank.tslb"), { makePreset ("Lost", 100.0f) });

    EXPECT_TRUE (folder().existsAsFile());
    EXPECT_EQ (folder().loadFileAsString(), "in the way");
    EXPECT_TRUE (folder().deleteFile());
}

//==============================================================================
namespace
{
    /** Whether every real attribute of the element is a finite number in plain text. */
    bool writesFiniteNumbers (const juce::XmlElement& element)
    {
        for (const auto* id : { "cutoff", "resonance", "drive", "makeupGain" })
        {
            const auto text = element.getStringAttribute (id);
            double number = 0.0;

            if (! DecimalText::parse (text.toRawUTF8(), text.getNumBytesAsUTF8(), number))
                return false;
        }

        return true;
    }
}

TEST_F (PresetFolderTest, NumbersInEveryFormReadAsTheirLeadingNumberAndSaveBackAsFiniteText)
{
    // A real is its leading number (0 when there is none: "nan" and "inf" are none), beyond the
    // float range the largest float of its sign; an integer the integer part of its leading
    // number, beyond the int range the nearer end of it. Ranges are left to applying.
    constexpr auto floatMax = std::numeric_limits<float>::max();
    constexpr auto intMax = std::numeric_limits<int>::max();
    constexpr auto intMin = std::numeric_limits<int>::min();
    struct Case { const char* text; float real; int integer; };

    const Case cases[] = {
        { "440.5",            440.5f,     440 },
        { " 1e3 ",            1000.0f,    1 },
        { "1e9999999999",     floatMax,   1 },
        { "-1E9999999999",    -floatMax,  -1 },
        { "1e39",             floatMax,   1 },
        { "1e-9999999999",    0.0f,       1 },
        { "nan",              0.0f,       0 },
        { "inf",              0.0f,       0 },
        { "-inf",             0.0f,       0 },
        { "1,5",              1.0f,       1 },
        { "",                 0.0f,       0 },
        { "2147483648",       2147483648.0f,  intMax },
        { "-2147483649",      -2147483649.0f, intMin },
        { "99999999999999999999", 1e20f,  intMax },
    };

    juce::String bankText ("<TessalineBank name=\"Numbers\">");

    for (const auto& c : cases)
    {
        const auto text = juce::String (c.text);
        const auto presetText = "<TessalinePreset name=\"" + text + "\" cutoff=\"" + text + "\" resonance=\"" + text
                                + "\" drive=\"" + text + "\" makeupGain=\"" + text + "\" mode=\"" + text + "\" slope=\""
                                + text + "\" oversampling=\"" + text + "\"/>";
        bankText << presetText;

        Preset expected;
        expected.name = c.text;
        expected.cutoff = expected.resonance = expected.drive = expected.makeupGain = c.real;
        expected.mode = expected.slope = expected.oversampling = c.integer;

        Preset read;
        ASSERT_TRUE (readPresetXml (*parse (presetText), read)) << c.text;
        EXPECT_TRUE (samePreset (read, expected)) << c.text << " read as " << read.cutoff << ", " << read.mode;

        // As Load Preset copies it into the folder.
        savePresetToFolder (read);
        const auto saved = juce::parseXML (getPresetFileFor (read.name));
        ASSERT_NE (saved, nullptr) << c.text;
        EXPECT_TRUE (writesFiniteNumbers (*saved)) << saved->toString();

        Preset again;
        ASSERT_TRUE (readPresetFile (getPresetFileFor (read.name), again)) << c.text;
        EXPECT_TRUE (samePreset (again, expected)) << c.text;
    }

    // The same presets in a bank, read and exported again.
    const auto bankFile = writeToFolder ("numbers.tslb", bankText + "</TessalineBank>");
    juce::Array<Preset> presets;
    juce::String bankName;
    ASSERT_TRUE (readBankFile (bankFile, presets, bankName));
    ASSERT_EQ (presets.size(), (int) std::size (cases));

    const auto exported = folder().getChildFile ("exported.tslb");
    writeBankFile (exported, presets);
    const auto bank = juce::parseXML (exported);
    ASSERT_NE (bank, nullptr);

    for (auto* element : bank->getChildIterator())
        EXPECT_TRUE (writesFiniteNumbers (*element)) << element->toString();

    juce::Array<Preset> again;
    ASSERT_TRUE (readBankFile (exported, again, bankName));
    ASSERT_EQ (again.size(), presets.size());

    for (int i = 0; i < presets.size(); ++i)
        EXPECT_TRUE (samePreset (again[i], presets[i])) << cases[i].text;
}

TEST (PresetXml, ValuesThatAreNoFiniteNumberAreWrittenAsAFileWouldReadThem)
{
    constexpr auto nan = std::numeric_limits<float>::quiet_NaN();
    constexpr auto inf = std::numeric_limits<float>::infinity();

    auto odd = makePreset ("odd", nan, inf);
    odd.drive = -inf;
    odd.makeupGain = 2.0f;

    const auto element = createPresetXml (odd);
    EXPECT_EQ (element->getStringAttribute ("cutoff"), "0.0");
    EXPECT_TRUE (writesFiniteNumbers (*element)) << element->toString();

    const auto read = readBack (odd);
    EXPECT_EQ (read.cutoff, 0.0f);
    EXPECT_EQ (read.resonance, std::numeric_limits<float>::max());
    EXPECT_EQ (read.drive, -std::numeric_limits<float>::max());
    EXPECT_EQ (read.makeupGain, 2.0f);
}

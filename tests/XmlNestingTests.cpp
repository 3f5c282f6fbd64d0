#include "processor/TessalineAudioProcessor.h"
#include "processor/Utf8Text.h"
#include "processor/XmlNesting.h"
#include "tests/ProcessorTestTools.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
    std::string nested (int levels, const std::string& open = "<a>")
    {
        std::string text;

        for (int i = 0; i < levels; ++i)
            text += open;

        return text;
    }
}

TEST (XmlNesting, MeasuresTheDeepestElementWithoutParsing)
{
    struct Case { const char* what; std::string text; bool shallow; };

    const Case cases[] = {
        { "a preset",                    "<?xml version=\"1.0\"?>\n<TessalinePreset name=\"a\" cutoff=\"1.0\"/>", true },
        { "a bank of presets",           "<TessalineBank><TessalinePreset/><TessalinePreset></TessalinePreset></TessalineBank>", true },
        { "self-closing tags in a row",  nested (10000, "<a/>"), true },
        { "closed levels in a row",      [] { std::string t; for (int i = 0; i < 10000; ++i) t += "<a></a>"; return t; }(), true },
        { "'>' and '/>' inside values",  "<a b=\"x/>\" c='>'><d/></a>", true },
        { "a comment and a declaration", "<!-- <x> --><!DOCTYPE a><a/>", true },
        { "exactly the limit",           nested (XmlNesting::maxDepth), true },
        { "one past the limit",          nested (XmlNesting::maxDepth + 1), false },
        { "deep and never closed",       nested (100000), false },
        { "deep inside a quote that never ends (found by the fuzzer)", "<a b=\"" + nested (100000), false },
        { "'>' alone inside a value",    "<a b=\">\"/>", true },
        { "a tag that never ends",       "<a b=\"1\"", false },
        { "'<' inside a value (found by the fuzzer)", "<a b=\"x" + nested (10, "<a>") + "\"/>", false },
        { "deep with attributes",        nested (1000, "<a x='1'>"), false },
        { "empty",                       "", true },
    };

    for (const auto& c : cases)
        EXPECT_EQ (XmlNesting::isShallow (c.text.data(), c.text.size()), c.shallow) << c.what;
}

TEST (XmlNesting, AStateBlobNestedDeeperThanTheStackLeavesTheStateAlone)
{
    // Deep enough to overflow the parser's stack: a crash, without the check, in any build.
    TessalineAudioProcessor processor;
    ProcessorTestTools::setRaw (processor, "cutoff", 640.0f);
    juce::MemoryBlock before;
    processor.getStateInformation (before);

    const auto xml = "<PARAMETERS>" + nested (500000, "<PARAM>");
    juce::MemoryBlock blob;
    blob.append ("VC2!", 4);
    const auto length = (juce::uint32) xml.size();
    blob.append (&length, 4);
    blob.append (xml.data(), xml.size());

    processor.setStateInformation (blob.getData(), (int) blob.getSize());

    juce::MemoryBlock after;
    processor.getStateInformation (after);
    EXPECT_EQ (after, before);
}

TEST (Utf8Text, AcceptsWellFormedUtf8Only)
{
    struct Case { const char* what; std::string bytes; bool wellFormed; };

    const Case cases[] = {
        { "ASCII",                          "Warm Sweep 1200 Hz", true },
        { "two, three and four bytes",      "\xc3\xa9 \xe6\xbc\xa2 \xf0\x9f\x8e\xb9", true },
        { "the highest code point",         "\xf4\x8f\xbf\xbf", true },
        { "stops at a NUL",                 std::string ("ok\0\xff", 4), true },
        { "a stray continuation byte",      "\x80", false },
        { "a lead byte at the end",         "abc\xe6\xbc", false },
        { "a lead byte before a NUL",       std::string ("\xe6\0\0", 3), false },
        { "an overlong form",               "\xc0\xaf", false },
        { "an overlong three-byte form",    "\xe0\x80\xaf", false },
        { "a surrogate",                    "\xed\xa0\x80", false },
        { "past U+10FFFF",                  "\xf4\x90\x80\x80", false },
        { "five-byte lead (found by the fuzzer)", "\xfc\xfa\x00\xf8\xf7", false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (Utf8Text::isWellFormed (c.bytes.data(), c.bytes.size()), c.wellFormed) << c.what;
}

TEST (XmlNesting, ADeclarationInsideTheDocumentIsRefused)
{
    const std::pair<std::string, bool> cases[] = {
        { "<?xml version=\"1.0\"?>\n<TessalinePreset/>", true },
        { "\xef\xbb\xbf  <?xml version=\"1.0\"?><a/>", true },
        { "<a/>", true },
        { "<a><?xml version=\"1.0\"?></a>", false },
        { "<?xml version=\"1.0\"?><a><Tessaline<?xml ?></a>", false },
    };

    for (const auto& [text, accepted] : cases)
        EXPECT_EQ (XmlNesting::hasNoInnerProcessingInstruction (text.data(), text.size()), accepted) << text;
}

TEST (TessalineAudioProcessorState, ADamagedStateSavesToBytesThatAFreshInstanceSavesAgain)
{
    // Shapes the state fuzzers found: repeated entries and attributes, values out of range or
    // no numbers, foreign children, entries missing.
    const char* const damaged[] = {
        R"(<PARAMETERS><PARAM id="resonance" value="0.7nance" value="0.7"/><PARAM id="oversampling" value="5.0" value="2.5"/>)"
        R"(<PARAM id="oversampling" value="1.0"/><PARAM id="makeupGain" value=3.0"/></PARAMETERS>)",
        R"(<PARAMETERS><PARAM id="makeupGain" value="-3.0"/><PARAM id="mode" value="1.5"/><PARAM id="drive" value="abc"/></PARAMETERS>)",
        R"(<PARAMETERS><Other/><PARAM id="cutoff"/><PARAM id="unknown" value="1e308"/></PARAMETERS>)",
        R"(<parameters><PARAM id="slope" value="nan"/></parameters>)",
    };

    for (const auto* xml : damaged)
    {
        juce::MemoryBlock blob;
        juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (xml), blob);

        TessalineAudioProcessor first;
        first.setStateInformation (blob.getData(), (int) blob.getSize());
        juce::MemoryBlock saved;
        first.getStateInformation (saved);

        TessalineAudioProcessor fresh;
        fresh.setStateInformation (saved.getData(), (int) saved.getSize());
        juce::MemoryBlock savedAgain;
        fresh.getStateInformation (savedAgain);

        EXPECT_EQ (saved, savedAgain) << xml;
    }
}

TEST (XmlNesting, MarkupOutsideValuesMustBeAscii)
{
    const std::pair<std::string, bool> cases[] = {
        { "<TessalinePreset name=\"\xc3\xa9t\xc3\xa9 \xe6\xbc\xa2\"/>", true },        // any name in a value
        { "<a name='\xf0\x9f\x8e\xb9'>\xc3\xa9 text</a>", true },                        // and between tags
        { "<PAR\xc7\xb2\xdf\x96" "d=\"drive\" />", false },                                // found by the fuzzer
        { "<a \xc3\xa9=\"1\"/>", false },
    };

    for (const auto& [text, accepted] : cases)
        EXPECT_EQ (XmlNesting::hasAsciiMarkup (text.data(), text.size()), accepted) << text;
}

TEST (XmlNesting, CharacterReferencesMustBeWholeAndTextMustEndAtItsFirstNul)
{
    // JUCE's parser steps over the character that ends an unfinished reference: at the end of
    // the text, or at a NUL with more behind it, that is past what was checked.
    const std::pair<std::string, bool> references[] = {
        { "<a>&#13;&#10;&#x41;&#X7fFfFfFf;&#999999999999;</a>", true },
        { "<a>&amp; &lt; &#</a>", false },
        { "<TessalinePreset>&#x1", false },                 // found by the fuzzer
        { "<a b=\"&#x;\"/>", false },
        { "<a b=\"&#12\"/>", false },
        { "<a>&#x123456789;</a>", false },                  // more digits than the parser takes
        { "<a>&#1234567890123;</a>", false },
        { "<a>&#x1g;</a>", false },
        { "<a>&amp;&lt;&gt;&quot;&apos;</a>", true },       // the predefined entities
        { "<a>& #1</a>", false },                           // a bare '&': an entity up to the next ';'
        { "<a>&nbsp;</a>", false },                         // an entity our writer never writes
        { "<a>x&<a><b>&#xa;</a>", false },                  // found by the fuzzer: "<a><b>&#xa" taken for a name
        { "<a>&amp</a>", false },
    };

    for (const auto& [text, accepted] : references)
        EXPECT_EQ (XmlNesting::hasOnlyWholeCharacterReferences (text.data(), text.size()), accepted) << text;

    const std::pair<std::string, bool> nuls[] = {
        { std::string ("<a/>"), true },
        { std::string ("<a/>\0\0", 6), true },
        { std::string ("<a b=\"\0\xff\"/>", 11), false },
        { std::string ("\0<a/>", 5), false },
    };

    for (const auto& [text, accepted] : nuls)
        EXPECT_EQ (Utf8Text::endsAtFirstNul (text.data(), text.size()), accepted) << text.size();
}

TEST (XmlNesting, PresetFilesAndStatesWithAnUnfinishedReferenceAreRefused)
{
    TessalineAudioProcessor processor;
    ProcessorTestTools::setRaw (processor, "drive", 4.0f);
    const std::string xml = "<PARAMETERS><PARAM id=\"drive\" value=\"2.0\"/>&#x1";
    juce::MemoryBlock blob;
    blob.append ("VC2!", 4);
    const auto length = juce::ByteOrder::swapIfBigEndian ((juce::uint32) xml.size());
    blob.append (&length, 4);
    blob.append (xml.data(), xml.size());

    processor.setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_EQ (ProcessorTestTools::raw (processor, "drive"), 4.0f);
}

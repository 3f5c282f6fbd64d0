#include "processor/TessalineAudioProcessor.h"
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
        { "deep inside a quote that never ends", "<a b=\"" + nested (100000), true },
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

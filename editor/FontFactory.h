#pragma once

#include <juce_graphics/juce_graphics.h>

/** Every font of the editor is made here. JUCE 8 builds fonts from juce::FontOptions; moving to
    it changes only the one line in makeFont. */
namespace FontFactory
{
    /** The installed family that draws a design typeface. The named family itself where it is
        installed; otherwise an installed face of the same role (monospace for "Consolas",
        sans-serif with Helvetica's metrics for anything else) that has the requested weight.
        On Linux, JUCE 7 turns a missing family into an empty typeface that draws in the default
        regular sans-serif and sits its text too low, so the choice is made here. */
    inline juce::String installedFamilyFor (const juce::String& typefaceName, int styleFlags)
    {
        static const auto installed = juce::Font::findAllTypefaceNames();

        const auto wantsBold = (styleFlags & juce::Font::bold) != 0;
        const auto hasWeight = [wantsBold] (const juce::String& family)
        {
            return ! wantsBold || juce::Font::findAllTypefaceStyles (family).contains ("Bold");
        };

        if (installed.contains (typefaceName) && hasWeight (typefaceName))
            return typefaceName;

        static constexpr const char* monospaceFaces[] { "Liberation Mono", "DejaVu Sans Mono", "Noto Mono" };
        static constexpr const char* sansSerifFaces[] { "Liberation Sans", "Arimo", "DejaVu Sans" };

        const auto monospace = typefaceName == "Consolas";

        for (const auto* candidate : monospace ? monospaceFaces : sansSerifFaces)
            if (installed.contains (candidate) && hasWeight (candidate))
                return candidate;

        return monospace ? juce::Font::getDefaultMonospacedFontName() : juce::Font::getDefaultSansSerifFontName();
    }

    inline juce::Font makeFont (const juce::String& typefaceName, float height, int styleFlags = juce::Font::plain)
    {
        return juce::Font (installedFamilyFor (typefaceName, styleFlags), height, styleFlags);
    }
}

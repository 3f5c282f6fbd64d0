#pragma once

#include <juce_graphics/juce_graphics.h>

/** Every font of the editor is made here. JUCE 8 builds fonts from juce::FontOptions; moving to
    it changes only the one line below. */
namespace FontFactory
{
    inline juce::Font makeFont (const juce::String& typefaceName, float height, int styleFlags = juce::Font::plain)
    {
        return juce::Font (typefaceName, height, styleFlags);
    }
}

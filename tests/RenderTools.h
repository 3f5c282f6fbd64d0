#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <functional>

/** Software rendering into images and pixel comparisons for the drawing tests. */
namespace RenderTools
{
    /** Renders into an opaque image that starts black; scale magnifies the drawing. */
    inline juce::Image render (int width, int height, const std::function<void (juce::Graphics&)>& draw, float scale = 1.0f)
    {
        juce::Image image (juce::Image::ARGB, juce::roundToInt ((float) width * scale), juce::roundToInt ((float) height * scale), true,
                           juce::SoftwareImageType());
        juce::Graphics g (image);
        g.fillAll (juce::Colours::black);
        g.addTransform (juce::AffineTransform::scale (scale));
        draw (g);
        return image;
    }

    inline juce::Image renderComponent (juce::Component& component)
    {
        return render (component.getWidth(), component.getHeight(), [&] (juce::Graphics& g) { component.paintEntireComponent (g, false); });
    }

    inline int largestChannelDifference (juce::Colour a, juce::Colour b)
    {
        return std::max ({ std::abs ((int) a.getRed() - (int) b.getRed()),
                           std::abs ((int) a.getGreen() - (int) b.getGreen()),
                           std::abs ((int) a.getBlue() - (int) b.getBlue()),
                           std::abs ((int) a.getAlpha() - (int) b.getAlpha()) });
    }

    inline ::testing::AssertionResult pixelIs (const juce::Image& image, int x, int y, juce::Colour expected, int tolerance = 1)
    {
        const auto actual = image.getPixelAt (x, y);

        if (largestChannelDifference (actual, expected) <= tolerance)
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << actual.toDisplayString (true)
                                             << ", expected " << expected.toDisplayString (true);
    }

    inline bool imagesEqual (const juce::Image& a, const juce::Image& b)
    {
        if (a.getBounds() != b.getBounds())
            return false;

        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return false;

        return true;
    }

    /** A colour drawn over an opaque background, as the renderer blends it. */
    inline juce::Colour over (juce::Colour background, juce::Colour top)   { return background.overlaidWith (top); }
}

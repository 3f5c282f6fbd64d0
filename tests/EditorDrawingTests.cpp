// What the editor draws, read back from software renders of the whole window at its smallest,
// default and largest sizes: texts (weight, face, place), frames, panels, background, graph
// strokes and labels, knob and lit button. Expected places follow from the design rectangles.

#include "editor/FontFactory.h"
#include "editor/TessalineAudioProcessorEditor.h"
#include "tests/RenderTools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

using Editor = TessalineAudioProcessorEditor;

namespace
{
    struct WindowSize { int width, height; };

    const WindowSize windowSizes[] = { { 800, 360 }, { 920, 414 }, { 1380, 621 } };

    /** How much of a pixel a drawn mark covers, 0 to 1, judged from its colour. */
    using InkOf = std::function<float (juce::Colour)>;

    InkOf inkAbove (int (*channel) (juce::Colour), int background, int full)
    {
        return [=] (juce::Colour c) { return juce::jlimit (0.0f, 1.0f, (float) (channel (c) - background) / (float) (full - background)); };
    }

    int redOf (juce::Colour c)    { return c.getRed(); }
    int blueOf (juce::Colour c)   { return c.getBlue(); }

    /** The box around the pixels that a mark covers by at least a third, and its ink in all. */
    struct Ink
    {
        int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
        double amount = 0.0;

        bool found() const noexcept          { return right >= left; }
        double centreX() const noexcept      { return 0.5 * (left + right + 1); }
        double centreY() const noexcept      { return 0.5 * (top + bottom + 1); }
    };

    Ink findInk (const juce::Image& image, juce::Rectangle<int> area, const InkOf& inkOf)
    {
        Ink ink;
        area = area.getIntersection (image.getBounds());

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                const auto amount = inkOf (image.getPixelAt (x, y));
                ink.amount += amount;

                if (amount >= 1.0f / 3.0f)
                {
                    ink.left = std::min (ink.left, x);
                    ink.right = std::max (ink.right, x);
                    ink.top = std::min (ink.top, y);
                    ink.bottom = std::max (ink.bottom, y);
                }
            }

        return ink;
    }

    /** Centres of the glyphs of a line of text: runs of columns with ink, weighted by it. */
    std::vector<double> glyphCentres (const juce::Image& image, juce::Rectangle<int> area, const InkOf& inkOf)
    {
        std::vector<double> centres;
        double sum = 0.0, weighted = 0.0;

        for (int x = area.getX(); x <= area.getRight(); ++x)
        {
            double column = 0.0, strongest = 0.0;

            if (x < area.getRight())
                for (int y = area.getY(); y < area.getBottom(); ++y)
                {
                    const auto amount = (double) inkOf (image.getPixelAt (x, y));
                    column += amount;
                    strongest = std::max (strongest, amount);
                }

            if (strongest >= 0.2)
            {
                sum += column;
                weighted += column * (x + 0.5);
            }
            else if (sum > 0.0)
            {
                centres.push_back (weighted / sum);
                sum = weighted = 0.0;
            }
        }

        return centres;
    }

    double median (std::vector<double> values)
    {
        std::sort (values.begin(), values.end());
        return values.empty() ? 0.0 : values[values.size() / 2];
    }

    ::testing::AssertionResult colourNear (juce::Colour actual, juce::Colour expected, int tolerance)
    {
        if (RenderTools::largestChannelDifference (actual.withAlpha (1.0f), expected.withAlpha (1.0f)) <= tolerance)
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << actual.toDisplayString (false) << ", expected " << expected.toDisplayString (false);
    }

    //==============================================================================
    class EditorDrawing : public ::testing::TestWithParam<WindowSize>
    {
    protected:
        void SetUp() override
        {
            editor->setSize (GetParam().width, GetParam().height);
            editor->timerCallback(); // lights LPF and 24 dB, as the first tick does
            image = RenderTools::renderComponent (*editor);
        }

        void TearDown() override
        {
            processor.editorBeingDeleted (editor.get());
            editor.reset();
        }

        float scale() const                          { return std::min ((float) GetParam().height / 414.0f, (float) GetParam().width / 920.0f); }
        float at (float designUnits) const           { return designUnits * scale(); }
        int pixel (float designUnits) const          { return (int) std::floor (at (designUnits)); }

        juce::Rectangle<int> designArea (float x, float y, float w, float h) const
        {
            return juce::Rectangle<float> (at (x), at (y), at (w), at (h)).getSmallestIntegerContainer();
        }

        juce::Component& child (int index) const     { return *editor->getChildComponent (index); }

        /** The same text drawn regular in the face the editor resolves for it, on black. */
        juce::Image regularReference (const juce::String& designFace, float fontHeight, const juce::String& text,
                                      juce::Rectangle<float> box, juce::Justification justification, juce::Colour colour) const
        {
            return RenderTools::render (image.getWidth(), image.getHeight(), [&] (juce::Graphics& g) {
                g.setColour (colour);
                g.setFont (FontFactory::makeFont (designFace, fontHeight, juce::Font::plain));
                g.drawText (text, box, justification, false);
            });
        }

        TessalineAudioProcessor processor;
        std::unique_ptr<Editor> editor { dynamic_cast<Editor*> (processor.createEditorIfNeeded()) };
        juce::Image image;
    };

    const auto whiteInk = inkAbove (redOf, 24, 255);
}

//==============================================================================
TEST_P (EditorDrawing, TitleIsBoldAndCentredInItsBox)
{
    // Box (32, 25, 345, 28); the subtitle starts at 49, so only rows above it are read.
    const auto area = designArea (32.0f, 20.0f, 345.0f, 29.0f);
    const auto ink = findInk (image, area, whiteInk);
    ASSERT_TRUE (ink.found());

    const auto height = at (20.0f);
    EXPECT_NEAR (ink.centreY(), at (25.0f + 14.0f), 0.1 * height) << "ink rows " << ink.top << " to " << ink.bottom;
    EXPECT_GE (ink.left, pixel (32.0f) - 1);
    EXPECT_LE (ink.left, at (32.0f) + 0.15f * height);

    // Heavier than the regular weight of the same face drawn in the same box.
    juce::Image reference = RenderTools::render (image.getWidth(), image.getHeight(), [&] (juce::Graphics& g) {
        g.addTransform (juce::AffineTransform::scale (scale()));
        g.setColour (juce::Colours::white);
        g.setFont (FontFactory::makeFont ("Helvetica", 20.0f, juce::Font::plain));
        g.drawText ("T E S S A L I N E", juce::Rectangle<int> (32, 25, 345, 28), juce::Justification::centredLeft, true);
    });
    const auto regular = findInk (reference, area, whiteInk);
    EXPECT_GT (ink.amount, 1.25 * regular.amount) << "title ink " << ink.amount << ", regular " << regular.amount;
}

TEST_P (EditorDrawing, CaptionsAreBoldAndSitWhereTheyAreJustified)
{
    struct CaptionCase { int childIndex; const char* text; bool centred; };
    const CaptionCase cases[] = { { 3, "Resonance", true }, { 5, "Drive", true }, { 12, "Filter Mode", false }, { 16, "Slope / Poles", false } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text);
        auto& label = dynamic_cast<juce::Label&> (child (c.childIndex));
        ASSERT_EQ (label.getText(), c.text);

        const auto bounds = label.getBounds();
        const auto height = label.getFont().getHeight();
        const auto ink = findInk (image, bounds, whiteInk);
        ASSERT_TRUE (ink.found());

        EXPECT_NEAR (ink.centreY(), bounds.toFloat().getCentreY(), std::max (1.0f, 0.1f * height)) << "ink rows " << ink.top << " to " << ink.bottom;

        if (c.centred)
            EXPECT_NEAR (ink.centreX(), bounds.toFloat().getCentreX(), 1.5);
        else
            EXPECT_NEAR ((double) ink.left, bounds.getX() + 5.0, 1.5); // the label's border is 5 wide

        // The framework's label drawing with the regular weight of the same face.
        juce::Label regularLabel;
        regularLabel.setText (c.text, juce::dontSendNotification);
        regularLabel.setFont (FontFactory::makeFont ("Helvetica", height, juce::Font::plain));
        regularLabel.setJustificationType (label.getJustificationType());
        regularLabel.setColour (juce::Label::textColourId, label.findColour (juce::Label::textColourId));
        regularLabel.setBounds (bounds.withZeroOrigin());
        const auto reference = RenderTools::renderComponent (regularLabel);
        const auto regular = findInk (reference, reference.getBounds(), whiteInk);
        EXPECT_GT (ink.amount, 1.2 * regular.amount) << "caption ink " << ink.amount << ", regular " << regular.amount;
    }
}

TEST_P (EditorDrawing, ValueBoxesShowBoldMonospaceDigitsCentredInTheBox)
{
    const auto cyanInk = inkAbove (blueOf, 40, 255);

    for (const auto sliderIndex : { 2, 4 }) // resonance "0.00", drive "1.00"
    {
        auto& slider = dynamic_cast<juce::Slider&> (child (sliderIndex));
        juce::Label* valueBox = nullptr;

        for (auto* sliderChild : slider.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (sliderChild))
                valueBox = label;

        ASSERT_NE (valueBox, nullptr);
        const auto text = valueBox->getText();
        SCOPED_TRACE (text.toStdString());
        ASSERT_EQ (text.length(), 4);
        ASSERT_EQ (text[1], '.');

        const auto box = valueBox->getBounds() + slider.getPosition();
        const auto fontHeight = 0.7f * (float) box.getHeight();
        const auto ink = findInk (image, box.reduced (1), cyanInk);
        ASSERT_TRUE (ink.found());

        EXPECT_NEAR (ink.centreY(), box.toFloat().getCentreY(), 0.1 * fontHeight) << "ink rows " << ink.top << " to " << ink.bottom;
        EXPECT_NEAR (ink.centreX(), box.toFloat().getCentreX(), 1.5) << "ink columns " << ink.left << " to " << ink.right;

        // Every character takes one cell: from the first digit to the one after the point are
        // two cells, twice the step between the last two digits. A proportional face's narrow
        // point gives about 1.5.
        const auto centres = glyphCentres (image, box.reduced (1), cyanInk);
        ASSERT_EQ (centres.size(), 4u);
        EXPECT_NEAR ((centres[2] - centres[0]) / (centres[3] - centres[2]), 2.0, 0.15);

        juce::Image reference = RenderTools::render (image.getWidth(), image.getHeight(), [&] (juce::Graphics& g) {
            g.setColour (juce::Colour (0xff00d2ff));
            g.setFont (FontFactory::makeFont ("Consolas", fontHeight, juce::Font::plain));
            g.drawText (text, box.toFloat(), juce::Justification::centred, false);
        });
        const auto regular = findInk (reference, box.reduced (1), cyanInk);
        EXPECT_GT (ink.amount, 1.15 * regular.amount) << "digit ink " << ink.amount << ", regular " << regular.amount;
    }
}

TEST_P (EditorDrawing, SubtitleIsCyanAndFooterFaintGreyInTheirBoxes)
{
    // Subtitle: box (32, 49, 345, 15), 9 units high, left-justified, cyan.
    const auto subtitleArea = designArea (32.0f, 48.0f, 345.0f, 17.0f);
    const auto subtitle = findInk (image, subtitleArea, [] (juce::Colour c) {
        return c.getRed() > 40 ? 0.0f : juce::jlimit (0.0f, 1.0f, (float) (c.getBlue() - 30) / 225.0f);
    });
    ASSERT_TRUE (subtitle.found());
    EXPECT_NEAR (subtitle.centreY(), at (49.0f + 7.5f), std::max (1.0f, 0.1f * at (9.0f)));
    EXPECT_NEAR ((double) subtitle.left, at (32.0f), 1.5);

    juce::Colour strongest;
    for (int y = subtitle.top; y <= subtitle.bottom; ++y)
        for (int x = subtitle.left; x <= subtitle.right; ++x)
            if (image.getPixelAt (x, y).getBlue() > strongest.getBlue())
                strongest = image.getPixelAt (x, y);

    EXPECT_GE (strongest.getBlue(), 150);
    EXPECT_LE (strongest.getRed(), 12);
    EXPECT_NEAR ((double) strongest.getGreen() / strongest.getBlue(), 210.0 / 255.0, 0.06) << strongest.toDisplayString (false);

    // Footer: box (590, 386, 230, 15), right-justified, white at 15 %; its last 8 units lie
    // under the oversampling box (812 onwards), so only what lies left of that is read.
    const auto footerArea = designArea (560.0f, 384.0f, 250.0f, 19.0f).withRight (pixel (812.0f) - 1);
    const auto backgroundRed = image.getPixelAt (pixel (580.0f), pixel (393.0f)).getRed();
    const auto footer = findInk (image, footerArea, inkAbove (redOf, backgroundRed + 4, backgroundRed + 36));
    ASSERT_TRUE (footer.found());
    EXPECT_NEAR (footer.centreY(), at (386.0f + 7.5f), std::max (1.5f, 0.15f * at (9.0f))); // "/" and "|" reach below the line

    const auto footerWidth = FontFactory::makeFont ("Helvetica", 9.0f).getStringWidthFloat ("VST3 / CLAP / STANDALONE | VARKELL AUDIO DSP");
    EXPECT_NEAR ((double) footer.left, at (820.0f - footerWidth), 2.0);

    int brightest = 0;
    for (int y = footer.top; y <= footer.bottom; ++y)
        for (int x = footer.left; x <= footer.right; ++x)
        {
            const auto c = image.getPixelAt (x, y);
            brightest = std::max (brightest, (int) c.getRed());
            EXPECT_LE (std::abs ((int) c.getRed() - (int) c.getGreen()), 12) << x << ", " << y; // grey on the blue-black
        }

    EXPECT_GE (brightest, backgroundRed + 20);
    EXPECT_LE (brightest, backgroundRed + 42);
}

//==============================================================================
TEST_P (EditorDrawing, BackgroundGradientRunsFromTopToBottom)
{
    // Averaged over 24 columns of the margin, so the faint hatching evens out.
    const auto averageRow = [&] (float designX, float designY)
    {
        float r = 0, g = 0, b = 0;
        const auto y = pixel (designY);
        for (int x = pixel (designX); x < pixel (designX) + 24; ++x)
        {
            const auto c = image.getPixelAt (std::min (x, image.getWidth() - 1), y);
            r += c.getFloatRed(); g += c.getFloatGreen(); b += c.getFloatBlue();
        }
        return juce::Colour::fromFloatRGBA (r / 24.0f, g / 24.0f, b / 24.0f, 1.0f);
    };

    const juce::ColourGradient gradient (juce::Colour (0xff03070d), 0.0f, 0.0f, juce::Colour (0xff0a121e), 0.0f, 414.0f, false);

    for (const auto designY : { 3.0f, 207.0f, 410.0f })
    {
        const auto expected = gradient.getColourAtPosition ((double) designY / 414.0);
        EXPECT_TRUE (colourNear (averageRow (1.0f, designY), expected, 2)) << "left margin at " << designY;

        if (designY < 400.0f) // the resizer corner sits at the bottom right
        {
            EXPECT_TRUE (colourNear (averageRow (896.0f, designY), expected, 2)) << "right side at " << designY;
        }
    }

    EXPECT_GT (averageRow (1.0f, 410.0f).getBrightness(), averageRow (1.0f, 3.0f).getBrightness() + 0.03f);
}

TEST_P (EditorDrawing, OuterWhiteAndInnerCyanFramesAndBothPanelOutlines)
{
    // The median over a run of rows (or columns) keeps the hatching out of the measure.
    const auto columnRise = [&] (int x, int referenceX, float fromY, float toY, int (*channel) (juce::Colour))
    {
        std::vector<double> rises;
        for (int y = pixel (fromY); y < pixel (toY); ++y)
            rises.push_back (channel (image.getPixelAt (x, y)) - channel (image.getPixelAt (referenceX, y)));
        return median (rises);
    };

    const auto rowRise = [&] (int y, int referenceY, float fromX, float toX, int (*channel) (juce::Colour))
    {
        std::vector<double> rises;
        for (int x = pixel (fromX); x < pixel (toX); ++x)
            rises.push_back (channel (image.getPixelAt (x, y)) - channel (image.getPixelAt (x, referenceY)));
        return median (rises);
    };

    const auto strongestNear = [&] (float designPosition, const std::function<double (int)>& rise)
    {
        double strongest = -1000.0;
        for (int p = pixel (designPosition - 0.75f) - 1; p <= pixel (designPosition + 0.75f) + 1; ++p)
            strongest = std::max (strongest, rise (p));
        return strongest;
    };

    const auto margin = pixel (5.0f);

    // Outer frame (12, 12, 896, 390), white at 0x0e, 1.5 thick: its left and bottom edges.
    EXPECT_GE (strongestNear (12.0f, [&] (int x) { return columnRise (x, margin, 150.0f, 250.0f, redOf); }), 6.0);
    EXPECT_GE (strongestNear (402.0f, [&] (int y) { return rowRise (y, pixel (409.0f), 250.0f, 350.0f, redOf); }), 6.0);

    // Inner frame (14, 14, 892, 386), cyan at 0x07: blue rises where red does not.
    const auto cyanRise = [&] (std::function<double (int, int (*) (juce::Colour))> rise, float designPosition)
    {
        for (int p = pixel (designPosition - 0.5f); p <= pixel (designPosition + 0.5f); ++p)
            if (rise (p, blueOf) >= 2.0 && rise (p, redOf) <= 1.0)
                return true;
        return false;
    };
    EXPECT_TRUE (cyanRise ([&] (int x, auto channel) { return columnRise (x, margin, 150.0f, 250.0f, channel); }, 14.0f));
    EXPECT_TRUE (cyanRise ([&] (int y, auto channel) { return rowRise (y, pixel (409.0f), 250.0f, 350.0f, channel); }, 400.0f));

    // Panels (20, 74, 520, 300) and (555, 74, 345, 300): a white outline at 0x12 with a cyan one
    // half a unit outside, brighter than the hatched background outside and the fill inside.
    struct EdgeCase { const char* what; bool vertical; float position, outside, inside, from, to; };
    const EdgeCase edges[] = {
        { "left panel, top",     false, 74.0f,  68.0f,  80.0f,  100.0f, 500.0f },
        { "left panel, left",    true,  20.0f,  16.5f,  26.0f,  150.0f, 250.0f },
        { "left panel, bottom",  false, 374.0f, 378.0f, 368.0f, 100.0f, 500.0f },
        { "right panel, top",    false, 74.0f,  68.0f,  80.0f,  600.0f, 880.0f },
        { "right panel, left",   true,  555.0f, 547.0f, 562.0f, 150.0f, 250.0f },
        { "right panel, right",  true,  900.0f, 903.0f, 895.0f, 150.0f, 250.0f },
    };

    for (const auto& e : edges)
    {
        const auto againstBoth = [&] (int p)
        {
            const auto sum = [] (juce::Colour c) { return (int) c.getRed() + (int) c.getGreen() + (int) c.getBlue(); };
            std::vector<double> rises;
            for (int q = pixel (e.from); q < pixel (e.to); ++q)
            {
                const auto colourAt = [&] (int along) { return e.vertical ? image.getPixelAt (along, q) : image.getPixelAt (q, along); };
                rises.push_back (sum (colourAt (p)) - std::max (sum (colourAt (pixel (e.outside))), sum (colourAt (pixel (e.inside)))));
            }
            return median (rises);
        };

        EXPECT_GE (strongestNear (e.position, againstBoth), 12.0) << e.what;
    }
}

/** The hatching is read at the largest size only, where its lines are more than a pixel wide. */
class EditorHatching : public EditorDrawing {};

TEST_P (EditorHatching, FallsToTheRightEveryEightUnits)
{
    // Lines from (x, 0) to (x + 414, 414) for x = -414, -406, ...: at scale 1.5 they cross
    // pixel rows where column - row is -621 + 12 k. Read a strip where nothing else is drawn.
    double sums[12] {};
    int counts[12] {};

    for (int y = pixel (380.0f); y < pixel (396.0f); ++y)
        for (int x = pixel (30.0f); x < pixel (530.0f); ++x)
        {
            const auto phase = (((x - y + 621) % 12) + 12) % 12;
            const auto c = image.getPixelAt (x, y);
            sums[phase] += (int) c.getRed() + (int) c.getGreen() + (int) c.getBlue();
            ++counts[phase];
        }

    const auto mean = [&] (int phase) { return sums[phase] / counts[phase]; };

    for (const auto between : { 3, 4, 5, 6, 7, 8, 9 })
        EXPECT_GT (mean (0), mean (between) + 1.5) << "phase " << between;
}

//==============================================================================
TEST_P (EditorDrawing, GraphLabelsAndTwoGlowStrokesAroundTheCurve)
{
    const auto graph = child (8).getBounds();
    const auto w = graph.getWidth(), h = graph.getHeight();
    const juce::Colour background { 0xff040910 };
    const auto labelInk = inkAbove (blueOf, 50, background.overlaidWith (juce::Colour (0x6000d2ff)).getBlue());

    // Frequency labels, centred on their line in the box (x - 15, H - 14, 30, 12).
    for (const auto frequency : { 100.0f, 1000.0f, 10000.0f })
    {
        const auto x = (int) (std::log10 (frequency / 20.0f) / std::log10 (1000.0f) * (float) w);
        const auto ink = findInk (image, { graph.getX() + x - 15, graph.getY() + h - 14, 30, 12 }, labelInk);
        ASSERT_TRUE (ink.found()) << frequency;
        EXPECT_NEAR (ink.centreX(), graph.getX() + x + 0.5, 1.5) << frequency;
        EXPECT_NEAR (ink.centreY(), graph.getY() + h - 8.0, 1.0) << frequency;
    }

    // The 6 dB label, left-justified just above its line, in the label colour.
    const auto y6 = (int) (6.0f / 36.0f * (float) h);
    const auto label = findInk (image, { graph.getX() + 2, graph.getY() + y6 - 10, 32, 10 }, labelInk);
    ASSERT_TRUE (label.found());
    EXPECT_NEAR ((double) label.left, graph.getX() + 4.0, 1.5);
    EXPECT_NEAR (label.centreY(), graph.getY() + y6 - 5.0, 1.0);

    int strongestBlue = 0;
    for (int y = label.top; y <= label.bottom; ++y)
        for (int x = label.left; x <= label.right; ++x)
        {
            const auto c = image.getPixelAt (x, y);
            strongestBlue = std::max (strongestBlue, (int) c.getBlue());
            EXPECT_LE (c.getRed(), background.getRed() + 2);
        }
    EXPECT_NEAR (strongestBlue, background.overlaidWith (juce::Colour (0x6000d2ff)).getBlue(), 12);

    // Above the flat part of the default curve (0 dB, at h / 3) the glows reach 3 and 1.5
    // pixels from the curve's centre: how far each colour level reaches, summed over the rows.
    const auto outer = background.overlaidWith (juce::Colour (0x2000d2ff));
    const auto inner = outer.overlaidWith (juce::Colour (0x5500d2ff));
    const auto column = graph.getX() + juce::roundToInt (0.18f * (float) w); // between the 50 and 100 Hz lines
    const auto curveY = (double) h / 3.0;
    const auto curveRow = (int) std::floor (curveY);
    double outerReach = curveY - curveRow, innerReach = curveY - curveRow;

    for (int y = curveRow - 6; y < curveRow; ++y)
    {
        const auto blue = (double) image.getPixelAt (column, graph.getY() + y).getBlue();
        outerReach += juce::jlimit (0.0, 1.0, (blue - background.getBlue()) / (outer.getBlue() - background.getBlue()));
        innerReach += juce::jlimit (0.0, 1.0, (blue - outer.getBlue()) / (inner.getBlue() - outer.getBlue()));
    }

    EXPECT_NEAR (outerReach, 3.0, 0.35);
    EXPECT_NEAR (innerReach, 1.5, 0.35);
    EXPECT_LE (image.getPixelAt (column, graph.getY() + curveRow - 3).getRed(), background.getRed() + 2) << "the glow is cyan";
}

//==============================================================================
TEST_P (EditorDrawing, KnobRimShadeHighlightAndPointer)
{
    // The cutoff knob (at its default, position 1), drawn four times magnified so that its
    // one-pixel rings can be read one at a time.
    constexpr float magnification = 4.0f;
    auto& slider = dynamic_cast<juce::Slider&> (child (0));
    const auto knob = RenderTools::render (slider.getWidth(), slider.getHeight(),
                                           [&] (juce::Graphics& g) { slider.paintEntireComponent (g, false); }, magnification);

    const auto areaWidth = (float) std::max (0, slider.getWidth() - 24);
    const auto areaHeight = (float) std::max (0, slider.getHeight() - 20 - 24);
    const auto radius = std::min (areaWidth, areaHeight) * 0.5f;
    const auto cx = 12.0f + areaWidth * 0.5f, cy = 12.0f + areaHeight * 0.5f;
    const auto lineWidth = radius * 0.08f, dot = lineWidth * 1.5f;
    const auto bodyRadius = radius - dot - lineWidth * 0.6f;
    const auto angles = slider.getRotaryParameters();
    const auto valueAngle = angles.endAngleRadians;

    const auto pointAt = [&] (float angle, float distance, juce::Point<float> from)
    {
        return from + juce::Point<float> (distance * std::sin (angle), -distance * std::cos (angle));
    };
    const juce::Point<float> centre (cx, cy);
    const juce::ColourGradient body (juce::Colour (0xff203248), cx, cy - bodyRadius, juce::Colour (0xff050a10), cx, cy + bodyRadius, false);
    const auto bodyAt = [&] (juce::Point<float> p) { return body.getColourAtPosition ((p.y - (cy - bodyRadius)) / (2.0f * bodyRadius)); };
    const auto drawnAt = [&] (juce::Point<float> p) { return knob.getPixelAt ((int) (p.x * magnification), (int) (p.y * magnification)); };

    const auto pointer = pointAt (valueAngle, 0.68f * bodyRadius, centre);

    struct KnobPoint { const char* what; juce::Point<float> point; std::function<juce::Colour (juce::Colour)> over; };
    const auto plain = [] (juce::Colour c) { return c; };
    const auto overlaid = [] (juce::uint32 argb) { return [argb] (juce::Colour c) { return c.overlaidWith (juce::Colour (argb)); }; };

    const KnobPoint points[] = {
        { "body, near the top",             pointAt (0.0f, bodyRadius - 3.0f, centre),                plain },
        { "inner shade",                    pointAt (0.0f, bodyRadius - 1.1f, centre),                overlaid (0x60000000) },
        { "rim",                            pointAt (0.0f, bodyRadius - 0.25f, centre),               overlaid (0x2800d2ff) },
        { "highlight behind the pointer",   pointAt (valueAngle - 0.6f, bodyRadius - 1.9f, centre),   overlaid (0x3500d2ff) },
        { "no highlight further behind",    pointAt (valueAngle - 1.6f, bodyRadius - 1.9f, centre),   plain },
        { "no highlight ahead",             pointAt (valueAngle + 0.5f, bodyRadius - 1.9f, centre),   plain },
        { "pointer glow",                   pointAt (0.5f, 0.65f * dot, pointer),                     overlaid (0x4000d2ff) },
    };

    for (const auto& p : points)
        EXPECT_TRUE (colourNear (drawnAt (p.point), p.over (bodyAt (p.point)), 3)) << p.what;

    EXPECT_TRUE (colourNear (drawnAt (pointAt (0.5f, 0.375f * dot, pointer)), juce::Colour (0xff7df9ff), 3)) << "pointer dot";
    EXPECT_TRUE (colourNear (drawnAt (pointer), juce::Colours::white, 3)) << "pointer core";
}

TEST_P (EditorDrawing, LitButtonHasAOneAndAHalfPixelCyanOutline)
{
    const juce::Colour on { 0xff005fcc }, cyan { 0xff00d2ff }, off { 0xff0b1420 }, offOutline { 0xff1b2b3a };
    const auto quarterCyan = on.interpolatedWith (cyan, 0.25f);

    const auto lpf = child (9).getBounds();   // lit
    const auto hpf = child (10).getBounds();  // off
    const auto middle = lpf.getCentreY();

    struct PixelCase { const char* what; int x, y; juce::Colour colour; int tolerance; };
    const PixelCase cases[] = {
        { "lit, left edge",          lpf.getX(),          middle,         cyan,        2 },
        { "lit, a quarter inside",   lpf.getX() + 1,      middle,         quarterCyan, 4 },
        { "lit, body",               lpf.getX() + 2,      middle,         on,          1 },
        { "lit, right edge",         lpf.getRight() - 1,  middle,         cyan,        2 },
        { "lit, right quarter",      lpf.getRight() - 2,  middle,         quarterCyan, 4 },
        { "lit, top edge",           lpf.getCentreX(),    lpf.getY(),     cyan,        2 },
        { "lit, top quarter",        lpf.getCentreX(),    lpf.getY() + 1, quarterCyan, 4 },
        { "off, left edge",          hpf.getX(),          middle,         offOutline,  2 },
        { "off, body next to it",    hpf.getX() + 1,      middle,         off,         1 },
    };

    for (const auto& c : cases)
        EXPECT_TRUE (colourNear (image.getPixelAt (c.x, c.y), c.colour, c.tolerance)) << c.what;
}

INSTANTIATE_TEST_SUITE_P (WindowSizes, EditorDrawing, ::testing::ValuesIn (windowSizes),
                          [] (const ::testing::TestParamInfo<WindowSize>& size)
                          { return std::to_string (size.param.width) + "x" + std::to_string (size.param.height); });

INSTANTIATE_TEST_SUITE_P (LargestSize, EditorHatching, ::testing::Values (WindowSize { 1380, 621 }),
                          [] (const ::testing::TestParamInfo<WindowSize>& size)
                          { return std::to_string (size.param.width) + "x" + std::to_string (size.param.height); });

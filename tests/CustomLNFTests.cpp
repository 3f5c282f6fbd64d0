#include "editor/FontFactory.h"
#include "editor/TessalineAudioProcessorEditor.h"
#include "tests/RenderTools.h"

#include <gtest/gtest.h>

using CustomLNF = TessalineAudioProcessorEditor::CustomLNF;
using RenderTools::over;
using RenderTools::pixelIs;

namespace
{
    constexpr float magnification = 3.0f;

    /** A knob as the editor sets it up, using the look-and-feel under test. */
    struct Knob
    {
        explicit Knob (CustomLNF& lnf)
        {
            slider.setLookAndFeel (&lnf);
            slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
            slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 80, 20);
            slider.setBounds (0, 0, 130, 186);
        }

        ~Knob() { slider.setLookAndFeel (nullptr); }

        juce::Slider slider;
    };

    /** Draws the default-size cutoff knob (area 130 x 166) three times magnified. */
    juce::Image renderKnob (CustomLNF& lnf, juce::Slider& slider, float position)
    {
        const auto angles = slider.getRotaryParameters();
        return RenderTools::render (130, 166, [&] (juce::Graphics& g) {
            lnf.drawRotarySlider (g, 0, 0, 130, 166, position, angles.startAngleRadians, angles.endAngleRadians, slider);
        }, magnification);
    }

    juce::Point<int> pixelOf (juce::Point<float> designPoint)
    {
        return (designPoint * magnification).toInt();
    }

    float tickAngle (const juce::Slider& slider, int tick)
    {
        const auto angles = slider.getRotaryParameters();
        return angles.startAngleRadians + (float) tick / 10.0f * (angles.endAngleRadians - angles.startAngleRadians);
    }

    const juce::Colour trackColour { 0xff060c14 };
}

//==============================================================================
TEST (CustomLNF, SetsItsTenColours)
{
    CustomLNF lnf;

    const std::pair<int, juce::uint32> colours[] = {
        { juce::Slider::rotarySliderOutlineColourId, 0xff060c14 },
        { juce::Slider::rotarySliderFillColourId,    0xff00d2ff },
        { juce::TextButton::buttonColourId,          0xff0d1928 },
        { juce::TextButton::buttonOnColourId,        0xff005fcc },
        { juce::TextButton::textColourOffId,         0x99ffffff },
        { juce::TextButton::textColourOnId,          0xffffffff },
        { juce::ComboBox::backgroundColourId,        0xff0b1420 },
        { juce::ComboBox::outlineColourId,           0xff1b2b3a },
        { juce::ComboBox::textColourId,              0xdbffffff },
        { juce::ComboBox::arrowColourId,             0xff00d2ff },
    };

    for (const auto& [id, argb] : colours)
        EXPECT_EQ (lnf.findColour (id).getARGB(), argb) << std::hex << id;
}

//==============================================================================
TEST (CustomLNFKnob, GeometryOfTheDefaultCutoffKnob)
{
    CustomLNF lnf;
    Knob knob (lnf);

    // The knob area is the slider less its 20-unit text box.
    EXPECT_EQ (lnf.getSliderLayout (knob.slider).sliderBounds, juce::Rectangle<int> (0, 0, 130, 166));

    const auto k = CustomLNF::KnobGeometry::forArea (0, 0, 130, 166);
    const std::pair<float, float> values[] = {
        { k.centreX, 65.0f }, { k.centreY, 83.0f }, { k.radius, 53.0f }, { k.lineWidth, 4.24f }, { k.dotSize, 6.36f },
        { k.arcRadius, 46.64f }, { k.tickInner, 50.032f }, { k.tickOuter, 53.742f }, { k.bodyRadius, 44.096f },
        { k.pointerDistance, 29.985f },
    };

    for (const auto& [actual, expected] : values)
        EXPECT_NEAR (actual, expected, 0.001f);

    const auto empty = CustomLNF::KnobGeometry::forArea (5, 7, 10, 30);
    EXPECT_EQ (empty.radius, 0.0f);
    EXPECT_EQ (juce::Point<float> (empty.centreX, empty.centreY), juce::Point<float> (17.0f, 22.0f));
}

TEST (CustomLNFKnob, LightsTheTicksUpToThePosition)
{
    struct TickCase { float position; int litTicks; };
    const TickCase cases[] = { { 0.0f, 1 }, { 0.55f, 6 }, { 1.0f, 11 } };

    CustomLNF lnf;
    Knob knob (lnf);
    const auto k = CustomLNF::KnobGeometry::forArea (0, 0, 130, 166);

    for (const auto& c : cases)
    {
        const auto image = renderKnob (lnf, knob.slider, c.position);

        for (int tick = 0; tick <= 10; ++tick)
        {
            const auto p = pixelOf (k.pointAt (tickAngle (knob.slider, tick), 0.5f * (k.tickInner + k.tickOuter)));
            const auto lit = tick < c.litTicks;

            if (lit)
                EXPECT_TRUE (pixelIs (image, p.x, p.y, over (juce::Colours::black, juce::Colour (0xd900d2ff)), 2)) << c.position << " tick " << tick;
            else
                EXPECT_TRUE (pixelIs (image, p.x, p.y, over (juce::Colours::black, juce::Colour (0x66172535)), 2)) << c.position << " tick " << tick;
        }
    }
}

TEST (CustomLNFKnob, ValueArcAndPointerFollowThePosition)
{
    CustomLNF lnf;
    Knob knob (lnf);
    const auto k = CustomLNF::KnobGeometry::forArea (0, 0, 130, 166);
    const auto twelveOClock = pixelOf (k.pointAt (juce::MathConstants<float>::twoPi, k.arcRadius));
    const auto threeOClock = pixelOf (k.pointAt (2.5f * juce::MathConstants<float>::pi, k.arcRadius));

    struct ArcCase { float position; bool topCovered, rightCovered; };
    const ArcCase cases[] = { { 0.0f, false, false }, { 0.55f, true, false }, { 1.0f, true, true } };

    for (const auto& c : cases)
    {
        const auto image = renderKnob (lnf, knob.slider, c.position);

        EXPECT_EQ (image.getPixelAt (twelveOClock.x, twelveOClock.y) == trackColour, ! c.topCovered) << c.position;
        EXPECT_EQ (image.getPixelAt (threeOClock.x, threeOClock.y) == trackColour, ! c.rightCovered) << c.position;

        // The pointer's white core, at about seven o'clock for position 0.
        const auto angle = tickAngle (knob.slider, 0) + c.position * (tickAngle (knob.slider, 10) - tickAngle (knob.slider, 0));
        const auto pointer = pixelOf (k.pointAt (angle, k.pointerDistance));
        EXPECT_TRUE (pixelIs (image, pointer.x, pointer.y, juce::Colours::white)) << c.position;
    }

    const auto atZero = pixelOf (k.pointAt (1.2f * juce::MathConstants<float>::pi, k.pointerDistance));
    EXPECT_LT (atZero.x, 65 * 3);
    EXPECT_GT (atZero.y, 83 * 3);
}

TEST (CustomLNFKnob, BodyIsLighterAtTheTop)
{
    CustomLNF lnf;
    Knob knob (lnf);
    const auto image = renderKnob (lnf, knob.slider, 0.5f);
    const auto k = CustomLNF::KnobGeometry::forArea (0, 0, 130, 166);

    const auto centre = pixelOf ({ k.centreX, k.centreY });
    EXPECT_TRUE (pixelIs (image, centre.x, centre.y, juce::Colour (0xff203248).interpolatedWith (juce::Colour (0xff050a10), 0.5f), 2));

    const auto nearTop = pixelOf ({ k.centreX, k.centreY - 0.8f * k.bodyRadius });
    const auto nearBottom = pixelOf ({ k.centreX, k.centreY + 0.8f * k.bodyRadius });
    EXPECT_GT (image.getPixelAt (nearTop.x, nearTop.y).getBrightness(), image.getPixelAt (nearBottom.x, nearBottom.y).getBrightness());
}

TEST (CustomLNFKnob, DisabledKnobShowsOnlyTicksAndTrack)
{
    CustomLNF lnf;
    Knob knob (lnf);
    knob.slider.setEnabled (false);
    const auto image = renderKnob (lnf, knob.slider, 1.0f);
    const auto k = CustomLNF::KnobGeometry::forArea (0, 0, 130, 166);

    const auto top = pixelOf (k.pointAt (juce::MathConstants<float>::twoPi, k.arcRadius));
    EXPECT_TRUE (pixelIs (image, top.x, top.y, trackColour, 0));

    const auto centre = pixelOf ({ k.centreX, k.centreY });
    EXPECT_TRUE (pixelIs (image, centre.x, centre.y, juce::Colours::black, 0));

    const auto pointer = pixelOf (k.pointAt (tickAngle (knob.slider, 10), k.pointerDistance));
    EXPECT_TRUE (pixelIs (image, pointer.x, pointer.y, juce::Colours::black, 0));

    const auto lastTick = pixelOf (k.pointAt (tickAngle (knob.slider, 10), 0.5f * (k.tickInner + k.tickOuter)));
    EXPECT_TRUE (pixelIs (image, lastTick.x, lastTick.y, over (juce::Colours::black, juce::Colour (0xd900d2ff)), 2));
}

//==============================================================================
TEST (CustomLNFButton, ColourFollowsTheToggleStateOnly)
{
    CustomLNF lnf;
    juce::TextButton button ("HPF");
    button.setBounds (0, 0, 68, 30);

    struct ButtonCase { bool on; juce::uint32 body, outline; };
    const ButtonCase cases[] = { { false, 0xff0b1420, 0xff1b2b3a }, { true, 0xff005fcc, 0xff00d2ff } };

    for (const auto& c : cases)
    {
        button.setToggleState (c.on, juce::dontSendNotification);

        for (const auto highlighted : { false, true })
            for (const auto down : { false, true })
            {
                const auto image = RenderTools::render (68, 30, [&] (juce::Graphics& g) {
                    lnf.drawButtonBackground (g, button, juce::Colours::red, highlighted, down);
                });

                EXPECT_TRUE (pixelIs (image, 10, 15, juce::Colour (c.body), 1)) << c.on << highlighted << down;
                EXPECT_TRUE (pixelIs (image, 0, 15, juce::Colour (c.outline), 1)) << c.on << highlighted << down;
                EXPECT_TRUE (pixelIs (image, 67, 15, juce::Colour (c.outline), 1)) << c.on;
            }
    }
}

//==============================================================================
TEST (CustomLNFLabel, ValueBoxUsesBoldConsolasAtSeventyPercentOfItsHeight)
{
    const auto font = CustomLNF::valueBoxFont (20.0f);
    EXPECT_EQ (font.getTypefaceName(), FontFactory::installedFamilyFor ("Consolas", juce::Font::bold));
    EXPECT_FLOAT_EQ (font.getHeight(), 14.0f);
    EXPECT_TRUE (font.isBold());
}

//==============================================================================
TEST (FontFactory, MissingDesignFacesBecomeInstalledFacesOfTheSameRoleAndWeight)
{
    const auto installed = juce::Font::findAllTypefaceNames();
    ASSERT_FALSE (installed.contains ("Helvetica")) << "this check needs a machine without Helvetica";
    ASSERT_FALSE (installed.contains ("Consolas")) << "this check needs a machine without Consolas";

    struct FontCase { const char* design; int style; const char* family; };

    const FontCase cases[] = {
        { "Helvetica",        juce::Font::plain, "Liberation Sans" },    // Helvetica's metrics
        { "Helvetica",        juce::Font::bold,  "Liberation Sans" },
        { "Consolas",         juce::Font::bold,  "Liberation Mono" },
        { "Consolas",         juce::Font::plain, "Liberation Mono" },
        { "Liberation Serif", juce::Font::bold,  "Liberation Serif" },   // an installed face is kept
        { "Liberation Serif", juce::Font::plain, "Liberation Serif" },
    };

    for (const auto& c : cases)
    {
        const auto font = FontFactory::makeFont (c.design, 20.0f, c.style);
        EXPECT_EQ (font.getTypefaceName(), c.family) << c.design << " " << c.style;
        EXPECT_EQ (font.isBold(), c.style == juce::Font::bold) << c.design;
        EXPECT_EQ (font.getTypefaceStyle(), c.style == juce::Font::bold ? "Bold" : "Regular") << c.design;

        // A real face: JUCE's empty stand-in for a missing family reports the whole height as
        // ascent and has no glyph outlines.
        EXPECT_LT (font.getAscent(), 0.9f * font.getHeight()) << c.design;
        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (font, "H", 0.0f, 0.0f);
        juce::Path outline;
        glyphs.createPath (outline);
        EXPECT_FALSE (outline.isEmpty()) << c.design;
    }
}

TEST (CustomLNFLabel, ValueBoxIsDarkWithAFaintCyanOutline)
{
    CustomLNF lnf;
    Knob knob (lnf);

    juce::Label* valueBox = nullptr;
    for (auto* child : knob.slider.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            valueBox = label;

    ASSERT_NE (valueBox, nullptr);
    valueBox->setText ({}, juce::dontSendNotification);
    const auto image = RenderTools::renderComponent (*valueBox);

    const juce::Colour body { 0xff03060c };
    EXPECT_TRUE (pixelIs (image, image.getWidth() / 2, image.getHeight() / 2, body, 0));
    EXPECT_TRUE (pixelIs (image, 0, image.getHeight() / 2, over (body, juce::Colour (0x2200d2ff)), 1));
}

TEST (CustomLNFLabel, CaptionsAreDrawnAsTheFrameworkDrawsThem)
{
    CustomLNF lnf;
    juce::LookAndFeel_V4 framework;

    juce::Label caption;
    caption.setText ("Resonance", juce::dontSendNotification);
    caption.setJustificationType (juce::Justification::centred);
    caption.setColour (juce::Label::textColourId, juce::Colours::white.withAlpha (0.7f));
    caption.setBounds (0, 0, 110, 22);

    auto renderWith = [&] (juce::LookAndFeel& laf)
    {
        caption.setLookAndFeel (&laf);
        auto image = RenderTools::renderComponent (caption);
        caption.setLookAndFeel (nullptr);
        return image;
    };

    EXPECT_TRUE (RenderTools::imagesEqual (renderWith (lnf), renderWith (framework)));
}

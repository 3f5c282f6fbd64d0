#include "editor/FontFactory.h"
#include "editor/TessalineAudioProcessorEditor.h"

using CustomLNF = TessalineAudioProcessorEditor::CustomLNF;

namespace
{
    namespace Palette
    {
        const juce::Colour accent          { 0xff00d2ff };
        const juce::Colour valueArcStart   { 0xff003bff };
        const juce::Colour unlitTick       { 0xff172535 };
        const juce::Colour bodyTop         { 0xff203248 };
        const juce::Colour bodyBottom      { 0xff050a10 };
        const juce::Colour rim             { 0x2800d2ff };
        const juce::Colour innerShade      { 0x60000000 };
        const juce::Colour highlight       { 0x3500d2ff };
        const juce::Colour pointerGlow     { 0x4000d2ff };
        const juce::Colour pointer         { 0xff7df9ff };
        const juce::Colour pointerCore     { juce::Colours::white };
        const juce::Colour buttonOff       { 0xff0b1420 };
        const juce::Colour buttonOn        { 0xff005fcc };
        const juce::Colour outlineOff      { 0xff1b2b3a };
        const juce::Colour valueBoxBody    { 0xff03060c };
        const juce::Colour valueBoxOutline { 0x2200d2ff };
    }

    constexpr float halfPi = 1.5707964f;
    constexpr int numTicks = 11;

    /** The rectangle inset by half a pixel, so a one-pixel outline lands on whole pixels. */
    juce::Rectangle<float> outlineArea (juce::Rectangle<float> bounds) noexcept
    {
        return { bounds.getX() + 0.5f, bounds.getY() + 0.5f,
                 std::max (0.0f, bounds.getWidth() - 1.0f), std::max (0.0f, bounds.getHeight() - 1.0f) };
    }

    juce::Path centredArc (float centreX, float centreY, float radius, float fromAngle, float toAngle)
    {
        juce::Path arc;
        arc.addCentredArc (centreX, centreY, radius, radius, 0.0f, fromAngle, toAngle, true);
        return arc;
    }

    juce::PathStrokeType roundedStroke (float width) noexcept
    {
        return { width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded };
    }

    void fillCircle (juce::Graphics& g, juce::Point<float> centre, float diameter, juce::Colour colour)
    {
        g.setColour (colour);
        g.fillEllipse (centre.x - diameter / 2.0f, centre.y - diameter / 2.0f, diameter, diameter);
    }
}

//==============================================================================
CustomLNF::CustomLNF()
{
    setColour (juce::Slider::rotarySliderOutlineColourId, juce::Colour (0xff060c14));
    setColour (juce::Slider::rotarySliderFillColourId, Palette::accent);
    setColour (juce::TextButton::buttonColourId, juce::Colour (0xff0d1928));
    setColour (juce::TextButton::buttonOnColourId, Palette::buttonOn);
    setColour (juce::TextButton::textColourOffId, juce::Colours::white.withAlpha (0.6f));
    setColour (juce::TextButton::textColourOnId, juce::Colours::white);
    setColour (juce::ComboBox::backgroundColourId, Palette::buttonOff);
    setColour (juce::ComboBox::outlineColourId, Palette::outlineOff);
    setColour (juce::ComboBox::textColourId, juce::Colours::white.withAlpha (0.86f));
    setColour (juce::ComboBox::arrowColourId, Palette::accent);
}

CustomLNF::~CustomLNF() = default;

//==============================================================================
void CustomLNF::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&, bool, bool)
{
    // The look follows the toggle state alone: hovering or pressing changes nothing.
    const auto bounds = button.getLocalBounds().toFloat();
    const auto on = button.getToggleState();

    g.setColour (on ? Palette::buttonOn : Palette::buttonOff);
    g.fillRoundedRectangle (bounds, 5.0f);

    g.setColour (on ? Palette::accent : Palette::outlineOff);
    g.drawRoundedRectangle (outlineArea (bounds), 5.0f, on ? 1.5f : 1.0f);
}

void CustomLNF::drawLabel (juce::Graphics& g, juce::Label& label)
{
    if (dynamic_cast<juce::Slider*> (label.getParentComponent()) == nullptr)
    {
        LookAndFeel_V4::drawLabel (g, label);
        return;
    }

    // A knob's value box.
    const auto bounds = label.getLocalBounds().toFloat();

    g.setColour (Palette::valueBoxBody);
    g.fillRoundedRectangle (bounds, 4.0f);

    g.setColour (Palette::valueBoxOutline);
    g.drawRoundedRectangle (outlineArea (bounds), 4.0f, 1.0f);

    g.setColour (Palette::accent);
    g.setFont (valueBoxFont (bounds.getHeight()));
    g.drawText (label.getText(), bounds, juce::Justification::centred, false);
}

juce::Font CustomLNF::valueBoxFont (float boxHeight)
{
    return FontFactory::makeFont ("Consolas", boxHeight * 0.7f, juce::Font::bold);
}

//==============================================================================
CustomLNF::KnobGeometry CustomLNF::KnobGeometry::forArea (int x, int y, int width, int height) noexcept
{
    const auto innerWidth = (float) std::max (0, width - 24);
    const auto innerHeight = (float) std::max (0, height - 24);

    KnobGeometry k {};
    k.radius = std::min (innerWidth, innerHeight) * 0.5f;
    k.centreX = (float) x + 12.0f + innerWidth * 0.5f;
    k.centreY = (float) y + 12.0f + innerHeight * 0.5f;
    k.lineWidth = k.radius * 0.08f;
    k.dotSize = k.lineWidth * 1.5f;
    k.arcRadius = k.radius - k.dotSize;
    k.tickInner = k.arcRadius + k.lineWidth * 0.8f;
    k.tickOuter = k.tickInner + k.radius * 0.07f;
    k.bodyRadius = k.arcRadius - k.lineWidth * 0.6f;
    k.pointerDistance = k.bodyRadius * 0.68f;
    return k;
}

juce::Point<float> CustomLNF::KnobGeometry::pointAt (float angle, float distance) const noexcept
{
    return { centreX + distance * std::cos (angle - halfPi), centreY + distance * std::sin (angle - halfPi) };
}

void CustomLNF::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float position,
                                  float startAngle, float endAngle, juce::Slider& slider)
{
    const auto trackColour = slider.findColour (juce::Slider::rotarySliderOutlineColourId, false);
    const auto k = KnobGeometry::forArea (x, y, width, height);

    drawTickRing (g, k, position, startAngle, endAngle);

    g.setColour (trackColour);
    g.strokePath (centredArc (k.centreX, k.centreY, k.arcRadius, startAngle, endAngle), roundedStroke (k.lineWidth));

    // A disabled knob shows only its ticks and its track.
    if (! slider.isEnabled())
        return;

    const auto valueAngle = startAngle + position * (endAngle - startAngle);

    drawValueArc (g, k, startAngle, valueAngle);
    drawBody (g, k, valueAngle);
    drawPointer (g, k, valueAngle);
}

void CustomLNF::drawTickRing (juce::Graphics& g, const KnobGeometry& k, float position, float startAngle, float endAngle)
{
    for (int i = 0; i < numTicks; ++i)
    {
        const auto t = (float) i / (float) (numTicks - 1);
        const auto angle = startAngle + t * (endAngle - startAngle);
        const auto lit = position >= t;

        g.setColour (lit ? Palette::accent.withAlpha (0.85f) : Palette::unlitTick.withAlpha (0.4f));
        g.drawLine ({ k.pointAt (angle, k.tickInner), k.pointAt (angle, k.tickOuter) }, lit ? 1.5f : 1.0f);
    }
}

void CustomLNF::drawValueArc (juce::Graphics& g, const KnobGeometry& k, float startAngle, float valueAngle)
{
    const auto a = k.arcRadius;
    g.setGradientFill (juce::ColourGradient (Palette::valueArcStart, k.centreX - a, k.centreY - a,
                                             Palette::accent, k.centreX + a, k.centreY + a, false));
    g.strokePath (centredArc (k.centreX, k.centreY, a, startAngle, valueAngle), roundedStroke (k.lineWidth));
}

void CustomLNF::drawBody (juce::Graphics& g, const KnobGeometry& k, float valueAngle)
{
    const auto r = k.bodyRadius;
    const juce::Rectangle<float> body (k.centreX - r, k.centreY - r, 2.0f * r, 2.0f * r);

    g.setGradientFill (juce::ColourGradient (Palette::bodyTop, k.centreX, k.centreY - r,
                                             Palette::bodyBottom, k.centreX, k.centreY + r, false));
    g.fillEllipse (body);

    g.setColour (Palette::rim);
    g.drawEllipse (body, 1.5f);

    const auto shadeSize = std::max (0.0f, 2.0f * r - 2.0f);
    g.setColour (Palette::innerShade);
    g.drawEllipse (body.getX() + 1.0f, body.getY() + 1.0f, shadeSize, shadeSize, 1.0f);

    // A short glint that trails the pointer.
    g.setColour (Palette::highlight);
    g.strokePath (centredArc (k.centreX, k.centreY, r - 1.5f, valueAngle - 1.2f, valueAngle + 0.2f), juce::PathStrokeType (1.5f));
}

void CustomLNF::drawPointer (juce::Graphics& g, const KnobGeometry& k, float valueAngle)
{
    const auto centre = k.pointAt (valueAngle, k.pointerDistance);
    fillCircle (g, centre, 1.6f * k.dotSize, Palette::pointerGlow);
    fillCircle (g, centre, k.dotSize, Palette::pointer);
    fillCircle (g, centre, 0.5f * k.dotSize, Palette::pointerCore);
}

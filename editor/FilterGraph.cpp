#include "editor/FilterGraph.h"
#include "editor/FontFactory.h"

#include <cmath>

namespace
{
    namespace GraphColours
    {
        const juce::Colour background   { 0xff040910 };
        const juce::Colour grid         { 0x1200d2ff };
        const juce::Colour zeroDbLine   { 0x2800d2ff };
        const juce::Colour label        { 0x6000d2ff };
        const juce::Colour areaTop      { 0x3500d2ff };
        const juce::Colour areaBottom   { 0x05001a40 };
        const juce::Colour outerGlow    { 0x2000d2ff };
        const juce::Colour innerGlow    { 0x5500d2ff };
        const juce::Colour core         { 0xffe6faff };
    }

    constexpr int gridFrequencies[] = { 50, 100, 200, 500, 1000, 2000, 5000, 10000 };
    constexpr int gridLevels[] = { 12, 6, 0, -6, -12 };
    constexpr int pixelsPerSample = 4;

    // Height and width of the bump drawn around a very low cutoff for the ring tone, which the
    // engine generates there rather than filters: it shows where the tone sounds.
    constexpr double bumpHeight = 0.15;
    constexpr double bumpWidth = 18.0;

    juce::String frequencyLabel (int frequency)
    {
        return frequency >= 1000 ? juce::String (frequency / 1000) + "k" : juce::String (frequency);
    }
}

//==============================================================================
FilterGraph::Response::Response (float cutoffHz, float resonanceAmount, float makeupGainDb, int modeIndex, int slopeIndex,
                                 double sampleRateHz, bool oversampled)
    : ladder (cutoffHz, resonanceAmount, makeupGainDb, modeIndex, slopeIndex, sampleRateHz, oversampled),
      bumpAmount (ladder.ringSounds() ? bumpHeight * ladder.ringWeight() : 0.0)
{
}

std::complex<double> FilterGraph::Response::at (double frequencyHz) const noexcept
{
    auto out = ladder.at (frequencyHz);

    if (bumpAmount > 0.0)
    {
        const auto octaves = std::log2 (std::max (1.0, frequencyHz) / std::max (1.0, ladder.cutoff()));
        out += ladder.outputGain() * bumpAmount * std::exp (-bumpWidth * octaves * octaves); // real part only
    }

    return out;
}

double FilterGraph::Response::levelDbAt (double frequencyHz) const noexcept
{
    const auto out = at (frequencyHz);
    return 20.0 * std::log10 (std::max (0.0001, std::hypot (out.real(), out.imag())));
}

//==============================================================================
FilterGraph::FilterGraph() = default;
FilterGraph::~FilterGraph() = default;

FilterGraph::Response FilterGraph::createResponse() const
{
    return { cutoffHz, resonanceAmount, makeupGainDb, modeIndex, slopeIndex, sampleRateHz, oversampled };
}

juce::Path FilterGraph::createResponsePath (int width, int height) const
{
    juce::Path curve;
    const auto response = createResponse();
    const auto w = (float) width;
    const auto h = (float) height;

    for (int x = 0; x <= width; x += pixelsPerSample)
    {
        const auto t = w > 0.0f ? (float) x / w : 0.0f;
        const auto frequency = 20.0 * std::pow (10.0, (double) t * std::log10 (1000.0));
        const auto level = response.levelDbAt (frequency);
        const auto y = std::clamp ((float) (((double) topLevelDb - level) / (double) levelSpanDb) * h, 0.0f, std::max (0.0f, h));

        if (x == 0)
            curve.startNewSubPath ((float) x, y);
        else
            curve.lineTo ((float) x, y);
    }

    return curve;
}

//==============================================================================
void FilterGraph::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    g.fillAll (GraphColours::background);
    g.setFont (FontFactory::makeFont ("Helvetica", 9.0f));

    drawFrequencyGrid (g, w, getHeight());
    drawLevelGrid (g, w, h);

    const auto curve = createResponsePath (getWidth(), getHeight());

    if (! curve.isEmpty())
        drawResponse (g, curve, w, h);
}

void FilterGraph::drawFrequencyGrid (juce::Graphics& g, float width, int height) const
{
    for (const auto frequency : gridFrequencies)
    {
        const auto x = (int) (std::log10 ((float) frequency / 20.0f) / std::log10 (1000.0f) * width);

        g.setColour (GraphColours::grid);
        g.drawVerticalLine (x, 0.0f, (float) height);

        g.setColour (GraphColours::label);
        g.drawText (frequencyLabel (frequency), x - 15, height - 14, 30, 12, juce::Justification::centred, true);
    }
}

void FilterGraph::drawLevelGrid (juce::Graphics& g, float width, float height) const
{
    for (const auto level : gridLevels)
    {
        const auto y = (int) ((topLevelDb - (float) level) / levelSpanDb * height);

        g.setColour (level == 0 ? GraphColours::zeroDbLine : GraphColours::grid);
        g.drawHorizontalLine (y, 0.0f, width);

        g.setColour (GraphColours::label);
        g.drawText (juce::String (level) + "dB", 4, y - 10, 30, 10, juce::Justification::centredLeft, true);
    }
}

void FilterGraph::drawResponse (juce::Graphics& g, const juce::Path& curve, float width, float height) const
{
    auto area = curve;
    area.lineTo (width, height);
    area.lineTo (0.0f, height);
    area.closeSubPath();

    g.setGradientFill (juce::ColourGradient (GraphColours::areaTop, 0.3f * width, 0.0f,
                                             GraphColours::areaBottom, 0.7f * width, height, false));
    g.fillPath (area);

    struct Stroke { float width; juce::Colour colour; };

    for (const auto& stroke : { Stroke { 6.0f, GraphColours::outerGlow },
                                Stroke { 3.0f, GraphColours::innerGlow },
                                Stroke { 1.2f, GraphColours::core } })
    {
        g.setColour (stroke.colour);
        g.strokePath (curve, juce::PathStrokeType (stroke.width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }
}

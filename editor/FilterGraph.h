#pragma once

#include "processor/LadderResponse.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <complex>

/** The magnitude response panel: 20 Hz to 20 kHz on a log axis, +12 dB at the top edge to
    -24 dB at the bottom. The curve is computed on every paint from the filter's own small-signal
    response (LadderResponse: the engine's equations at the rate it runs, with the 2x path's
    oversampling filters), so what it draws is what the processor passes; only the ring tone,
    which is generated rather than filtered, is drawn as a bump of its own. The editor writes the
    display values and calls repaint when they have moved enough. */
class FilterGraph final : public juce::Component
{
public:
    FilterGraph();
    ~FilterGraph() override;

    //==============================================================================
    void paint (juce::Graphics&) override;

    //==============================================================================
    /** The response drawn for one set of display values; its per-paint terms are computed once. */
    class Response final
    {
    public:
        Response (float cutoffHz, float resonanceAmount, float makeupGainDb, int modeIndex, int slopeIndex,
                  double sampleRateHz, bool oversampled);

        /** Complex response at a frequency, makeup gain included: the filter's, plus the ring's bump. */
        std::complex<double> at (double frequencyHz) const noexcept;

        /** Level in dB, floored at -80 dB. */
        double levelDbAt (double frequencyHz) const noexcept;

        /** The filter's response without the drawing's bump. */
        const LadderResponse& filter() const noexcept   { return ladder; }

    private:
        LadderResponse ladder;
        double bumpAmount;
    };

    Response createResponse() const;

    /** The curve for a panel of the given size: one point every 4 pixels, clamped to the panel. */
    juce::Path createResponsePath (int width, int height) const;

    //==============================================================================
    float cutoffHz = 20000.0f;
    float resonanceAmount = 0.0f;
    float makeupGainDb = 0.0f;
    int modeIndex = 0;
    int slopeIndex = 2;

    /** The host rate the processor runs at and whether it runs the 2x path (parameter
        `oversampling` at "2x", its default): the engine filters at this rate times 1 or 2. */
    double sampleRateHz = 48000.0;
    bool oversampled = true;

    static constexpr float topLevelDb = 12.0f;
    static constexpr float levelSpanDb = 36.0f;

private:
    void drawFrequencyGrid (juce::Graphics&, float width, int height) const;
    void drawLevelGrid (juce::Graphics&, float width, float height) const;
    void drawResponse (juce::Graphics&, const juce::Path& curve, float width, float height) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FilterGraph)
};

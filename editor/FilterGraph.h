#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <complex>

/** The magnitude response panel: 20 Hz to 20 kHz on a log axis, +12 dB at the top edge to
    -24 dB at the bottom. The curve is computed on every paint from a linear ladder model plus
    the engine's own shaping, so it follows the sound without measuring audio. The editor writes
    the five display values and calls repaint when they have moved enough. */
class FilterGraph final : public juce::Component
{
public:
    FilterGraph();
    ~FilterGraph() override;

    //==============================================================================
    void paint (juce::Graphics&) override;

    //==============================================================================
    /** The response model for one set of display values; its per-paint terms are computed once. */
    class Response final
    {
    public:
        Response (float cutoffHz, float resonanceAmount, float makeupGainDb, int modeIndex, int slopeIndex) noexcept;

        /** Complex response at a frequency, makeup gain not included. */
        std::complex<double> at (double frequencyHz) const noexcept;

        /** Level in dB with the makeup gain, floored at -80 dB. */
        double levelDbAt (double frequencyHz) const noexcept;

    private:
        double cutoff, resonance, outputGain;
        int mode, slope;
        double lowAmount, lowAmountSquared, ringAmount, highWeight, highResonanceWeight, feedback;
    };

    Response createResponse() const noexcept;

    /** The curve for a panel of the given size: one point every 4 pixels, clamped to the panel. */
    juce::Path createResponsePath (int width, int height) const;

    //==============================================================================
    float cutoffHz = 20000.0f;
    float resonanceAmount = 0.0f;
    float makeupGainDb = 0.0f;
    int modeIndex = 0;
    int slopeIndex = 2;

    static constexpr float topLevelDb = 12.0f;
    static constexpr float levelSpanDb = 36.0f;

private:
    void drawFrequencyGrid (juce::Graphics&, float width, int height) const;
    void drawLevelGrid (juce::Graphics&, float width, float height) const;
    void drawResponse (juce::Graphics&, const juce::Path& curve, float width, float height) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FilterGraph)
};

// Cost of the editor's two custom drawings at the largest window size (scale 1.5), each next to
// peers measured in the same run: the response graph against the same paint with the analog
// model it drew before it drew the filter's real response (kept below as the comparison peer
// only), and against a bare fill and stroke of a path with as many points; the knob against
// JUCE's own LookAndFeel_V4 knob of the same size. Read the rows as ratios.

#include "editor/FilterGraph.h"
#include "editor/FontFactory.h"
#include "editor/TessalineAudioProcessorEditor.h"
#include "processor/LadderShaping.h"

#include <benchmark/benchmark.h>

#include <complex>

namespace
{
    // The graph's and the cutoff knob's bounds at 1380 x 621 (knob area without its text box).
    constexpr int graphWidth = 472, graphHeight = 285;
    constexpr int knobWidth = 195, knobHeight = 279 - 20;

    juce::Image canvas (int width, int height)
    {
        return juce::Image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());
    }

    // The benchmark's setting: low-pass 24 dB at 1200 Hz, resonance 0.6, makeup 3 dB.
    constexpr float benchCutoff = 1200.0f, benchResonance = 0.6f, benchMakeup = 3.0f;

    /** state.range (0): the host rate; state.range (1): 1 on the 2x path. */
    void graphPaint (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        FilterGraph graph;
        graph.cutoffHz = benchCutoff;
        graph.resonanceAmount = benchResonance;
        graph.makeupGainDb = benchMakeup;
        graph.sampleRateHz = (double) state.range (0);
        graph.oversampled = state.range (1) != 0;
        graph.setSize (graphWidth, graphHeight);

        auto image = canvas (graphWidth, graphHeight);
        juce::Graphics g (image);

        for (auto _ : state)
            graph.paint (g);
    }

    //==============================================================================
    /** Peer: the graph's paint as it was with the analog model (stages 1 / (1 + j f / fc),
        feedback without delay, uncapped K, the drawing-only high-cutoff tilt). A copy kept for
        this comparison only; the grid, labels, fill and strokes are drawn as FilterGraph draws
        them. */
    struct AnalogModelGraph
    {
        float cutoffHz = benchCutoff, resonanceAmount = benchResonance, makeupGainDb = benchMakeup;
        int modeIndex = 0, slopeIndex = 2;

        struct Response
        {
            Response (float cutoffHz, float resonanceAmount, float makeupGainDb, int modeIndex, int slopeIndex) noexcept
                : cutoff (std::isfinite (cutoffHz) ? std::clamp ((double) cutoffHz, 1.0, 1.0e6) : 1.0),
                  resonance (std::isfinite (resonanceAmount) ? std::clamp ((double) resonanceAmount, 0.0, 0.99) : 0.0),
                  outputGain (makeupGainDb > -100.0f ? std::pow (10.0, 0.05 * (double) std::min (makeupGainDb, 100.0f)) : 0.0),
                  mode (std::clamp (modeIndex, 0, 2)),
                  slope (std::clamp (slopeIndex, 0, 2))
            {
                using namespace LadderShaping;

                const auto lowWeight = lowCutoffWeight (cutoff);
                lowAmount = lowWeight * resonance;
                lowAmountSquared = lowWeight * resonance * resonance;
                ringAmount = ringWeight (resonance, lowWeight);
                highWeight = highCutoffWeight (cutoff);
                highResonanceWeight = highCutoffResonanceWeight (cutoff, resonance);
                feedback = feedbackGain (resonance, lowWeight, highWeight);
            }

            std::complex<double> at (double frequencyHz) const noexcept
            {
                using Complex = std::complex<double>;
                const Complex one (1.0, 0.0);

                const auto h1 = one / Complex (1.0, frequencyHz / cutoff);
                const auto h2 = h1 * h1;
                const auto h3 = h2 * h1;
                const auto h4 = h3 * h1;
                const auto denominator = one + feedback * h4;
                const auto y1 = h1 / denominator;
                const auto y2 = h2 / denominator;
                const auto y3 = h3 / denominator;
                const auto y4 = h4 / denominator;

                auto out = LadderShaping::tapMix (mode, slope, one, y1, y2, y3, y4);

                if (lowAmount > 0.0)
                {
                    if (mode == LadderShaping::lowPass)
                    {
                        out = LadderShaping::shapeLowPass (out, slope == LadderShaping::fourPole, lowAmount, lowAmountSquared, y1, y2, y4);

                        if (ringAmount > 0.0)
                        {
                            const auto octaves = std::log2 (std::max (1.0, frequencyHz) / std::max (1.0, cutoff));
                            out += 0.15 * ringAmount * std::exp (-18.0 * octaves * octaves);
                        }
                    }
                    else if (mode == LadderShaping::bandPass)
                    {
                        out = LadderShaping::shapeBandPass (out, lowAmount);
                    }
                }

                if (highWeight > 0.0 && resonance > 0.0)
                    out *= 1.0 + 0.1 * highWeight * resonance + 0.04 * highResonanceWeight;

                return out;
            }

            double levelDbAt (double frequencyHz) const noexcept
            {
                const auto out = at (frequencyHz);
                const auto magnitude = std::hypot (outputGain * out.real(), outputGain * out.imag());
                return 20.0 * std::log10 (std::max (0.0001, magnitude));
            }

            double cutoff, resonance, outputGain;
            int mode, slope;
            double lowAmount, lowAmountSquared, ringAmount, highWeight, highResonanceWeight, feedback;
        };

        juce::Path createResponsePath (int width, int height) const
        {
            juce::Path curve;
            const Response response (cutoffHz, resonanceAmount, makeupGainDb, modeIndex, slopeIndex);
            const auto w = (float) width;
            const auto h = (float) height;

            for (int x = 0; x <= width; x += 4)
            {
                const auto t = w > 0.0f ? (float) x / w : 0.0f;
                const auto frequency = 20.0 * std::pow (10.0, (double) t * std::log10 (1000.0));
                const auto level = response.levelDbAt (frequency);
                const auto y = std::clamp ((float) ((12.0 - level) / 36.0) * h, 0.0f, std::max (0.0f, h));

                if (x == 0)
                    curve.startNewSubPath ((float) x, y);
                else
                    curve.lineTo ((float) x, y);
            }

            return curve;
        }

        void paint (juce::Graphics& g, int width, int height) const
        {
            const auto w = (float) width;
            const auto h = (float) height;

            g.fillAll (juce::Colour (0xff040910));
            g.setFont (FontFactory::makeFont ("Helvetica", 9.0f));

            for (const auto frequency : { 50, 100, 200, 500, 1000, 2000, 5000, 10000 })
            {
                const auto x = (int) (std::log10 ((float) frequency / 20.0f) / std::log10 (1000.0f) * w);
                g.setColour (juce::Colour (0x1200d2ff));
                g.drawVerticalLine (x, 0.0f, (float) height);
                g.setColour (juce::Colour (0x6000d2ff));
                g.drawText (frequency >= 1000 ? juce::String (frequency / 1000) + "k" : juce::String (frequency),
                            x - 15, height - 14, 30, 12, juce::Justification::centred, true);
            }

            for (const auto level : { 12, 6, 0, -6, -12 })
            {
                const auto y = (int) ((12.0f - (float) level) / 36.0f * h);
                g.setColour (juce::Colour (level == 0 ? 0x2800d2ff : 0x1200d2ff));
                g.drawHorizontalLine (y, 0.0f, w);
                g.setColour (juce::Colour (0x6000d2ff));
                g.drawText (juce::String (level) + "dB", 4, y - 10, 30, 10, juce::Justification::centredLeft, true);
            }

            const auto curve = createResponsePath (width, height);

            if (curve.isEmpty())
                return;

            auto area = curve;
            area.lineTo (w, h);
            area.lineTo (0.0f, h);
            area.closeSubPath();
            g.setGradientFill (juce::ColourGradient (juce::Colour (0x3500d2ff), 0.3f * w, 0.0f, juce::Colour (0x05001a40), 0.7f * w, h, false));
            g.fillPath (area);

            for (const auto& [strokeWidth, colour] : { std::pair<float, juce::uint32> { 6.0f, 0x2000d2ff },
                                                       std::pair<float, juce::uint32> { 3.0f, 0x5500d2ff },
                                                       std::pair<float, juce::uint32> { 1.2f, 0xffe6faff } })
            {
                g.setColour (juce::Colour (colour));
                g.strokePath (curve, juce::PathStrokeType (strokeWidth, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
            }
        }
    };

    void graphPaintWithTheAnalogModel (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        const AnalogModelGraph graph;

        auto image = canvas (graphWidth, graphHeight);
        juce::Graphics g (image);

        for (auto _ : state)
            graph.paint (g, graphWidth, graphHeight);
    }

    /** The response curves alone, without painting: the models' own share of a paint. */
    void responsePath (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        FilterGraph graph;
        graph.cutoffHz = benchCutoff;
        graph.resonanceAmount = benchResonance;
        graph.makeupGainDb = benchMakeup;
        graph.sampleRateHz = (double) state.range (0);
        graph.oversampled = state.range (1) != 0;

        for (auto _ : state)
            benchmark::DoNotOptimize (graph.createResponsePath (graphWidth, graphHeight));
    }

    void responsePathOfTheAnalogModel (benchmark::State& state)
    {
        const AnalogModelGraph graph;

        for (auto _ : state)
            benchmark::DoNotOptimize (graph.createResponsePath (graphWidth, graphHeight));
    }

    /** Peer: one fill of the panel and one stroke of a path of the same sample count. */
    void plainFillAndStroke (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        juce::Path path;

        for (int x = 0; x <= graphWidth; x += 4)
        {
            const auto y = (float) graphHeight * (0.5f + 0.4f * std::sin ((float) x * 0.02f));
            if (x == 0)
                path.startNewSubPath ((float) x, y);
            else
                path.lineTo ((float) x, y);
        }

        auto image = canvas (graphWidth, graphHeight);
        juce::Graphics g (image);

        for (auto _ : state)
        {
            g.fillAll (juce::Colour (0xff040910));
            g.setColour (juce::Colours::white);
            g.strokePath (path, juce::PathStrokeType (1.2f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        }
    }

    template <typename LookAndFeelType>
    void knobPaint (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        LookAndFeelType lnf;
        juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::TextBoxBelow);
        const auto angles = slider.getRotaryParameters();

        auto image = canvas (knobWidth, knobHeight);
        juce::Graphics g (image);

        for (auto _ : state)
            lnf.drawRotarySlider (g, 0, 0, knobWidth, knobHeight, 0.63f, angles.startAngleRadians, angles.endAngleRadians, slider);
    }
}

BENCHMARK (graphPaint)->ArgNames ({ "rate", "2x" })->Args ({ 48000, 1 })->Args ({ 48000, 0 })->Unit (benchmark::kMicrosecond);
BENCHMARK (graphPaintWithTheAnalogModel)->Unit (benchmark::kMicrosecond);
BENCHMARK (responsePath)->ArgNames ({ "rate", "2x" })->Args ({ 48000, 1 })->Args ({ 48000, 0 })->Unit (benchmark::kMicrosecond);
BENCHMARK (responsePathOfTheAnalogModel)->Unit (benchmark::kMicrosecond);
BENCHMARK (plainFillAndStroke)->Unit (benchmark::kMicrosecond);
BENCHMARK (knobPaint<TessalineAudioProcessorEditor::CustomLNF>)->Name ("knobPaint/CustomLNF")->Unit (benchmark::kMicrosecond);
BENCHMARK (knobPaint<juce::LookAndFeel_V4>)->Name ("knobPaint/LookAndFeel_V4")->Unit (benchmark::kMicrosecond);

BENCHMARK_MAIN();

// Cost of the editor's two custom drawings at the largest window size (scale 1.5), each next to
// a peer measured in the same run: the response graph against a bare fill and stroke of a path
// with as many points, the knob against JUCE's own LookAndFeel_V4 knob of the same size. Read
// the rows as ratios.

#include "editor/FilterGraph.h"
#include "editor/TessalineAudioProcessorEditor.h"

#include <benchmark/benchmark.h>

namespace
{
    // The graph's and the cutoff knob's bounds at 1380 x 621 (knob area without its text box).
    constexpr int graphWidth = 472, graphHeight = 285;
    constexpr int knobWidth = 195, knobHeight = 279 - 20;

    juce::Image canvas (int width, int height)
    {
        return juce::Image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());
    }

    void graphPaint (benchmark::State& state)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        FilterGraph graph;
        graph.cutoffHz = 1200.0f;
        graph.resonanceAmount = 0.6f;
        graph.makeupGainDb = 3.0f;
        graph.setSize (graphWidth, graphHeight);

        auto image = canvas (graphWidth, graphHeight);
        juce::Graphics g (image);

        for (auto _ : state)
            graph.paint (g);
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

BENCHMARK (graphPaint)->Unit (benchmark::kMicrosecond);
BENCHMARK (plainFillAndStroke)->Unit (benchmark::kMicrosecond);
BENCHMARK (knobPaint<TessalineAudioProcessorEditor::CustomLNF>)->Name ("knobPaint/CustomLNF")->Unit (benchmark::kMicrosecond);
BENCHMARK (knobPaint<juce::LookAndFeel_V4>)->Name ("knobPaint/LookAndFeel_V4")->Unit (benchmark::kMicrosecond);

BENCHMARK_MAIN();

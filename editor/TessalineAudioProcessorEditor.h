#pragma once

#include "editor/FilterGraph.h"
#include "processor/TessalineAudioProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

/** The plug-in's window: knobs, mode and slope buttons, the response graph, the oversampling
    selector and the preset bar, laid out in a 920 x 414 design space scaled with the window. */
class TessalineAudioProcessorEditor final : public juce::AudioProcessorEditor
{
public:
    //==============================================================================
    /** The window's look: glowing cyan knobs with a tick ring, flat buttons coloured by their
        toggle state, dark value boxes. Everything else keeps LookAndFeel_V4's drawing. */
    class CustomLNF final : public juce::LookAndFeel_V4
    {
    public:
        CustomLNF();
        ~CustomLNF() override;

        //==============================================================================
        void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                                   bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

        void drawLabel (juce::Graphics&, juce::Label&) override;

        void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosProportional,
                               float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;

        //==============================================================================
        /** Radii and centre of a knob drawn into an integer area, 12 units of margin each side. */
        struct KnobGeometry
        {
            static KnobGeometry forArea (int x, int y, int width, int height) noexcept;

            /** The point at a distance from the centre along an angle (0 up, clockwise). */
            juce::Point<float> pointAt (float angle, float distance) const noexcept;

            float centreX, centreY;
            float radius;          // R
            float lineWidth;       // L = 0.08 R
            float dotSize;         // D = 1.5 L
            float arcRadius;       // A = R - D
            float tickInner;       // T1
            float tickOuter;       // T2
            float bodyRadius;      // K
            float pointerDistance; // 0.68 K
        };

        /** The value box font for a box of the given height. */
        static juce::Font valueBoxFont (float boxHeight);

    private:
        static void drawTickRing (juce::Graphics&, const KnobGeometry&, float position, float startAngle, float endAngle);
        static void drawValueArc (juce::Graphics&, const KnobGeometry&, float startAngle, float valueAngle);
        static void drawBody (juce::Graphics&, const KnobGeometry&, float valueAngle);
        static void drawPointer (juce::Graphics&, const KnobGeometry&, float valueAngle);

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomLNF)
    };

    //==============================================================================
    explicit TessalineAudioProcessorEditor (TessalineAudioProcessor&);
    ~TessalineAudioProcessorEditor() override;

    //==============================================================================
    void paint (juce::Graphics&) override;
    void resized() override;

private:
    CustomLNF customLnf;
    TessalineAudioProcessor& processorRef;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TessalineAudioProcessorEditor)
};

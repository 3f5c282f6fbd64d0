#pragma once

#include "editor/FilterGraph.h"
#include "presets/PresetBar.h"
#include "presets/PresetLibrary.h"
#include "processor/TessalineAudioProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

/** The plug-in's window: knobs, mode and slope buttons, the response graph, the oversampling
    selector and the preset bar, laid out in a 920 x 414 design space scaled with the window. */
class TessalineAudioProcessorEditor final : public juce::AudioProcessorEditor,
                                            public juce::Timer
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

    //==============================================================================
    /** Brings the graph and the lit mode and slope buttons in step with the parameters. */
    void timerCallback() override;

    /** Click handlers of the mode and slope buttons: a choice index 0, 1 or 2. */
    void selectMode (int index);
    void selectSlope (int index);

    void showAboutBox();

    static constexpr int designWidth = 920;
    static constexpr int designHeight = 414;

private:
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ComboBoxAttachment = juce::AudioProcessorValueTreeState::ComboBoxAttachment;

    float layoutScale() const noexcept;
    void setUpKnob (juce::Slider&, int textBoxWidth, const juce::String& suffix, juce::Label& caption,
                    const juce::String& captionText, std::unique_ptr<SliderAttachment>& attachment, const char* parameterId);
    void setUpChoiceButtons (std::initializer_list<juce::TextButton*> buttons, int radioGroupId, std::function<void (int)> onSelect,
                             juce::Label& caption, const juce::String& captionText);
    void setUpPresetBar();
    void selectChoice (const char* parameterId, int index);
    /** What the graph is told: five parameter values, the processor's rate and the oversampling. */
    struct GraphValues
    {
        float cutoff, resonance, makeupGain;
        int mode, slope;
        double sampleRate;
        bool oversampled;
    };

    void refreshGraph (const GraphValues& values);
    void showAppliedPreset();
    static void showChoiceOnButtons (int index, int& lastIndex, std::initializer_list<juce::TextButton*> buttons);

    void paintBackground (juce::Graphics&) const;
    void paintPanel (juce::Graphics&, juce::Rectangle<float> panel) const;
    void paintTexts (juce::Graphics&) const;

    friend struct TessalineAudioProcessorEditorInspector;

    //==============================================================================
    CustomLNF customLnf;
    TessalineAudioProcessor& processorRef;

    juce::Slider cutoffSlider, resonanceSlider, driveSlider, makeupSlider;
    juce::Label cutoffLabel, resonanceLabel, driveLabel, makeupLabel;
    juce::Label modeLabel, slopeLabel;

    FilterGraph filterGraph;

    juce::TextButton lpfButton { "LPF" }, hpfButton { "HPF" }, bpfButton { "BPF" };
    juce::TextButton slope6Button { "6 dB" }, slope18Button { "18 dB" }, slope24Button { "24 dB" };
    juce::TextButton prevPresetButton { "<" }, nextPresetButton { ">" }, savePresetButton { "Save" }, loadPresetButton { "Load" },
                     initPresetButton { "Init" }, undoButton { "Undo" }, redoButton { "Redo" }, menuButton { "Menu" };

    juce::ComboBox bankBox, presetBox;
    juce::ComboBox oversamplingBox;

    std::unique_ptr<SliderAttachment> cutoffAttachment, resonanceAttachment, driveAttachment, makeupAttachment;
    std::unique_ptr<ComboBoxAttachment> oversamplingAttachment;

    int lastModeIndex = -1, lastSlopeIndex = -1;

    PresetLibrary presetLibrary { processorRef.apvts, bankBox, presetBox, [this] { showAppliedPreset(); } };
    PresetBar presetBar { presetLibrary, presetBox, { loadPresetButton, menuButton, *this }, [this] { showAboutBox(); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TessalineAudioProcessorEditor)
};

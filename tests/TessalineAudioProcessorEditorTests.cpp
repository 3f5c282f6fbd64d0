#include "editor/FontFactory.h"
#include "editor/TessalineAudioProcessorEditor.h"
#include "presets/PresetFiles.h"
#include "processor/ParameterIds.h"
#include "tests/ProcessorTestTools.h"
#include "tests/MessageLoopTools.h"
#include "tests/RenderTools.h"

#include "tests/SanitizerTools.h"

#include <gtest/gtest.h>

#include <malloc.h>


using Editor = TessalineAudioProcessorEditor;
using ProcessorTestTools::setRaw;
using RenderTools::pixelIs;
using MessageLoopTools::deliverPendingMessages;

/** Reaches the editor's private state that its behaviour is judged by. */
struct TessalineAudioProcessorEditorInspector
{
    static FilterGraph& graph (Editor& e)                     { return e.filterGraph; }
    static PresetLibrary& presets (Editor& e)                 { return e.presetLibrary; }
    static int undoSteps (Editor& e)                          { return e.presetLibrary.getUndoHistory().size(); }
    static juce::Slider& cutoffSlider (Editor& e)             { return e.cutoffSlider; }
    static juce::Slider& makeupSlider (Editor& e)             { return e.makeupSlider; }
    static juce::Slider& driveSlider (Editor& e)              { return e.driveSlider; }
    static juce::ComboBox& oversamplingBox (Editor& e)        { return e.oversamplingBox; }

    static std::array<juce::TextButton*, 3> modeButtons (Editor& e)   { return { &e.lpfButton, &e.hpfButton, &e.bpfButton }; }
    static std::array<juce::TextButton*, 3> slopeButtons (Editor& e)  { return { &e.slope6Button, &e.slope18Button, &e.slope24Button }; }
};

using Inspect = TessalineAudioProcessorEditorInspector;

namespace
{
    /** Deletes an editor the way the wrappers do: the processor is told first. */
    template <typename EditorType>
    void closeEditor (TessalineAudioProcessor& processor, std::unique_ptr<EditorType>& editor)
    {
        processor.editorBeingDeleted (editor.get());
        editor.reset();
    }

    struct EditorFixture : public ::testing::Test
    {
        ~EditorFixture() override   { closeEditor (processor, editor); }

        TessalineAudioProcessor processor;
        std::unique_ptr<Editor> editor { dynamic_cast<Editor*> (processor.createEditorIfNeeded()) };
    };

    /** Index of each control among the editor's children (the order they are added in) and its
        design rectangle. */
    struct ControlCase { int childIndex; const char* text; const char* tooltip; juce::Rectangle<int> design; };

    const ControlCase controls[] = {
        { 0,  nullptr, nullptr, { 30, 110, 130, 186 } },   // cutoffSlider
        { 1,  "Cutoff", nullptr, { 30, 84, 130, 22 } },
        { 2,  nullptr, nullptr, { 165, 110, 110, 186 } },  // resonanceSlider
        { 3,  "Resonance", nullptr, { 165, 84, 110, 22 } },
        { 4,  nullptr, nullptr, { 285, 110, 95, 186 } },   // driveSlider
        { 5,  "Drive", nullptr, { 285, 84, 95, 22 } },
        { 6,  nullptr, nullptr, { 390, 110, 120, 186 } },  // makeupSlider
        { 7,  "Makeup", nullptr, { 390, 84, 120, 22 } },
        { 8,  nullptr, nullptr, { 570, 84, 315, 190 } },   // filterGraph
        { 9,  "LPF", nullptr, { 670, 294, 68, 30 } },
        { 10, "HPF", nullptr, { 744, 294, 68, 30 } },
        { 11, "BPF", nullptr, { 818, 294, 68, 30 } },
        { 12, "Filter Mode", nullptr, { 570, 294, 92, 30 } },
        { 13, "6 dB", nullptr, { 670, 336, 68, 30 } },
        { 14, "18 dB", nullptr, { 744, 336, 68, 30 } },
        { 15, "24 dB", nullptr, { 818, 336, 68, 30 } },
        { 16, "Slope / Poles", nullptr, { 570, 336, 92, 30 } },
        { 17, nullptr, "Oversampling", { 812, 380, 64, 22 } },
        { 18, nullptr, "Preset Bank", { 382, 29, 92, 24 } },
        { 19, nullptr, "Preset", { 478, 29, 102, 24 } },
        { 20, "<", "Previous preset", { 584, 29, 20, 24 } },
        { 21, ">", "Next preset", { 606, 29, 20, 24 } },
        { 22, "Save", "Save current preset", { 632, 29, 38, 24 } },
        { 23, "Load", "Load preset or bank", { 674, 29, 38, 24 } },
        { 24, "Init", "Reset to Init preset", { 716, 29, 34, 24 } },
        { 25, "Undo", "Undo parameter or preset change", { 754, 29, 40, 24 } },
        { 26, "Redo", "Redo parameter or preset change", { 798, 29, 40, 24 } },
        { 27, "Menu", "Menu", { 842, 29, 56, 24 } },
    };

    juce::String textOf (juce::Component& component)
    {
        if (auto* button = dynamic_cast<juce::Button*> (&component))
            return button->getButtonText();

        if (auto* label = dynamic_cast<juce::Label*> (&component))
            return label->getText();

        return {};
    }

    juce::String tooltipOf (juce::Component& component)
    {
        if (auto* client = dynamic_cast<juce::SettableTooltipClient*> (&component))
            return client->getTooltip();

        return {};
    }

    /** Records what a host would see of one parameter. */
    struct HostListener final : public juce::AudioProcessorListener
    {
        explicit HostListener (int index) : watched (index) {}

        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
        {
            if (index == watched)
                events.add ("value " + juce::String (value, 2));
        }

        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

        void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
        {
            if (index == watched)
                events.add ("begin");
        }

        void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
        {
            if (index == watched)
                events.add ("end");
        }

        int watched;
        juce::StringArray events;
    };

    /** A mouse press and release on the button, as the framework delivers them. */
    void click (juce::Button& button)
    {
        const auto centre = button.getLocalBounds().getCentre().toFloat();
        const auto now = juce::Time::getCurrentTime();
        const juce::MouseEvent event (juce::Desktop::getInstance().getMainMouseSource(), centre, juce::ModifierKeys(),
                                      juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                                      &button, &button, now, centre, now, 1, false);
        auto& component = static_cast<juce::Component&> (button);
        component.mouseDown (event);
        component.mouseUp (event);
    }

    std::vector<bool> litStates (const std::array<juce::TextButton*, 3>& buttons)
    {
        return { buttons[0]->getToggleState(), buttons[1]->getToggleState(), buttons[2]->getToggleState() };
    }

    size_t heapInUse()
    {
        const auto info = mallinfo2();
        return info.uordblks + info.hblkhd;
    }
}

//==============================================================================
TEST_F (EditorFixture, ProcessorCreatesThisEditor)
{
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (processor.getActiveEditor(), editor.get());
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, 920, 414));
    EXPECT_TRUE (editor->isResizable());

    auto* constrainer = editor->getConstrainer();
    EXPECT_EQ (constrainer->getMinimumWidth(), 800);
    EXPECT_EQ (constrainer->getMinimumHeight(), 360);
    EXPECT_EQ (constrainer->getMaximumWidth(), 1380);
    EXPECT_EQ (constrainer->getMaximumHeight(), 621);
    EXPECT_DOUBLE_EQ (constrainer->getFixedAspectRatio(), 920.0 / 414.0);

    EXPECT_TRUE (editor->isTimerRunning());
    EXPECT_EQ (editor->getTimerInterval(), 66);
}

TEST_F (EditorFixture, ControlsAreAddedInOrderWithTheirTextsAndTooltips)
{
    ASSERT_GE (editor->getNumChildComponents(), 28);

    for (const auto& c : controls)
    {
        auto& child = *editor->getChildComponent (c.childIndex);
        if (c.text != nullptr)
        {
            EXPECT_EQ (textOf (child), c.text) << c.childIndex;
        }

        if (c.tooltip != nullptr)
        {
            EXPECT_EQ (tooltipOf (child), c.tooltip) << c.childIndex;
        }
    }

    EXPECT_NE (dynamic_cast<FilterGraph*> (editor->getChildComponent (8)), nullptr);

    for (const auto index : { 0, 2, 4, 6 })
        EXPECT_NE (dynamic_cast<juce::Slider*> (editor->getChildComponent (index)), nullptr);

    auto& bankBox = dynamic_cast<juce::ComboBox&> (*editor->getChildComponent (18));
    EXPECT_EQ (bankBox.getNumItems(), 2);
    EXPECT_EQ (bankBox.getItemText (0), "Factory");
    EXPECT_EQ (bankBox.getItemText (1), "User");
    EXPECT_EQ (bankBox.getSelectedId(), 1);
}

TEST_F (EditorFixture, KnobTextBoxesShowTheParameterTextAndSuffix)
{
    struct TextCase { juce::Slider& slider; const char* text; };
    const TextCase cases[] = {
        { Inspect::cutoffSlider (*editor), "20000.0 Hz" },
        { Inspect::driveSlider (*editor), "1.00" },
        { Inspect::makeupSlider (*editor), "0.00 dB" },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (c.slider.getTextFromValue (c.slider.getValue()), c.text);
        EXPECT_EQ (c.slider.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
        EXPECT_EQ (c.slider.getTextBoxPosition(), juce::Slider::TextBoxBelow);
        EXPECT_TRUE (c.slider.isTextBoxEditable());
    }

    EXPECT_EQ (Inspect::cutoffSlider (*editor).getTextBoxWidth(), 80);
    EXPECT_EQ (Inspect::driveSlider (*editor).getTextBoxWidth(), 60);
}

TEST_F (EditorFixture, CaptionsUseTheirTwoStyles)
{
    struct CaptionCase { int childIndex; float fontHeight; juce::Justification justification; juce::uint32 colour; };

    const CaptionCase cases[] = {
        { 1,  13.0f, juce::Justification::centred,     0xb2ffffff },   // knob captions
        { 3,  13.0f, juce::Justification::centred,     0xb2ffffff },
        { 5,  13.0f, juce::Justification::centred,     0xb2ffffff },
        { 7,  13.0f, juce::Justification::centred,     0xb2ffffff },
        { 12, 12.0f, juce::Justification::centredLeft, 0x99ffffff },   // row captions
        { 16, 12.0f, juce::Justification::centredLeft, 0x99ffffff },
    };

    for (const auto& c : cases)
    {
        auto& label = dynamic_cast<juce::Label&> (*editor->getChildComponent (c.childIndex));
        EXPECT_EQ (label.getFont().getTypefaceName(), FontFactory::installedFamilyFor ("Helvetica", juce::Font::bold)) << c.childIndex;
        EXPECT_FLOAT_EQ (label.getFont().getHeight(), c.fontHeight) << c.childIndex;
        EXPECT_TRUE (label.getFont().isBold()) << c.childIndex;
        EXPECT_EQ (label.getJustificationType(), c.justification) << c.childIndex;
        EXPECT_EQ (label.findColour (juce::Label::textColourId).getARGB(), c.colour) << c.childIndex;
    }

    for (const auto index : { 0, 2, 4, 6 })
        EXPECT_EQ (editor->getChildComponent (index)->findColour (juce::Slider::textBoxOutlineColourId), juce::Colours::transparentBlack);
}

//==============================================================================
TEST_F (EditorFixture, ControlsHaveTheirDesignRectanglesAtTheDefaultSize)
{
    for (const auto& c : controls)
        EXPECT_EQ (editor->getChildComponent (c.childIndex)->getBounds(), c.design) << c.childIndex;
}

TEST_F (EditorFixture, ControlsScaleWithTheSmallestAndLargestWindow)
{
    struct ScaledCase { int width, height, childIndex; juce::Rectangle<int> bounds; };

    const ScaledCase cases[] = {
        { 800, 360, 0,   { 26, 96, 113, 162 } },    // cutoffSlider
        { 800, 360, 8,   { 496, 73, 274, 165 } },   // filterGraph
        { 800, 360, 27,  { 732, 25, 49, 21 } },     // menuButton
        { 1380, 621, 8,  { 855, 126, 472, 285 } },  // 472.5 rounds to even
        { 1380, 621, 17, { 1218, 570, 96, 33 } },   // oversamplingBox
        { 1380, 414, 8,  { 570, 84, 315, 190 } },   // a host's wider window keeps the smaller ratio
        { 0, 0, 8,       { 57, 8, 32, 19 } },       // the scale never falls below 0.1
    };

    for (const auto& c : cases)
    {
        editor->setSize (c.width, c.height);
        EXPECT_EQ (editor->getChildComponent (c.childIndex)->getBounds(), c.bounds) << c.width << " x " << c.height << " #" << c.childIndex;
    }
}

//==============================================================================
TEST_F (EditorFixture, GraphFollowsTheParametersBeyondTheThresholdsOnly)
{
    auto& graph = Inspect::graph (*editor);

    struct Step { const char* id; float value; float expectedCutoff, expectedResonance, expectedMakeup; };

    const Step steps[] = {
        { ParameterIds::cutoff,     1000.0f, 1000.0f, 0.0f,  0.0f },
        { ParameterIds::cutoff,     1005.0f, 1000.0f, 0.0f,  0.0f },   // ln 1.005 < 0.006
        { ParameterIds::cutoff,     1007.0f, 1007.0f, 0.0f,  0.0f },
        { ParameterIds::resonance,  0.01f,   1007.0f, 0.01f, 0.0f },
        { ParameterIds::makeupGain, 0.02f,   1007.0f, 0.01f, 0.0f },   // not more than 0.02 dB
        { ParameterIds::makeupGain, 0.03f,   1007.0f, 0.01f, 0.03f },
    };

    for (const auto& step : steps)
    {
        setRaw (processor, step.id, step.value);
        editor->timerCallback();
        EXPECT_NEAR (graph.cutoffHz, step.expectedCutoff, 0.01f) << step.id << " " << step.value;
        EXPECT_NEAR (graph.resonanceAmount, step.expectedResonance, 1.0e-6f) << step.id << " " << step.value;
        EXPECT_NEAR (graph.makeupGainDb, step.expectedMakeup, 1.0e-6f) << step.id << " " << step.value;
    }

    setRaw (processor, ParameterIds::slope, 0.0f);
    editor->timerCallback();
    EXPECT_EQ (graph.slopeIndex, 0);
}

TEST_F (EditorFixture, GraphDrawsAtTheRateAndOnThePathTheProcessorRuns)
{
    auto& graph = Inspect::graph (*editor);

    // Before the host prepares the processor: 48 kHz, on the parameter's path (2x by default).
    editor->timerCallback();
    EXPECT_EQ (graph.sampleRateHz, 48000.0);
    EXPECT_TRUE (graph.oversampled);

    ProcessorTestTools::prepare (processor, 96000.0, 512);
    editor->timerCallback();
    EXPECT_EQ (graph.sampleRateHz, 96000.0);

    // Either one changes the drawing on its own, whatever the thresholds of the other values.
    setRaw (processor, ParameterIds::oversampling, 0.0f);
    editor->timerCallback();
    EXPECT_FALSE (graph.oversampled);

    ProcessorTestTools::prepare (processor, 44100.0, 512);
    editor->timerCallback();
    EXPECT_EQ (graph.sampleRateHz, 44100.0);
    EXPECT_FALSE (graph.oversampled);

    setRaw (processor, ParameterIds::oversampling, 1.0f);
    editor->timerCallback();
    EXPECT_TRUE (graph.oversampled);
    EXPECT_EQ (graph.sampleRateHz, 44100.0);
}

TEST_F (EditorFixture, HostAutomationLightsTheButtonsAtTheNextTickWithoutAnUndoStep)
{
    const auto modeButtons = Inspect::modeButtons (*editor);
    const auto slopeButtons = Inspect::slopeButtons (*editor);

    // Nothing is lit before the first tick.
    EXPECT_EQ (litStates (modeButtons), (std::vector<bool> { false, false, false }));
    EXPECT_EQ (litStates (slopeButtons), (std::vector<bool> { false, false, false }));

    editor->timerCallback();
    EXPECT_EQ (litStates (modeButtons), (std::vector<bool> { true, false, false }));
    EXPECT_EQ (litStates (slopeButtons), (std::vector<bool> { false, false, true }));

    struct AutomationCase { const char* id; float value; std::vector<bool> modes, slopes; };
    const AutomationCase cases[] = {
        { ParameterIds::mode,  2.0f, { false, false, true }, { false, false, true } },
        { ParameterIds::slope, 1.0f, { false, false, true }, { false, true, false } },
        { ParameterIds::mode,  1.0f, { false, true, false }, { false, true, false } },
    };

    for (const auto& c : cases)
    {
        setRaw (processor, c.id, c.value); // as a host writes automation: no gesture, no drag
        editor->timerCallback();
        EXPECT_EQ (litStates (modeButtons), c.modes) << c.id << " " << c.value;
        EXPECT_EQ (litStates (slopeButtons), c.slopes) << c.id << " " << c.value;
    }

    EXPECT_EQ (Inspect::undoSteps (*editor), 0);
}

TEST_F (EditorFixture, RunningTimerPicksUpHostAutomation)
{
    setRaw (processor, ParameterIds::mode, 2.0f);
    setRaw (processor, ParameterIds::slope, 0.0f);

    // The editor's own 15 Hz timer, delivered through the message queue; the deadline is only a
    // guard against hanging, not a measure of speed.
    const auto giveUpAt = juce::Time::getMillisecondCounter() + 5000;
    const auto bpf = Inspect::modeButtons (*editor)[2];
    const auto slope6 = Inspect::slopeButtons (*editor)[0];

    while (! (bpf->getToggleState() && slope6->getToggleState()) && juce::Time::getMillisecondCounter() < giveUpAt)
    {
        deliverPendingMessages();
        juce::Thread::sleep (5);
    }

    EXPECT_EQ (litStates (Inspect::modeButtons (*editor)), (std::vector<bool> { false, false, true }));
    EXPECT_EQ (litStates (Inspect::slopeButtons (*editor)), (std::vector<bool> { true, false, false }));
    EXPECT_EQ (Inspect::graph (*editor).modeIndex, 2);
    EXPECT_EQ (Inspect::undoSteps (*editor), 0);
}

TEST_F (EditorFixture, ClickingALitButtonSendsTheValueAgainInAGesture)
{
    editor->timerCallback();
    auto& hpf = *Inspect::modeButtons (*editor)[1];

    HostListener host (4); // mode
    processor.addListener (&host);

    // Switching from the lit LPF: one gesture and one undo step, not one more for the LPF
    // button that the radio group switches off.
    click (hpf);
    EXPECT_EQ (host.events, (juce::StringArray { "begin", "value 0.50", "end" }));
    EXPECT_TRUE (hpf.getToggleState());
    EXPECT_FALSE (Inspect::modeButtons (*editor)[0]->getToggleState());
    EXPECT_EQ (Inspect::undoSteps (*editor), 1);

    editor->timerCallback();
    host.events.clear();

    click (hpf);
    EXPECT_EQ (host.events, (juce::StringArray { "begin", "value 0.50", "end" }));
    EXPECT_TRUE (hpf.getToggleState());
    EXPECT_EQ (Inspect::undoSteps (*editor), 2);

    processor.removeListener (&host);
    EXPECT_EQ (ProcessorTestTools::raw (processor, ParameterIds::mode), 1.0f);
}

TEST_F (EditorFixture, AClickThatTheHostOverridesWithinOneTickIsCorrectedAtTheNextTick)
{
    editor->timerCallback();
    auto modeButtons = Inspect::modeButtons (*editor);

    click (*modeButtons[1]);
    setRaw (processor, ParameterIds::mode, 0.0f);   // a host in read mode puts LowPass back at once
    editor->timerCallback();

    EXPECT_EQ (litStates (modeButtons), (std::vector<bool> { true, false, false }));
}

TEST_F (EditorFixture, SlopeButtonsSetTheSlopeAndOversamplingBoxTheOversampling)
{
    click (*Inspect::slopeButtons (*editor)[0]);
    EXPECT_EQ (ProcessorTestTools::raw (processor, ParameterIds::slope), 0.0f);

    auto& box = Inspect::oversamplingBox (*editor);
    EXPECT_EQ (box.getSelectedId(), 2);
    box.setSelectedId (1, juce::sendNotificationSync);
    EXPECT_EQ (ProcessorTestTools::raw (processor, ParameterIds::oversampling), 0.0f);
}

TEST_F (EditorFixture, KnobDragStartRecordsOneUndoStep)
{
    auto& knob = Inspect::cutoffSlider (*editor);
    ASSERT_TRUE (knob.onDragStart != nullptr);
    knob.onDragStart();
    EXPECT_EQ (Inspect::undoSteps (*editor), 1);

    setRaw (processor, ParameterIds::cutoff, 440.0f); // through the parameter: no step
    EXPECT_EQ (Inspect::undoSteps (*editor), 1);
}

//==============================================================================
TEST_F (EditorFixture, RenderedWindowShowsItsFixedColours)
{
    editor->timerCallback();

    struct SizeCase { int width, height; float scale; };

    for (const auto& size : { SizeCase { 920, 414, 1.0f }, SizeCase { 1380, 621, 1.5f } })
    {
        editor->setSize (size.width, size.height);
        const auto image = RenderTools::renderComponent (*editor);

        auto at = [&] (float x, float y) { return juce::Point<int> ((int) (x * size.scale), (int) (y * size.scale)); };

        struct PixelCase { juce::Point<int> point; juce::uint32 argb; int tolerance; };
        const PixelCase cases[] = {
            { at (525.0f, 300.0f), 0xff050b12, 1 },            // left panel
            { at (560.0f, 370.0f), 0xff050b12, 1 },            // right panel
            { at (571.0f, 86.0f),  0xff040910, 0 },            // graph background
            { at (673.0f, 309.0f), 0xff005fcc, 0 },            // LPF lit
            { at (747.0f, 309.0f), 0xff0b1420, 0 },            // HPF off
            { at (883.0f, 351.0f), 0xff005fcc, 0 },            // 24 dB lit
            { at (5.0f, 207.0f),   0xff070d16, 2 },            // background gradient half way down
        };

        for (const auto& c : cases)
            EXPECT_TRUE (pixelIs (image, c.point.x, c.point.y, juce::Colour (c.argb), c.tolerance)) << size.width;

        // The title is white.
        float brightest = 0.0f;
        for (int y = at (0.0f, 30.0f).y; y < at (0.0f, 48.0f).y; ++y)
            for (int x = at (32.0f, 0.0f).x; x < at (200.0f, 0.0f).x; ++x)
                brightest = std::max (brightest, image.getPixelAt (x, y).getBrightness());
        EXPECT_GT (brightest, 0.95f);
    }
}

//==============================================================================
TEST (TessalineAudioProcessorEditorLifetime, OpensAndClosesManyTimesWithoutLeaking)
{
    if (SanitizerTools::addressSanitizer)
        GTEST_SKIP() << "the heap is the sanitizer's own here, which mallinfo does not see (LeakSanitizer looks for leaks instead)";

    TessalineAudioProcessor processor;

    auto openAndClose = [&processor]
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
        ASSERT_EQ (processor.getActiveEditor(), editor.get());
        dynamic_cast<Editor&> (*editor).timerCallback();
        editor->setSize (1380, 621);
        RenderTools::renderComponent (*editor);
        closeEditor (processor, editor);
        deliverPendingMessages(); // what the closed editor left in the queue
    };

    // Fonts, glyphs and other framework caches fill up over the first rounds and still creep a
    // little after that; a leaked editor, or even one of its controls, would be far more.
    for (int i = 0; i < 150; ++i)
        openAndClose();

    const auto before = heapInUse();
    std::unique_ptr<juce::AudioProcessorEditor> open (processor.createEditorIfNeeded());
    const auto oneEditor = (double) heapInUse() - (double) before;
    closeEditor (processor, open);
    deliverPendingMessages();

    const auto beforeRounds = heapInUse();

    for (int i = 0; i < 100; ++i)
        openAndClose();

    const auto growth = (double) heapInUse() - (double) beforeRounds;
    EXPECT_EQ (processor.getActiveEditor(), nullptr);
    EXPECT_GT (oneEditor, 20000.0);
    EXPECT_LT (growth, 0.5 * oneEditor) << "one editor takes " << oneEditor << " bytes; 100 rounds left " << growth;
}

//==============================================================================
TEST_F (EditorFixture, InitUndoRedoAndTheBoxesActOnTheParameters)
{
    auto& buttons = *editor;
    auto& init = dynamic_cast<juce::TextButton&> (*buttons.getChildComponent (24));
    auto& undo = dynamic_cast<juce::TextButton&> (*buttons.getChildComponent (25));
    auto& redo = dynamic_cast<juce::TextButton&> (*buttons.getChildComponent (26));
    auto& presetBox = dynamic_cast<juce::ComboBox&> (*buttons.getChildComponent (19));

    EXPECT_EQ (presetBox.getText(), "Init");
    presetBox.setSelectedId (6, juce::sendNotificationSync);   // "Drum Radio": band-pass, 18 dB
    EXPECT_EQ (ProcessorTestTools::raw (processor, ParameterIds::mode), 2.0f);
    EXPECT_EQ (litStates (Inspect::modeButtons (*editor)), (std::vector<bool> { false, false, true })) << "shown at once";
    EXPECT_EQ (Inspect::graph (*editor).cutoffHz, 950.0f);

    click (undo);
    EXPECT_EQ (ProcessorTestTools::raw (processor, ParameterIds::mode), 0.0f);
    EXPECT_EQ (litStates (Inspect::modeButtons (*editor)), (std::vector<bool> { true, false, false }));
    click (redo);
    EXPECT_EQ (ProcessorTestTools::raw (processor, ParameterIds::cutoff), 950.0f);

    click (init);
    EXPECT_EQ (ProcessorTestTools::raw (processor, ParameterIds::cutoff), 20000.0f);
    EXPECT_EQ (Inspect::undoSteps (*editor), 2);
}

TEST (TessalineAudioProcessorEditorPresets, APresetSavedInOneEditorIsInTheNextEditorsUserBank)
{
    TessalineAudioProcessor processor;
    ProcessorTestTools::setRaw (processor, ParameterIds::cutoff, 3210.0f);

    std::unique_ptr<Editor> first (dynamic_cast<Editor*> (processor.createEditorIfNeeded()));
    Inspect::presets (*first).addSavedPreset ("Session Bank", "Saved In First");
    closeEditor (processor, first);

    std::unique_ptr<Editor> second (dynamic_cast<Editor*> (processor.createEditorIfNeeded()));
    const auto& userPresets = Inspect::presets (*second).getUserPresets();
    const auto saved = std::find_if (userPresets.begin(), userPresets.end(), [] (const Preset& p) { return p.name == "Saved In First"; });
    ASSERT_NE (saved, userPresets.end());
    EXPECT_EQ (saved->cutoff, 3210.0f);
    EXPECT_EQ (Inspect::presets (*second).getUserBankName(), "User") << "a bank name lives only as long as its editor";
    closeEditor (processor, second);

    EXPECT_TRUE (getPresetFolder().deleteRecursively());
}

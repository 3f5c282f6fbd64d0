#include "editor/TessalineAudioProcessorEditor.h"
#include "editor/FontFactory.h"
#include "processor/ParameterIds.h"

namespace
{
    constexpr int modeRadioGroup = 1001;
    constexpr int slopeRadioGroup = 1002;
    constexpr int refreshRateHz = 15;

    constexpr float cutoffThreshold = 0.006f;    // natural log of the ratio, about 0.6 %
    constexpr float resonanceThreshold = 0.003f;
    constexpr float makeupThreshold = 0.02f;     // dB
    constexpr double unpreparedSampleRate = 48000.0;

    /** A control's place in the 920 x 414 design space. */
    struct DesignRect { int x, y, width, height; };

    juce::Rectangle<int> scaled (DesignRect r, float scale)
    {
        return { juce::roundToInt ((float) r.x * scale), juce::roundToInt ((float) r.y * scale),
                 juce::roundToInt ((float) r.width * scale), juce::roundToInt ((float) r.height * scale) };
    }

    void setUpCaption (juce::Label& label, const juce::String& text, float fontHeight, juce::Justification justification, float alpha)
    {
        label.setText (text, juce::dontSendNotification);
        label.setFont (FontFactory::makeFont ("Helvetica", fontHeight, juce::Font::bold));
        label.setJustificationType (justification);
        label.setColour (juce::Label::textColourId, juce::Colours::white.withAlpha (alpha));
    }

    void setUpKnobCaption (juce::Label& label, const juce::String& text)  { setUpCaption (label, text, 13.0f, juce::Justification::centred, 0.7f); }
    void setUpRowCaption (juce::Label& label, const juce::String& text)   { setUpCaption (label, text, 12.0f, juce::Justification::centredLeft, 0.6f); }

    float rawValue (juce::AudioProcessorValueTreeState& state, const char* id)
    {
        return state.getRawParameterValue (id)->load();
    }

    juce::String aboutMessage()
    {
        return juce::String ("Tessaline")
             + "\nVersion 1.0.0\n\nBuilt with "
             + juce::SystemStats::getJUCEVersion()
             + "\n\nJUCE is copyright Raw Material Software Limited."
             + "\nJUCE is used under the terms of its licence: "
             + "https://juce.com/legal/juce-8-licence/"
             + "\n\nJUCE source and licence notice:\n"
             + "https://github.com/juce-framework/JUCE";
    }
}

//==============================================================================
TessalineAudioProcessorEditor::TessalineAudioProcessorEditor (TessalineAudioProcessor& processorToEdit)
    : AudioProcessorEditor (processorToEdit), processorRef (processorToEdit)
{
    setLookAndFeel (&customLnf);

    setUpKnob (cutoffSlider, 80, " Hz", cutoffLabel, "Cutoff", cutoffAttachment, ParameterIds::cutoff);
    setUpKnob (resonanceSlider, 60, {}, resonanceLabel, "Resonance", resonanceAttachment, ParameterIds::resonance);
    setUpKnob (driveSlider, 60, {}, driveLabel, "Drive", driveAttachment, ParameterIds::drive);
    setUpKnob (makeupSlider, 60, " dB", makeupLabel, "Makeup", makeupAttachment, ParameterIds::makeupGain);

    addAndMakeVisible (filterGraph);

    setUpChoiceButtons ({ &lpfButton, &hpfButton, &bpfButton }, modeRadioGroup, [this] (int index) { selectMode (index); },
                        modeLabel, "Filter Mode");
    setUpChoiceButtons ({ &slope6Button, &slope18Button, &slope24Button }, slopeRadioGroup, [this] (int index) { selectSlope (index); },
                        slopeLabel, "Slope / Poles");

    oversamplingBox.addItem ("Off", 1);
    oversamplingBox.addItem ("2x", 2);
    oversamplingBox.setTooltip ("Oversampling");
    addAndMakeVisible (oversamplingBox);
    oversamplingAttachment = std::make_unique<ComboBoxAttachment> (processorRef.apvts, ParameterIds::oversampling, oversamplingBox);

    setUpPresetBar();

    // Every change made on a knob itself (drag, wheel step, double-click, typed value) is one
    // undo step; changes arriving through the parameter are not.
    for (auto* knob : { &cutoffSlider, &resonanceSlider, &driveSlider, &makeupSlider })
        knob->onDragStart = [this] { presetLibrary.pushUndoSnapshot(); };

    presetLibrary.initialisePresets();

    startTimerHz (refreshRateHz);

    setResizable (true, true);
    setResizeLimits (800, 360, 1380, 621);
    getConstrainer()->setFixedAspectRatio ((double) designWidth / (double) designHeight);
    setSize (designWidth, designHeight);
}

TessalineAudioProcessorEditor::~TessalineAudioProcessorEditor()
{
    // Detached before any child goes, so none of them is left pointing at a dead look-and-feel.
    setLookAndFeel (nullptr);
}

void TessalineAudioProcessorEditor::setUpKnob (juce::Slider& knob, int textBoxWidth, const juce::String& suffix, juce::Label& caption,
                                               const juce::String& captionText, std::unique_ptr<SliderAttachment>& attachment,
                                               const char* parameterId)
{
    knob.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::TextBoxBelow, false, textBoxWidth, 20);
    knob.setTextValueSuffix (suffix);
    knob.setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack);
    addAndMakeVisible (knob);

    setUpKnobCaption (caption, captionText);
    addAndMakeVisible (caption);

    attachment = std::make_unique<SliderAttachment> (processorRef.apvts, parameterId, knob);
}

void TessalineAudioProcessorEditor::setUpChoiceButtons (std::initializer_list<juce::TextButton*> buttons, int radioGroupId,
                                                        std::function<void (int)> onSelect, juce::Label& caption,
                                                        const juce::String& captionText)
{
    for (auto* button : buttons)
        button->setRadioGroupId (radioGroupId);

    for (auto* button : buttons)
        button->setClickingTogglesState (true);

    int index = 0;

    for (auto* button : buttons)
    {
        addAndMakeVisible (*button);

        // The radio group also runs onClick of the button it switches off; only the clicked
        // button, which is on by now, may select, or one click would record two undo steps.
        button->onClick = [button, onSelect, index]
        {
            if (button->getToggleState())
                onSelect (index);
        };

        ++index;
    }

    setUpRowCaption (caption, captionText);
    addAndMakeVisible (caption);
}

void TessalineAudioProcessorEditor::setUpPresetBar()
{
    presetLibrary.refreshBankBox();
    bankBox.setSelectedId (PresetLibrary::factoryBankId, juce::dontSendNotification);
    bankBox.setTooltip ("Preset Bank");
    bankBox.onChange = [this] { presetLibrary.bankBoxChanged(); };
    addAndMakeVisible (bankBox);

    presetBox.setTooltip ("Preset");
    presetBox.onChange = [this] { presetLibrary.presetBoxChanged(); };
    addAndMakeVisible (presetBox);

    struct BarButton { juce::TextButton& button; const char* tooltip; std::function<void()> action; };

    const BarButton barButtons[] = {
        { prevPresetButton, "Previous preset",                 [this] { presetBar.selectPreviousPreset(); } },
        { nextPresetButton, "Next preset",                     [this] { presetBar.selectNextPreset(); } },
        { savePresetButton, "Save current preset",             [this] { presetBar.showSavePresetDialog(); } },
        { loadPresetButton, "Load preset or bank",             [this] { presetBar.showLoadMenu(); } },
        { initPresetButton, "Reset to Init preset",            [this] { presetLibrary.resetToInit(); } },
        { undoButton,       "Undo parameter or preset change", [this] { presetLibrary.undo(); } },
        { redoButton,       "Redo parameter or preset change", [this] { presetLibrary.redo(); } },
        { menuButton,       "Menu",                            [this] { presetBar.showMainMenu(); } },
    };

    for (const auto& entry : barButtons)
    {
        entry.button.setTooltip (entry.tooltip);
        entry.button.onClick = entry.action;
        addAndMakeVisible (entry.button);
    }
}

//==============================================================================
float TessalineAudioProcessorEditor::layoutScale() const noexcept
{
    return std::max (0.1f, std::min ((float) getHeight() / (float) designHeight, (float) getWidth() / (float) designWidth));
}

void TessalineAudioProcessorEditor::resized()
{
    const auto s = layoutScale();

    const std::pair<juce::Component*, DesignRect> placements[] = {
        { &cutoffLabel,      { 30, 84, 130, 22 } },
        { &resonanceLabel,   { 165, 84, 110, 22 } },
        { &driveLabel,       { 285, 84, 95, 22 } },
        { &makeupLabel,      { 390, 84, 120, 22 } },
        { &cutoffSlider,     { 30, 110, 130, 186 } },
        { &resonanceSlider,  { 165, 110, 110, 186 } },
        { &driveSlider,      { 285, 110, 95, 186 } },
        { &makeupSlider,     { 390, 110, 120, 186 } },
        { &filterGraph,      { 570, 84, 315, 190 } },
        { &modeLabel,        { 570, 294, 92, 30 } },
        { &lpfButton,        { 670, 294, 68, 30 } },
        { &hpfButton,        { 744, 294, 68, 30 } },
        { &bpfButton,        { 818, 294, 68, 30 } },
        { &slopeLabel,       { 570, 336, 92, 30 } },
        { &slope6Button,     { 670, 336, 68, 30 } },
        { &slope18Button,    { 744, 336, 68, 30 } },
        { &slope24Button,    { 818, 336, 68, 30 } },
        { &bankBox,          { 382, 29, 92, 24 } },
        { &presetBox,        { 478, 29, 102, 24 } },
        { &prevPresetButton, { 584, 29, 20, 24 } },
        { &nextPresetButton, { 606, 29, 20, 24 } },
        { &savePresetButton, { 632, 29, 38, 24 } },
        { &loadPresetButton, { 674, 29, 38, 24 } },
        { &initPresetButton, { 716, 29, 34, 24 } },
        { &undoButton,       { 754, 29, 40, 24 } },
        { &redoButton,       { 798, 29, 40, 24 } },
        { &menuButton,       { 842, 29, 56, 24 } },
        { &oversamplingBox,  { 812, 380, 64, 22 } },
    };

    for (const auto& [component, rect] : placements)
        component->setBounds (scaled (rect, s));
}

//==============================================================================
void TessalineAudioProcessorEditor::paint (juce::Graphics& g)
{
    juce::Graphics::ScopedSaveState savedState (g);
    g.addTransform (juce::AffineTransform::scale (layoutScale()));

    paintBackground (g);
    paintPanel (g, { 20.0f, 74.0f, 520.0f, 300.0f });
    paintPanel (g, { 555.0f, 74.0f, 345.0f, 300.0f });
    paintTexts (g);
}

void TessalineAudioProcessorEditor::paintBackground (juce::Graphics& g) const
{
    const auto width = (float) designWidth;
    const auto height = (float) designHeight;

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff03070d), 0.0f, 0.0f, juce::Colour (0xff0a121e), 0.0f, height, false));
    g.fillRect (0.0f, 0.0f, width, height);

    // Faint 45-degree hatching; the last lines run past the right edge.
    g.setColour (juce::Colour (0x02ffffff));
    for (int x = -designHeight; x < designWidth; x += 8)
        g.drawLine ((float) x, 0.0f, (float) (x + designHeight), height, 0.75f);

    g.setColour (juce::Colour (0x0effffff));
    g.drawRoundedRectangle (12.0f, 12.0f, 896.0f, 390.0f, 10.0f, 1.5f);

    g.setColour (juce::Colour (0x0700d2ff));
    g.drawRoundedRectangle (14.0f, 14.0f, 892.0f, 386.0f, 9.0f, 1.0f);
}

void TessalineAudioProcessorEditor::paintPanel (juce::Graphics& g, juce::Rectangle<float> panel) const
{
    g.setColour (juce::Colour (0xff050b12));
    g.fillRoundedRectangle (panel, 8.0f);

    g.setColour (juce::Colour (0x12ffffff));
    g.drawRoundedRectangle (panel, 8.0f, 1.0f);

    g.setColour (juce::Colour (0x0a00d2ff));
    g.drawRoundedRectangle (panel.expanded (0.5f), 8.0f, 1.0f);
}

void TessalineAudioProcessorEditor::paintTexts (juce::Graphics& g) const
{
    g.setColour (juce::Colours::white);
    g.setFont (FontFactory::makeFont ("Helvetica", 20.0f, juce::Font::bold));
    g.drawText ("T E S S A L I N E", juce::Rectangle<int> (32, 25, 345, 28), juce::Justification::centredLeft, true);

    g.setColour (juce::Colour (0xff00d2ff));
    g.setFont (FontFactory::makeFont ("Helvetica", 9.0f));
    g.drawText ("ANALOG ZERO-DELAY FEEDBACK LADDER MODEL", juce::Rectangle<int> (32, 49, 345, 15), juce::Justification::centredLeft, true);

    g.setColour (juce::Colours::white.withAlpha (0.15f));
    g.drawText ("VST3 / CLAP / STANDALONE | VARKELL AUDIO DSP", juce::Rectangle<int> (590, 386, 230, 15),
                juce::Justification::centredRight, true);
}

//==============================================================================
void TessalineAudioProcessorEditor::timerCallback()
{
    auto& state = processorRef.apvts;
    const auto cutoff = rawValue (state, ParameterIds::cutoff);
    const auto resonance = rawValue (state, ParameterIds::resonance);
    const auto makeupGain = rawValue (state, ParameterIds::makeupGain);
    const auto mode = ParameterIds::truncatedChoiceIndex (rawValue (state, ParameterIds::mode));
    const auto slope = ParameterIds::truncatedChoiceIndex (rawValue (state, ParameterIds::slope));
    const auto oversampled = ParameterIds::truncatedChoiceIndex (rawValue (state, ParameterIds::oversampling)) == 1;

    // The graph draws at the rate the engine runs: the processor's rate (48 kHz until the host
    // prepares it) on the normal path, twice that on the 2x path.
    const auto preparedRate = processorRef.preparedSampleRate();
    const auto sampleRate = preparedRate > 0.0 ? preparedRate : unpreparedSampleRate;

    refreshGraph ({ cutoff, resonance, makeupGain, mode, slope, sampleRate, oversampled });
    showChoiceOnButtons (mode, lastModeIndex, { &lpfButton, &hpfButton, &bpfButton });
    showChoiceOnButtons (slope, lastSlopeIndex, { &slope6Button, &slope18Button, &slope24Button });
}

void TessalineAudioProcessorEditor::refreshGraph (const GraphValues& values)
{
    // Thresholds keep automation and smoothing jitter from repainting the graph all the time; a
    // change of the rate or of the oversampling always repaints.
    const auto changed = std::abs (std::log (std::max (1.0f, values.cutoff) / std::max (1.0f, filterGraph.cutoffHz))) > cutoffThreshold
                      || std::abs (values.resonance - filterGraph.resonanceAmount) > resonanceThreshold
                      || std::abs (values.makeupGain - filterGraph.makeupGainDb) > makeupThreshold
                      || values.mode != filterGraph.modeIndex
                      || values.slope != filterGraph.slopeIndex
                      || values.sampleRate != filterGraph.sampleRateHz
                      || values.oversampled != filterGraph.oversampled;

    if (! changed)
        return;

    filterGraph.cutoffHz = values.cutoff;
    filterGraph.resonanceAmount = values.resonance;
    filterGraph.makeupGainDb = values.makeupGain;
    filterGraph.modeIndex = values.mode;
    filterGraph.slopeIndex = values.slope;
    filterGraph.sampleRateHz = values.sampleRate;
    filterGraph.oversampled = values.oversampled;
    filterGraph.repaint();
}

// A preset shows at once, and lights its buttons even if a click lit others a moment before.
void TessalineAudioProcessorEditor::showAppliedPreset()
{
    lastModeIndex = -1;
    lastSlopeIndex = -1;
    timerCallback();
}

void TessalineAudioProcessorEditor::showChoiceOnButtons (int index, int& lastIndex, std::initializer_list<juce::TextButton*> buttons)
{
    if (index == lastIndex)
        return;

    lastIndex = index;

    // The radio group turns the other buttons off; no click handler runs.
    if (index >= 0 && index < (int) buttons.size())
        buttons.begin()[index]->setToggleState (true, juce::dontSendNotification);
}

// The radio group lights the clicked button before the parameter is confirmed; forgetting the
// shown index makes the next refresh re-light from the parameter, even if a host wrote the old
// value straight back within the same tick.
void TessalineAudioProcessorEditor::selectMode (int index)    { selectChoice (ParameterIds::mode, index);  lastModeIndex = -1; }
void TessalineAudioProcessorEditor::selectSlope (int index)   { selectChoice (ParameterIds::slope, index); lastSlopeIndex = -1; }

void TessalineAudioProcessorEditor::selectChoice (const char* parameterId, int index)
{
    presetLibrary.pushUndoSnapshot();

    auto* parameter = processorRef.apvts.getParameter (parameterId);

    if (parameter == nullptr)
        return;

    // Sent even when unchanged, so a click on the lit button still reaches the host.
    parameter->beginChangeGesture();
    parameter->setValueNotifyingHost (parameter->convertTo0to1 ((float) index));
    parameter->endChangeGesture();
}

void TessalineAudioProcessorEditor::showAboutBox()
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::InfoIcon, "About Tessaline", aboutMessage(), "OK",
                                            nullptr, nullptr);
}

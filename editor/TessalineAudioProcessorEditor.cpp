#include "editor/TessalineAudioProcessorEditor.h"

TessalineAudioProcessorEditor::TessalineAudioProcessorEditor (TessalineAudioProcessor& processorToEdit)
    : AudioProcessorEditor (processorToEdit), processorRef (processorToEdit)
{
    setLookAndFeel (&customLnf);
    setSize (920, 414);
}

TessalineAudioProcessorEditor::~TessalineAudioProcessorEditor()
{
    setLookAndFeel (nullptr);
}

void TessalineAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff03070d));
}

void TessalineAudioProcessorEditor::resized() {}

#pragma once

#include "processor/LadderEngine.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>

/** The effect as hosts and the standalone wrapper see it: parameters, bus layout, per-block
    parameter snapshot, the optional 2x oversampled path and the host state blob. */
class TessalineAudioProcessor final : public juce::AudioProcessor
{
public:
    TessalineAudioProcessor();
    ~TessalineAudioProcessor() override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    //==============================================================================
    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    //==============================================================================
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    //==============================================================================
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    //==============================================================================
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    //==============================================================================
    /** The host rate the engine was last prepared for, 0 before the first prepareToPlay. Safe to
        read on any thread (the editor's response graph draws at this rate). */
    double preparedSampleRate() const noexcept;

    //==============================================================================
    juce::AudioProcessorValueTreeState apvts;
    LadderEngine engine;

private:
    /** The parameters, looked up once so the audio thread never searches by name. Their own
        atomic values are read, not the value tree's copies: a host may set a value on the audio
        thread without notifying listeners there (which locks), and the copies follow only
        when the listeners are told. */
    struct RawParameters
    {
        const juce::RangedAudioParameter* cutoff;
        const juce::RangedAudioParameter* resonance;
        const juce::RangedAudioParameter* drive;
        const juce::RangedAudioParameter* makeupGain;
        const juce::RangedAudioParameter* oversampling;
        const juce::RangedAudioParameter* mode;
        const juce::RangedAudioParameter* slope;
    };

    /** A parameter's raw value, exactly as the value tree state derives it. */
    static float rawValueOf (const juce::RangedAudioParameter&) noexcept;

    void applyParameterSnapshot();
    std::unique_ptr<juce::XmlElement> legalState (const juce::XmlElement& loaded) const;
    void storeLegalValuesInState();
    void processInPreparedChunks (juce::dsp::AudioBlock<float> block);
    void processChunk (juce::dsp::AudioBlock<float> chunk);

    RawParameters raw;
    int preparedBlockSize = 0;
    std::atomic<double> preparedRate { 0.0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TessalineAudioProcessor)
};

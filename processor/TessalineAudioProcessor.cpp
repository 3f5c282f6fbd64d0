#include "processor/TessalineAudioProcessor.h"
#include "processor/DecimalText.h"
#include "processor/Utf8Text.h"
#include "processor/XmlNesting.h"
#include "editor/TessalineAudioProcessorEditor.h"
#include "processor/ParameterIds.h"

#include <cmath>

namespace
{
    constexpr int maximumPreparedBlockSize = 1 << 16;

    juce::ParameterID parameterId (const char* id)   { return { id, ParameterIds::versionHint }; }

    /** A state value's text as a number, by the shared reader (never JUCE's, which overflows on
        a long exponent): false for no number at all, the largest double of its sign beyond the
        double range, so that the range's nearer end holds it. */
    bool numberIn (const juce::String& text, double& number)
    {
        const auto trimmed = text.trim();
        return DecimalText::parse (trimmed.toRawUTF8(), trimmed.getNumBytesAsUTF8(), number);
    }

    /** A NaN or infinity would otherwise poison the oversampler's filters for good. */
    void replaceNonFiniteSamples (juce::dsp::AudioBlock<float> block) noexcept
    {
        for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
        {
            auto* samples = block.getChannelPointer (channel);

            for (size_t n = 0; n < block.getNumSamples(); ++n)
                if (! std::isfinite (samples[n]))
                    samples[n] = 0.0f;
        }
    }
}

//==============================================================================
TessalineAudioProcessor::TessalineAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      apvts (*this, nullptr, "PARAMETERS", createParameterLayout()),
      raw { apvts.getParameter (ParameterIds::cutoff),
            apvts.getParameter (ParameterIds::resonance),
            apvts.getParameter (ParameterIds::drive),
            apvts.getParameter (ParameterIds::makeupGain),
            apvts.getParameter (ParameterIds::oversampling),
            apvts.getParameter (ParameterIds::mode),
            apvts.getParameter (ParameterIds::slope) }
{
}

TessalineAudioProcessor::~TessalineAudioProcessor() = default;

juce::AudioProcessorValueTreeState::ParameterLayout TessalineAudioProcessor::createParameterLayout()
{
    juce::NormalisableRange<float> cutoffRange (20.0f, 20000.0f, 0.1f);
    cutoffRange.setSkewForCentre (1000.0f);

    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    layout.add (std::make_unique<juce::AudioParameterFloat> (parameterId (ParameterIds::cutoff), "Cutoff", cutoffRange, 20000.0f),
                std::make_unique<juce::AudioParameterFloat> (parameterId (ParameterIds::resonance), "Resonance", 0.0f, 0.75f, 0.0f),
                std::make_unique<juce::AudioParameterFloat> (parameterId (ParameterIds::drive), "Drive", 1.0f, 10.0f, 1.0f),
                std::make_unique<juce::AudioParameterFloat> (parameterId (ParameterIds::makeupGain), "Makeup Gain", 0.0f, 6.0f, 0.0f),
                std::make_unique<juce::AudioParameterChoice> (parameterId (ParameterIds::mode), "Filter Mode",
                                                              juce::StringArray { "LowPass", "HighPass", "BandPass" }, 0),
                std::make_unique<juce::AudioParameterChoice> (parameterId (ParameterIds::slope), "Filter Slope",
                                                              juce::StringArray { "6 dB/oct", "18 dB/oct", "24 dB/oct" }, 2),
                std::make_unique<juce::AudioParameterChoice> (parameterId (ParameterIds::oversampling), "Oversampling",
                                                              juce::StringArray { "Off", "2x" }, 1));
    return layout;
}

//==============================================================================
const juce::String TessalineAudioProcessor::getName() const   { return "Tessaline"; }

void TessalineAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    // Longer host blocks are filtered in pieces anyway, so a huge announced size only wastes memory.
    preparedBlockSize = std::clamp (maximumExpectedSamplesPerBlock, 1, maximumPreparedBlockSize);
    engine.prepare (sampleRate, preparedBlockSize, getTotalNumOutputChannels());
    preparedRate.store (engine.sampleRate);
}

double TessalineAudioProcessor::preparedSampleRate() const noexcept
{
    return preparedRate.load();
}

void TessalineAudioProcessor::releaseResources()
{
    engine.reset();
}

void TessalineAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    for (auto channel = getTotalNumInputChannels(); channel < getTotalNumOutputChannels(); ++channel)
        buffer.clear (channel, 0, buffer.getNumSamples());

    applyParameterSnapshot();

    juce::dsp::AudioBlock<float> block (buffer);
    replaceNonFiniteSamples (block);
    processInPreparedChunks (block);
}

float TessalineAudioProcessor::rawValueOf (const juce::RangedAudioParameter& parameter) noexcept
{
    return parameter.convertFrom0to1 (parameter.getValue());
}

void TessalineAudioProcessor::applyParameterSnapshot()
{
    const auto cutoff = rawValueOf (*raw.cutoff);
    const auto resonance = rawValueOf (*raw.resonance);
    const auto drive = rawValueOf (*raw.drive);
    const auto makeupGain = rawValueOf (*raw.makeupGain);
    const auto oversampling = ParameterIds::truncatedChoiceIndex (rawValueOf (*raw.oversampling));
    const auto mode = ParameterIds::truncatedChoiceIndex (rawValueOf (*raw.mode));
    const auto slope = ParameterIds::truncatedChoiceIndex (rawValueOf (*raw.slope));

    // LadderResponse, which the response graph draws, applies these same clamps.
    const auto settings = LadderEngine::settingsFromParameters (cutoff, resonance, drive, makeupGain, mode, slope, engine.sampleRate);
    engine.cutoffHz = settings.cutoffHz;
    engine.resonanceAmount = settings.resonanceAmount;
    engine.driveGain = settings.driveGain;
    engine.makeupGainDb = settings.makeupGainDb;
    engine.modeIndex = settings.modeIndex;
    engine.slopeIndex = settings.slopeIndex;

    const bool wantOversampling = oversampling == 1;

    if (wantOversampling != engine.oversamplingOn)
    {
        engine.oversamplingOn = wantOversampling;
        engine.reset();
    }
}

void TessalineAudioProcessor::processInPreparedChunks (juce::dsp::AudioBlock<float> block)
{
    // The oversampler only has room for the block size it was prepared with; a host that sends
    // more gets its block filtered in pieces.
    const auto chunkSize = preparedBlockSize > 0 ? (size_t) preparedBlockSize : block.getNumSamples();

    if (chunkSize == 0)
    {
        processChunk (block);
        return;
    }

    for (size_t start = 0; start < block.getNumSamples(); start += chunkSize)
        processChunk (block.getSubBlock (start, std::min (chunkSize, block.getNumSamples() - start)));
}

void TessalineAudioProcessor::processChunk (juce::dsp::AudioBlock<float> chunk)
{
    auto* oversampler = engine.oversampler.get();

    if (engine.oversamplingOn && oversampler != nullptr && chunk.getNumChannels() <= engine.numChannels)
    {
        // The oversampler hands back all the channels it was built for; filter only the ones
        // this buffer has, so a narrower buffer never runs stale data through the filter memory.
        auto up = oversampler->processSamplesUp (chunk);
        engine.process (up.getSubsetChannelBlock (0, chunk.getNumChannels()), 2.0 * engine.sampleRate);
        oversampler->processSamplesDown (chunk);
    }
    else
    {
        engine.process (chunk, engine.sampleRate);
    }
}

double TessalineAudioProcessor::getTailLengthSeconds() const   { return 0.0; }
bool TessalineAudioProcessor::acceptsMidi() const               { return false; }
bool TessalineAudioProcessor::producesMidi() const              { return false; }

//==============================================================================
juce::AudioProcessorEditor* TessalineAudioProcessor::createEditor()
{
    return new TessalineAudioProcessorEditor (*this);
}

bool TessalineAudioProcessor::hasEditor() const   { return true; }

//==============================================================================
int TessalineAudioProcessor::getNumPrograms()                               { return 1; }
int TessalineAudioProcessor::getCurrentProgram()                            { return 0; }
void TessalineAudioProcessor::setCurrentProgram (int)                       {}
const juce::String TessalineAudioProcessor::getProgramName (int)            { return {}; }
void TessalineAudioProcessor::changeProgramName (int, const juce::String&)  {}

//==============================================================================
void TessalineAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    if (auto xml = apvts.copyState().createXml())
        copyXmlToBinary (*xml, destData);
}

void TessalineAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    const auto treeType = apvts.state.getType().toString();

    // The text starts after the blob's 8-byte header, whose bytes may be anything ('<' too), and
    // the framework reads only as much of it as the header's length says: that part is checked,
    // so a length that cuts a character in two never reaches the text classes.
    if (sizeInBytes > 8)
    {
        const auto* text = static_cast<const char*> (data) + 8;
        const auto statedLength = (int) juce::ByteOrder::littleEndianInt (static_cast<const char*> (data) + 4);
        const auto textLength = (size_t) juce::jlimit (0, sizeInBytes - 8, statedLength);

        if (! XmlNesting::isShallow (text, textLength)
            || ! Utf8Text::isWellFormed (text, textLength)
            || ! Utf8Text::endsAtFirstNul (text, textLength)
            || ! XmlNesting::hasNoInnerProcessingInstruction (text, textLength)
            || ! XmlNesting::hasAsciiMarkup (text, textLength)
            || ! XmlNesting::hasOnlyWholeCharacterReferences (text, textLength))
            return;
    }

    if (auto xml = getXmlFromBinary (data, sizeInBytes))
    {
        if (xml->getTagName().equalsIgnoreCase (treeType))
        {
            // The root is matched ignoring case; keep the tree's own spelling so later saves
            // still write "PARAMETERS".
            apvts.replaceState (juce::ValueTree::fromXml (*legalState (*xml)));
            storeLegalValuesInState();
        }
    }
}

std::unique_ptr<juce::XmlElement> TessalineAudioProcessor::legalState (const juce::XmlElement& loaded) const
{
    // Only what the parameters can hold goes into the tree: one entry per parameter in their
    // own order (the first the blob names), its value within range (a number beyond it, however
    // long its exponent, at the nearer end), or the default for no entry or no number at all
    // ("nan" and "inf" are none). Anything else a damaged blob carries (second entries,
    // repeated attributes, foreign children) would stay in the tree as written and make later
    // saves differ from what a fresh instance reads.
    auto state = std::make_unique<juce::XmlElement> (apvts.state.getType().toString());

    // In the order the tree already has them (a fresh tree's own), so that a state saved before
    // any load reads back to the same bytes.
    juce::Array<juce::RangedAudioParameter*> inOrder;

    for (const auto& child : apvts.state)
        if (auto* ranged = apvts.getParameter (child.getProperty ("id").toString()))
            inOrder.addIfNotAlreadyThere (ranged);

    for (auto* parameter : getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter))
            inOrder.addIfNotAlreadyThere (ranged);

    for (auto* ranged : inOrder)
    {
        const auto* entry = loaded.getChildByAttribute ("id", ranged->getParameterID());
        const auto& range = ranged->getNormalisableRange();
        const auto text = entry != nullptr && entry->hasTagName ("PARAM") ? entry->getStringAttribute ("value").trim()
                                                                          : juce::String();
        auto value = (double) ranged->convertFrom0to1 (ranged->getDefaultValue());
        double number = 0.0;

        if (numberIn (text, number))
            value = juce::jlimit ((double) range.start, (double) range.end, number);

        auto* legal = state->createNewChildElement ("PARAM");
        legal->setAttribute ("id", ranged->getParameterID());
        legal->setAttribute ("value", value);
    }

    return state;
}

void TessalineAudioProcessor::storeLegalValuesInState()
{
    // A value out of range, between a choice's steps or no number at all leaves its parameter
    // at a legal value but stays in the tree as written, and so in every later save, where a
    // fresh instance would read it differently. The tree takes what the parameters hold.
    for (auto* parameter : getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter);

        if (ranged == nullptr)
            continue;

        auto child = apvts.state.getChildWithProperty ("id", ranged->getParameterID());

        if (! child.isValid())
            continue;

        const auto held = (double) ranged->convertFrom0to1 (ranged->getValue());
        const auto& stored = child.getProperty ("value");
        auto storedIsHeld = false;

        // Numbers are compared as numbers: a NaN must not be turned into text on the way.
        if (stored.isString())
        {
            double number = 0.0;
            storedIsHeld = numberIn (stored.toString(), number) && number == held;
        }
        else if (stored.isDouble() || stored.isInt() || stored.isInt64() || stored.isBool())
        {
            storedIsHeld = (double) stored == held;
        }

        if (! storedIsHeld)
            child.setProperty ("value", held, nullptr);
    }
}

bool TessalineAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new TessalineAudioProcessor();
}

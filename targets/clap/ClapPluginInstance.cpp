#include "targets/clap/ClapPluginInstance.h"

#include "targets/clap/ClapDescriptor.h"
#include "targets/clap/ClapMessagePump.h"

#if TESSALINE_CLAP_TEST_HOOKS
 #include "targets/clap/ClapTestHooks.h"
#endif

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace
{
    constexpr size_t statePieceSize = 4096;

    // Port ids as hosts have always seen them: inputs from 0x8000, outputs from 1.
    constexpr clap_id inputPortId (int busIndex)  { return 0x8000u + static_cast<clap_id> (busIndex); }
    constexpr clap_id outputPortId (int busIndex) { return 1u + static_cast<clap_id> (busIndex); }

    void reportNullPlugin (const char* message)
    {
        std::fprintf (stderr, "%s\n", message);
        std::fflush (stderr);
    }
}

ClapPluginInstance::ClapPluginInstance (const clap_host_t& hostToUse)
    : host (hostToUse),
      processor (createProcessor()),
      parameters (*processor, host),
      editorHost (*processor, host)
{
    clapPlugin.desc = &ClapDescriptor::get();
    clapPlugin.plugin_data = this;
    clapPlugin.init = clapInit;
    clapPlugin.destroy = clapDestroy;
    clapPlugin.activate = clapActivate;
    clapPlugin.deactivate = clapDeactivate;
    clapPlugin.start_processing = clapStartProcessing;
    clapPlugin.stop_processing = clapStopProcessing;
    clapPlugin.reset = clapReset;
    clapPlugin.process = clapProcess;
    clapPlugin.get_extension = clapGetExtension;
    clapPlugin.on_main_thread = clapOnMainThread;
}

ClapPluginInstance::~ClapPluginInstance()
{
    if (hasTimer)
        host.unregisterTimer (timerId);

    editorHost.destroy();
}

std::unique_ptr<juce::AudioProcessor> ClapPluginInstance::createProcessor()
{
    // JUCE has no CLAP wrapper type; "undefined" tells the processor it is not in a format
    // JUCE knows.
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_Undefined;
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    return std::unique_ptr<juce::AudioProcessor> (createPluginFilter());
}

ClapPluginInstance* ClapPluginInstance::from (const clap_plugin_t* plugin)
{
    // A host error we cannot recover an instance from: say so and make the call do nothing.
    if (plugin == nullptr)
    {
        reportNullPlugin ("called with a null clap_plugin pointer!");
        return nullptr;
    }

    if (plugin->plugin_data == nullptr)
    {
        reportNullPlugin ("called with a null clap_plugin->plugin_data pointer! The host must never change this pointer!");
        return nullptr;
    }

    return static_cast<ClapPluginInstance*> (plugin->plugin_data);
}

bool ClapPluginInstance::isInitialisedFor (const char* call) const
{
    if (initialised)
        return true;

    host.reportMisbehaviour ((juce::String ("Host is required to call clap_plugin.init() first (")
                              + call + ")").toRawUTF8());
    return false;
}

//==============================================================================
bool ClapPluginInstance::init()
{
    if (initialised)
    {
        host.reportMisbehaviour ("clap_plugin.init called twice");
        return true;
    }

    host.queryExtensions();
    host.checkMainThread ("clap_plugin.init");
    initialised = true;

    // Hosts may create instances on any thread, but init and every GUI call come on the main
    // thread: that is the thread JUCE must take for its message thread.
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();

    // JUCE's messages, repaints and timers run on the host's timer.
    hasTimer = host.registerTimer (ClapMessagePump::periodMs, timerId);

    if (! hasTimer)
        host.reportWarning ("The host offers no clap.timer-support: the editor will not update and JUCE's timers will not run");

    passTrackInfoToProcessor();
    return true;
}

bool ClapPluginInstance::activate (double sampleRate, uint32_t maxFrames)
{
    isInitialisedFor ("clap_plugin.activate");
    host.checkMainThread ("clap_plugin.activate");

    if (active)
    {
        host.reportMisbehaviour ("clap_plugin.activate called while the plug-in is active");
        return false;
    }

    if (! std::isfinite (sampleRate) || sampleRate <= 0.0 || maxFrames == 0
        || maxFrames > static_cast<uint32_t> (std::numeric_limits<int>::max()))
    {
        host.reportMisbehaviour ("clap_plugin.activate called with an unusable sample rate or block size");
        return false;
    }

    const auto blockSize = static_cast<int> (maxFrames);
    currentSampleRate = sampleRate;
    scratch.setSize (juce::jmax (processor->getTotalNumInputChannels(), processor->getTotalNumOutputChannels()),
                     blockSize, false, true, false);

    processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);
    active = true;
    return true;
}

void ClapPluginInstance::deactivate()
{
    host.checkMainThread ("clap_plugin.deactivate");

    if (! active)
    {
        host.reportMisbehaviour ("clap_plugin.deactivate called while the plug-in is not active");
        return;
    }

    if (processing)
        host.reportMisbehaviour ("clap_plugin.deactivate called before clap_plugin.stop_processing");

    // The processor is prepared again at the next activation; it keeps its resources till then.
    processing = false;
    active = false;
}

bool ClapPluginInstance::startProcessing()
{
    host.checkAudioThread ("clap_plugin.start_processing");

    if (! active)
    {
        host.reportMisbehaviour ("clap_plugin.start_processing called while the plug-in is not active");
        return false;
    }

    processing = true;
    return true;
}

void ClapPluginInstance::stopProcessing()
{
    host.checkAudioThread ("clap_plugin.stop_processing");

    if (! processing)
        host.reportMisbehaviour ("clap_plugin.stop_processing called while the plug-in is not processing");

    processing = false;
}

void ClapPluginInstance::reset()
{
    host.checkAudioThread ("clap_plugin.reset");

    if (active)
        processor->reset();
}

clap_process_status ClapPluginInstance::process (const clap_process_t& context)
{
    host.checkAudioThread ("clap_plugin.process");

    if (! active)
    {
        host.reportMisbehaviour ("clap_plugin.process called while the plug-in is not active");
        return CLAP_PROCESS_ERROR;
    }

    if (! processing)
    {
        host.reportMisbehaviour ("clap_plugin.process called before clap_plugin.start_processing");
        processing = true;
    }

    parameters.applyHostEvents (context.in_events);
    renderAudio (context);
    parameters.sendEditsToHost (context.out_events);
    return CLAP_PROCESS_CONTINUE;
}

void ClapPluginInstance::renderAudio (const clap_process_t& context)
{
    const auto numFrames = context.frames_count;

    if (numFrames == 0)
        return;

    const auto numChannels = processor->getTotalNumOutputChannels();
    const auto* input = context.audio_inputs_count > 0 ? context.audio_inputs : nullptr;
    auto* output = context.audio_outputs_count > 0 ? context.audio_outputs : nullptr;

    const auto hostBuffersFit = [&]
    {
        if (output == nullptr || output->data32 == nullptr || output->channel_count < (uint32_t) numChannels)
            return false;

        for (int channel = 0; channel < numChannels; ++channel)
            if (output->data32[channel] == nullptr)
                return false;

        return true;
    }();

    if (! hostBuffersFit)
    {
        renderThroughScratch (context);
        return;
    }

    // The processor filters in place: bring the input into the output buffers first (nothing
    // to copy when the host processes in place, a move since host buffers may overlap; silence
    // where an input channel is missing).
    for (int channel = 0; channel < numChannels; ++channel)
    {
        auto* destination = output->data32[channel];
        const float* source = input != nullptr && input->data32 != nullptr && (uint32_t) channel < input->channel_count
                                ? input->data32[channel] : nullptr;

        if (source == nullptr)
            std::memset (destination, 0, numFrames * sizeof (float));
        else if (source != destination)
            std::memmove (destination, source, numFrames * sizeof (float));
    }

    // A block beyond the announced maximum reaches the processor in announced-size pieces. The
    // whole input is in the outputs by now, so overlapping host buffers cannot mix the pieces.
    const auto pieceSize = static_cast<uint32_t> (scratch.getNumSamples());

    for (uint32_t offset = 0; offset < numFrames; offset += pieceSize)
    {
        juce::AudioBuffer<float> piece (output->data32, numChannels, static_cast<int> (offset),
                                        static_cast<int> (std::min (pieceSize, numFrames - offset)));
        processor->processBlock (piece, noMidi);
    }

    output->constant_mask = 0;
}

void ClapPluginInstance::renderThroughScratch (const clap_process_t& context)
{
    // Odd buffers from the host (missing or short ports): run the processor on our own buffer,
    // in pieces when the block is beyond the announced maximum, and copy out what the host can take.
    const auto* input = context.audio_inputs_count > 0 ? context.audio_inputs : nullptr;
    auto* output = context.audio_outputs_count > 0 ? context.audio_outputs : nullptr;
    const auto pieceSize = static_cast<uint32_t> (scratch.getNumSamples());

    for (uint32_t offset = 0; offset < context.frames_count; offset += pieceSize)
    {
        const auto numFrames = std::min (pieceSize, context.frames_count - offset);

        for (int channel = 0; channel < scratch.getNumChannels(); ++channel)
        {
            const float* source = input != nullptr && input->data32 != nullptr && (uint32_t) channel < input->channel_count
                                    ? input->data32[channel] : nullptr;

            if (source != nullptr)
                scratch.copyFrom (channel, 0, source + offset, static_cast<int> (numFrames));
            else
                scratch.clear (channel, 0, static_cast<int> (numFrames));
        }

        juce::AudioBuffer<float> piece (scratch.getArrayOfWritePointers(), scratch.getNumChannels(),
                                        static_cast<int> (numFrames));
        processor->processBlock (piece, noMidi);

        if (output == nullptr || output->data32 == nullptr)
            continue;

        for (uint32_t channel = 0; channel < output->channel_count; ++channel)
        {
            if (auto* destination = output->data32[channel])
            {
                if ((int) channel < scratch.getNumChannels())
                    std::memcpy (destination + offset, scratch.getReadPointer ((int) channel), numFrames * sizeof (float));
                else
                    std::memset (destination + offset, 0, numFrames * sizeof (float));
            }
        }
    }

    if (output != nullptr)
        output->constant_mask = 0;
}

const void* ClapPluginInstance::getExtension (const char* id) const
{
    static const clap_plugin_audio_ports_t audioPorts { audioPortsCount, audioPortsGet };
    static const clap_plugin_note_ports_t notePorts { notePortsCount, notePortsGet };
    static const clap_plugin_note_name_t noteName { noteNameCount, noteNameGet };
    static const clap_plugin_params_t params { paramsCount, paramsGetInfo, paramsGetValue,
                                               paramsValueToText, paramsTextToValue, paramsFlush };
    static const clap_plugin_state_t state { stateSave, stateLoad };
    static const clap_plugin_latency_t latency { latencyGet };
    static const clap_plugin_tail_t tail { tailGet };
    static const clap_plugin_render_t render { renderHasHardRealtimeRequirement, renderSet };
    static const clap_plugin_gui_t gui { guiIsApiSupported, guiGetPreferredApi, guiCreate, guiDestroy,
                                         guiSetScale, guiGetSize, guiCanResize, guiGetResizeHints,
                                         guiAdjustSize, guiSetSize, guiSetParent, guiSetTransient,
                                         guiSuggestTitle, guiShow, guiHide };
    static const clap_plugin_timer_support_t timerSupport { timerOnTimer };
    static const clap_plugin_track_info_t trackInfo { trackInfoChanged };

    if (id == nullptr)
        return nullptr;

    const auto is = [id] (const char* candidate) { return std::strcmp (id, candidate) == 0; };

    if (is (CLAP_EXT_AUDIO_PORTS))          return &audioPorts;
    if (is (CLAP_EXT_NOTE_PORTS))           return &notePorts;
    if (is (CLAP_EXT_NOTE_NAME))            return &noteName;
    if (is (CLAP_EXT_PARAMS))               return &params;
    if (is (CLAP_EXT_STATE))                return &state;
    if (is (CLAP_EXT_LATENCY))              return &latency;
    if (is (CLAP_EXT_TAIL))                 return &tail;
    if (is (CLAP_EXT_RENDER))               return &render;
    if (is (CLAP_EXT_GUI))                  return &gui;
    if (is (CLAP_EXT_TIMER_SUPPORT))        return &timerSupport;
    if (is (CLAP_EXT_TRACK_INFO) || is (CLAP_EXT_TRACK_INFO_COMPAT)) return &trackInfo;

   #if TESSALINE_CLAP_TEST_HOOKS
    static const tessaline_clap_test_hooks_t testHooks { testEditParameter, testResizeEditor,
                                                         testDragParameter, testIsMessageThread };

    if (is (tessalineClapTestHooksId))      return &testHooks;
   #endif

    return nullptr;
}

//==============================================================================
bool ClapPluginInstance::saveState (const clap_ostream_t& stream)
{
    host.checkMainThread ("clap_plugin_state.save");

    if (stream.write == nullptr)
        return false;

    juce::MemoryBlock blob;
    processor->getStateInformation (blob);

    const auto* bytes = static_cast<const char*> (blob.getData());
    uint64_t written = 0;

    // Streams may take less than offered; keep writing until all is out or the host refuses.
    while (written < blob.getSize())
    {
        const auto result = stream.write (&stream, bytes + written, blob.getSize() - written);

        if (result <= 0 || static_cast<uint64_t> (result) > blob.getSize() - written)
            return false;

        written += static_cast<uint64_t> (result);
    }

    return true;
}

bool ClapPluginInstance::loadState (const clap_istream_t& stream)
{
    host.checkMainThread ("clap_plugin_state.load");

    if (stream.read == nullptr)
        return false;

    juce::MemoryBlock blob;
    char piece[statePieceSize];

    for (;;)
    {
        const auto result = stream.read (&stream, piece, sizeof (piece));

        if (result == 0)
            break;

        // A stream that fails part way gives no state at all rather than half of one.
        if (result < 0 || static_cast<uint64_t> (result) > sizeof (piece))
            return false;

        blob.append (piece, static_cast<size_t> (result));

        if (blob.getSize() > static_cast<size_t> (std::numeric_limits<int>::max()))
            return false;
    }

    if (blob.getSize() == 0)
        return true;

    // The host set these values; it learns them by rescanning, not as the user's edits.
    ClapParameterBridge::applyWithoutEcho ([&]
    {
        processor->setStateInformation (blob.getData(), static_cast<int> (blob.getSize()));
    });

    host.rescanParameterValues();
    return true;
}

void ClapPluginInstance::passTrackInfoToProcessor()
{
    clap_track_info_t info {};

    if (! host.getTrackInfo (info))
        return;

    juce::AudioProcessor::TrackProperties properties;

    if ((info.flags & CLAP_TRACK_INFO_HAS_TRACK_NAME) != 0)
    {
        info.name[sizeof (info.name) - 1] = '\0';
        properties.name = juce::String::fromUTF8 (info.name);
    }

    if ((info.flags & CLAP_TRACK_INFO_HAS_TRACK_COLOR) != 0)
        properties.colour = juce::Colour (info.color.red, info.color.green, info.color.blue, info.color.alpha);

    processor->updateTrackProperties (properties);
}

//==============================================================================
// C entry points: recover the instance, then forward. A call without an instance does nothing
// and reports failure.

bool CLAP_ABI ClapPluginInstance::clapInit (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);
    return instance != nullptr && instance->init();
}

void CLAP_ABI ClapPluginInstance::clapDestroy (const clap_plugin_t* plugin)
{
    if (auto* instance = from (plugin))
    {
        instance->host.checkMainThread ("clap_plugin.destroy");

        if (instance->active)
            instance->host.reportMisbehaviour ("clap_plugin.destroy called while the plug-in is active");

        delete instance;
    }
}

bool CLAP_ABI ClapPluginInstance::clapActivate (const clap_plugin_t* plugin, double sampleRate, uint32_t, uint32_t maxFrames)
{
    auto* instance = from (plugin);
    return instance != nullptr && instance->activate (sampleRate, maxFrames);
}

void CLAP_ABI ClapPluginInstance::clapDeactivate (const clap_plugin_t* plugin)
{
    if (auto* instance = from (plugin))
        instance->deactivate();
}

bool CLAP_ABI ClapPluginInstance::clapStartProcessing (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);
    return instance != nullptr && instance->startProcessing();
}

void CLAP_ABI ClapPluginInstance::clapStopProcessing (const clap_plugin_t* plugin)
{
    if (auto* instance = from (plugin))
        instance->stopProcessing();
}

void CLAP_ABI ClapPluginInstance::clapReset (const clap_plugin_t* plugin)
{
    if (auto* instance = from (plugin))
        instance->reset();
}

clap_process_status CLAP_ABI ClapPluginInstance::clapProcess (const clap_plugin_t* plugin, const clap_process_t* context)
{
    auto* instance = from (plugin);

    if (instance == nullptr)
        return CLAP_PROCESS_ERROR;

    if (context == nullptr)
    {
        instance->host.reportMisbehaviour ("clap_plugin.process called without a process context");
        return CLAP_PROCESS_ERROR;
    }

    return instance->process (*context);
}

const void* CLAP_ABI ClapPluginInstance::clapGetExtension (const clap_plugin_t* plugin, const char* id)
{
    auto* instance = from (plugin);
    return instance != nullptr ? instance->getExtension (id) : nullptr;
}

void CLAP_ABI ClapPluginInstance::clapOnMainThread (const clap_plugin_t* plugin)
{
    from (plugin); // nothing is ever requested on the main thread
}

//==============================================================================
uint32_t CLAP_ABI ClapPluginInstance::audioPortsCount (const clap_plugin_t* plugin, bool isInput)
{
    auto* instance = from (plugin);
    return instance != nullptr ? static_cast<uint32_t> (instance->processor->getBusCount (isInput)) : 0;
}

bool CLAP_ABI ClapPluginInstance::audioPortsGet (const clap_plugin_t* plugin, uint32_t index, bool isInput,
                                                 clap_audio_port_info_t* info)
{
    auto* instance = from (plugin);

    if (instance == nullptr || info == nullptr || index >= audioPortsCount (plugin, isInput))
        return false;

    instance->host.checkMainThread ("clap_plugin_audio_ports.get");

    const auto busIndex = static_cast<int> (index);
    auto* bus = instance->processor->getBus (isInput, busIndex);
    const auto layout = bus->getLastEnabledLayout();

    *info = {};
    info->id = isInput ? inputPortId (busIndex) : outputPortId (busIndex);
    bus->getName().copyToUTF8 (info->name, sizeof (info->name));
    info->flags = busIndex == 0 ? static_cast<uint32_t> (CLAP_AUDIO_PORT_IS_MAIN) : 0u;
    info->channel_count = static_cast<uint32_t> (layout.size());
    info->port_type = layout == juce::AudioChannelSet::stereo() ? CLAP_PORT_STEREO
                    : layout == juce::AudioChannelSet::mono()   ? CLAP_PORT_MONO
                                                                : nullptr;

    // Each input works in place with the output of the same index.
    const auto hasPair = busIndex < instance->processor->getBusCount (! isInput);
    info->in_place_pair = ! hasPair ? CLAP_INVALID_ID
                        : isInput   ? outputPortId (busIndex)
                                    : inputPortId (busIndex);
    return true;
}

uint32_t CLAP_ABI ClapPluginInstance::notePortsCount (const clap_plugin_t* plugin, bool)
{
    from (plugin);
    return 0;
}

bool CLAP_ABI ClapPluginInstance::notePortsGet (const clap_plugin_t* plugin, uint32_t, bool, clap_note_port_info_t*)
{
    from (plugin);
    return false;
}

uint32_t CLAP_ABI ClapPluginInstance::noteNameCount (const clap_plugin_t* plugin)
{
    from (plugin);
    return 0;
}

bool CLAP_ABI ClapPluginInstance::noteNameGet (const clap_plugin_t* plugin, uint32_t, clap_note_name_t*)
{
    from (plugin);
    return false;
}

//==============================================================================
uint32_t CLAP_ABI ClapPluginInstance::paramsCount (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);
    return instance != nullptr ? instance->parameters.count() : 0;
}

bool CLAP_ABI ClapPluginInstance::paramsGetInfo (const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info)
{
    auto* instance = from (plugin);
    return instance != nullptr && info != nullptr && instance->parameters.getInfo (index, *info);
}

bool CLAP_ABI ClapPluginInstance::paramsGetValue (const clap_plugin_t* plugin, clap_id id, double* value)
{
    auto* instance = from (plugin);
    return instance != nullptr && value != nullptr && instance->parameters.getValue (id, *value);
}

bool CLAP_ABI ClapPluginInstance::paramsValueToText (const clap_plugin_t* plugin, clap_id id, double value,
                                                     char* display, uint32_t size)
{
    auto* instance = from (plugin);
    return instance != nullptr && instance->parameters.valueToText (id, value, display, size);
}

bool CLAP_ABI ClapPluginInstance::paramsTextToValue (const clap_plugin_t* plugin, clap_id id, const char* display,
                                                     double* value)
{
    auto* instance = from (plugin);
    return instance != nullptr && value != nullptr && instance->parameters.textToValue (id, display, *value);
}

void CLAP_ABI ClapPluginInstance::paramsFlush (const clap_plugin_t* plugin, const clap_input_events_t* in,
                                               const clap_output_events_t* out)
{
    if (auto* instance = from (plugin))
    {
        if (instance->active)
            instance->host.checkAudioThread ("clap_plugin_params.flush while active");
        else
            instance->host.checkMainThread ("clap_plugin_params.flush while inactive");

        instance->parameters.applyHostEvents (in);
        instance->parameters.sendEditsToHost (out);
    }
}

//==============================================================================
bool CLAP_ABI ClapPluginInstance::stateSave (const clap_plugin_t* plugin, const clap_ostream_t* stream)
{
    auto* instance = from (plugin);
    return instance != nullptr && stream != nullptr && instance->saveState (*stream);
}

bool CLAP_ABI ClapPluginInstance::stateLoad (const clap_plugin_t* plugin, const clap_istream_t* stream)
{
    auto* instance = from (plugin);
    return instance != nullptr && stream != nullptr && instance->loadState (*stream);
}

uint32_t CLAP_ABI ClapPluginInstance::latencyGet (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);
    return instance != nullptr ? static_cast<uint32_t> (juce::jmax (0, instance->processor->getLatencySamples())) : 0;
}

uint32_t CLAP_ABI ClapPluginInstance::tailGet (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);

    if (instance == nullptr)
        return 0;

    const auto samples = instance->processor->getTailLengthSeconds() * instance->currentSampleRate;

    if (! (samples > 0.0))
        return 0;

    return samples >= (double) std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                                    : static_cast<uint32_t> (std::ceil (samples));
}

bool CLAP_ABI ClapPluginInstance::renderHasHardRealtimeRequirement (const clap_plugin_t* plugin)
{
    from (plugin);
    return false;
}

bool CLAP_ABI ClapPluginInstance::renderSet (const clap_plugin_t* plugin, clap_plugin_render_mode mode)
{
    auto* instance = from (plugin);

    if (instance == nullptr || (mode != CLAP_RENDER_REALTIME && mode != CLAP_RENDER_OFFLINE))
        return false;

    instance->processor->setNonRealtime (mode == CLAP_RENDER_OFFLINE);
    return true;
}

//==============================================================================
bool CLAP_ABI ClapPluginInstance::guiIsApiSupported (const clap_plugin_t* plugin, const char* api, bool isFloating)
{
    return from (plugin) != nullptr && ClapEditorHost::isApiSupported (api, isFloating);
}

bool CLAP_ABI ClapPluginInstance::guiGetPreferredApi (const clap_plugin_t* plugin, const char** api, bool* isFloating)
{
    if (from (plugin) == nullptr || api == nullptr || isFloating == nullptr)
        return false;

    *api = ClapEditorHost::nativeWindowApi();
    *isFloating = false;
    return true;
}

bool CLAP_ABI ClapPluginInstance::guiCreate (const clap_plugin_t* plugin, const char* api, bool isFloating)
{
    auto* instance = from (plugin);

    if (instance == nullptr)
        return false;

    instance->host.checkMainThread ("clap_plugin_gui.create");
    return instance->editorHost.create (api, isFloating);
}

void CLAP_ABI ClapPluginInstance::guiDestroy (const clap_plugin_t* plugin)
{
    if (auto* instance = from (plugin))
    {
        instance->host.checkMainThread ("clap_plugin_gui.destroy");
        instance->editorHost.destroy();
    }
}

bool CLAP_ABI ClapPluginInstance::guiSetScale (const clap_plugin_t* plugin, double)
{
    // JUCE follows the desktop scale itself on every platform this builds for.
    from (plugin);
    return false;
}

bool CLAP_ABI ClapPluginInstance::guiGetSize (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
{
    auto* instance = from (plugin);
    return instance != nullptr && width != nullptr && height != nullptr
        && instance->editorHost.getSize (*width, *height);
}

bool CLAP_ABI ClapPluginInstance::guiCanResize (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);
    return instance != nullptr && instance->editorHost.canResize();
}

bool CLAP_ABI ClapPluginInstance::guiGetResizeHints (const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints)
{
    auto* instance = from (plugin);
    return instance != nullptr && hints != nullptr && instance->editorHost.getResizeHints (*hints);
}

bool CLAP_ABI ClapPluginInstance::guiAdjustSize (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
{
    auto* instance = from (plugin);
    return instance != nullptr && width != nullptr && height != nullptr
        && instance->editorHost.adjustSize (*width, *height);
}

bool CLAP_ABI ClapPluginInstance::guiSetSize (const clap_plugin_t* plugin, uint32_t width, uint32_t height)
{
    auto* instance = from (plugin);

    if (instance == nullptr)
        return false;

    instance->host.checkMainThread ("clap_plugin_gui.set_size");
    return instance->editorHost.setSize (width, height);
}

bool CLAP_ABI ClapPluginInstance::guiSetParent (const clap_plugin_t* plugin, const clap_window_t* window)
{
    auto* instance = from (plugin);

    if (instance == nullptr || window == nullptr)
        return false;

    instance->host.checkMainThread ("clap_plugin_gui.set_parent");
    return instance->editorHost.setParent (*window);
}

bool CLAP_ABI ClapPluginInstance::guiSetTransient (const clap_plugin_t* plugin, const clap_window_t*)
{
    from (plugin); // only floating windows have a transient parent
    return false;
}

void CLAP_ABI ClapPluginInstance::guiSuggestTitle (const clap_plugin_t* plugin, const char*)
{
    from (plugin); // an embedded editor has no title of its own
}

bool CLAP_ABI ClapPluginInstance::guiShow (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);
    return instance != nullptr && instance->editorHost.show();
}

bool CLAP_ABI ClapPluginInstance::guiHide (const clap_plugin_t* plugin)
{
    auto* instance = from (plugin);
    return instance != nullptr && instance->editorHost.hide();
}

//==============================================================================
void CLAP_ABI ClapPluginInstance::timerOnTimer (const clap_plugin_t* plugin, clap_id timerId)
{
    auto* instance = from (plugin);

    if (instance == nullptr || ! instance->hasTimer || timerId != instance->timerId)
        return;

    instance->host.checkMainThread ("clap_plugin_timer_support.on_timer");
    ClapMessagePump::dispatchPendingMessages();
}

void CLAP_ABI ClapPluginInstance::trackInfoChanged (const clap_plugin_t* plugin)
{
    if (auto* instance = from (plugin))
    {
        instance->host.checkMainThread ("clap_plugin_track_info.changed");
        instance->passTrackInfoToProcessor();
    }
}

#if TESSALINE_CLAP_TEST_HOOKS
bool CLAP_ABI ClapPluginInstance::testEditParameter (const clap_plugin_t* plugin, uint32_t index, double normalisedValue)
{
    auto* instance = from (plugin);

    if (instance == nullptr || index >= (uint32_t) instance->processor->getParameters().size())
        return false;

    auto* parameter = instance->processor->getParameters()[(int) index];
    parameter->beginChangeGesture();
    parameter->setValueNotifyingHost (static_cast<float> (normalisedValue));
    parameter->endChangeGesture();
    return true;
}

bool CLAP_ABI ClapPluginInstance::testResizeEditor (const clap_plugin_t* plugin, uint32_t width, uint32_t height)
{
    auto* instance = from (plugin);
    auto* editor = instance != nullptr ? instance->processor->getActiveEditor() : nullptr;

    if (editor == nullptr)
        return false;

    // The corner hands the dragged bounds to the editor's constrainer, which applies them.
    if (auto* constrainer = editor->getConstrainer())
        constrainer->setBoundsForComponent (editor, editor->getBounds().withSize (static_cast<int> (width), static_cast<int> (height)),
                                            false, false, true, true);
    else
        editor->setSize (static_cast<int> (width), static_cast<int> (height));

    return true;
}

bool CLAP_ABI ClapPluginInstance::testDragParameter (const clap_plugin_t* plugin, uint32_t index, uint32_t numSteps)
{
    auto* instance = from (plugin);

    if (instance == nullptr || index >= (uint32_t) instance->processor->getParameters().size() || numSteps == 0)
        return false;

    auto* parameter = instance->processor->getParameters()[(int) index];
    parameter->beginChangeGesture();

    for (uint32_t step = 1; step <= numSteps; ++step)
        parameter->setValueNotifyingHost (static_cast<float> (step) / static_cast<float> (numSteps));

    parameter->endChangeGesture();
    return true;
}

bool CLAP_ABI ClapPluginInstance::testIsMessageThread (const clap_plugin_t* plugin)
{
    return from (plugin) != nullptr && juce::MessageManager::existsAndIsCurrentThread();
}
#endif

// The C entry points, one section per extension as the host sees them. Each one only unpacks
// its arguments and forwards: recovering the instance, the thread and init checks, logging and
// catching exceptions are the guard's (ClapEntryGuard.h).

#include "targets/clap/ClapPluginExtensions.h"

#include "targets/clap/ClapEditorHost.h"
#include "targets/clap/ClapEntryGuard.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
    //==============================================================================
    // clap_plugin

    bool CLAP_ABI clapInit (const clap_plugin_t* plugin)
    {
        // init checks its thread itself: the host's thread check is only known from init on.
        return guarded (plugin, { "clap_plugin.init", ClapThread::any, false }, false,
                        [] (ClapPluginInstance& instance) { return instance.init(); });
    }

    void CLAP_ABI clapDestroy (const clap_plugin_t* plugin)
    {
        guarded (plugin, { "clap_plugin.destroy", ClapThread::main, false }, [] (ClapPluginInstance& instance)
        {
            if (instance.isActive())
                instance.getHost().reportMisbehaviour ("clap_plugin.destroy called while the plug-in is active");

            delete &instance;
        });
    }

    bool CLAP_ABI clapActivate (const clap_plugin_t* plugin, double sampleRate, uint32_t, uint32_t maxFrames)
    {
        return guarded (plugin, { "clap_plugin.activate" }, false,
                        [=] (ClapPluginInstance& instance) { return instance.activate (sampleRate, maxFrames); });
    }

    void CLAP_ABI clapDeactivate (const clap_plugin_t* plugin)
    {
        guarded (plugin, { "clap_plugin.deactivate" }, [] (ClapPluginInstance& instance) { instance.deactivate(); });
    }

    bool CLAP_ABI clapStartProcessing (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin.start_processing", ClapThread::audio }, false,
                        [] (ClapPluginInstance& instance) { return instance.startProcessing(); });
    }

    void CLAP_ABI clapStopProcessing (const clap_plugin_t* plugin)
    {
        guarded (plugin, { "clap_plugin.stop_processing", ClapThread::audio },
                 [] (ClapPluginInstance& instance) { instance.stopProcessing(); });
    }

    void CLAP_ABI clapReset (const clap_plugin_t* plugin)
    {
        guarded (plugin, { "clap_plugin.reset", ClapThread::audio }, [] (ClapPluginInstance& instance) { instance.reset(); });
    }

    clap_process_status CLAP_ABI clapProcess (const clap_plugin_t* plugin, const clap_process_t* context)
    {
        return guarded (plugin, { "clap_plugin.process", ClapThread::audio }, clap_process_status (CLAP_PROCESS_ERROR),
                        [=] (ClapPluginInstance& instance) -> clap_process_status
        {
            if (context == nullptr)
            {
                instance.getHost().reportMisbehaviour ("clap_plugin.process called without a process context");
                return CLAP_PROCESS_ERROR;
            }

            return instance.process (*context);
        });
    }

    const void* CLAP_ABI clapGetExtension (const clap_plugin_t*, const char* id);

    void CLAP_ABI clapOnMainThread (const clap_plugin_t* plugin)
    {
        // Nothing is ever requested on the main thread.
        guarded (plugin, { "clap_plugin.on_main_thread" }, [] (ClapPluginInstance&) {});
    }

    //==============================================================================
    // clap.audio-ports: one port per processor bus.

    // Port ids as hosts have always seen them: inputs from 0x8000, outputs from 1.
    constexpr clap_id inputPortId (int busIndex)  { return 0x8000u + static_cast<clap_id> (busIndex); }
    constexpr clap_id outputPortId (int busIndex) { return 1u + static_cast<clap_id> (busIndex); }

    uint32_t CLAP_ABI audioPortsCount (const clap_plugin_t* plugin, bool isInput)
    {
        return guarded (plugin, { "clap_plugin_audio_ports.count" }, 0u, [=] (ClapPluginInstance& instance)
        {
            return static_cast<uint32_t> (instance.getProcessor().getBusCount (isInput));
        });
    }

    bool CLAP_ABI audioPortsGet (const clap_plugin_t* plugin, uint32_t index, bool isInput, clap_audio_port_info_t* info)
    {
        return guarded (plugin, { "clap_plugin_audio_ports.get" }, false, [=] (ClapPluginInstance& instance)
        {
            auto& processor = instance.getProcessor();

            if (info == nullptr || index >= static_cast<uint32_t> (processor.getBusCount (isInput)))
                return false;

            const auto busIndex = static_cast<int> (index);
            auto* bus = processor.getBus (isInput, busIndex);
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
            const auto hasPair = busIndex < processor.getBusCount (! isInput);
            info->in_place_pair = ! hasPair ? CLAP_INVALID_ID
                                : isInput   ? outputPortId (busIndex)
                                            : inputPortId (busIndex);
            return true;
        });
    }

    const clap_plugin_audio_ports_t audioPorts { audioPortsCount, audioPortsGet };

    //==============================================================================
    // clap.note-ports and clap.note-name: the processor takes and gives no MIDI.

    uint32_t CLAP_ABI notePortsCount (const clap_plugin_t* plugin, bool)
    {
        return guarded (plugin, { "clap_plugin_note_ports.count" }, 0u, [] (ClapPluginInstance&) { return 0u; });
    }

    bool CLAP_ABI notePortsGet (const clap_plugin_t* plugin, uint32_t, bool, clap_note_port_info_t*)
    {
        return guarded (plugin, { "clap_plugin_note_ports.get" }, false, [] (ClapPluginInstance&) { return false; });
    }

    const clap_plugin_note_ports_t notePorts { notePortsCount, notePortsGet };

    uint32_t CLAP_ABI noteNameCount (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_note_name.count" }, 0u, [] (ClapPluginInstance&) { return 0u; });
    }

    bool CLAP_ABI noteNameGet (const clap_plugin_t* plugin, uint32_t, clap_note_name_t*)
    {
        return guarded (plugin, { "clap_plugin_note_name.get" }, false, [] (ClapPluginInstance&) { return false; });
    }

    const clap_plugin_note_name_t noteName { noteNameCount, noteNameGet };

    //==============================================================================
    // clap.params

    uint32_t CLAP_ABI paramsCount (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_params.count" }, 0u,
                        [] (ClapPluginInstance& instance) { return instance.getParameters().count(); });
    }

    bool CLAP_ABI paramsGetInfo (const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info)
    {
        return guarded (plugin, { "clap_plugin_params.get_info" }, false, [=] (ClapPluginInstance& instance)
        {
            return info != nullptr && instance.getParameters().getInfo (index, *info);
        });
    }

    bool CLAP_ABI paramsGetValue (const clap_plugin_t* plugin, clap_id id, double* value)
    {
        return guarded (plugin, { "clap_plugin_params.get_value" }, false, [=] (ClapPluginInstance& instance)
        {
            return value != nullptr && instance.getParameters().getValue (id, *value);
        });
    }

    bool CLAP_ABI paramsValueToText (const clap_plugin_t* plugin, clap_id id, double value, char* display, uint32_t size)
    {
        return guarded (plugin, { "clap_plugin_params.value_to_text" }, false, [=] (ClapPluginInstance& instance)
        {
            return instance.getParameters().valueToText (id, value, display, size);
        });
    }

    bool CLAP_ABI paramsTextToValue (const clap_plugin_t* plugin, clap_id id, const char* display, double* value)
    {
        return guarded (plugin, { "clap_plugin_params.text_to_value" }, false, [=] (ClapPluginInstance& instance)
        {
            return value != nullptr && instance.getParameters().textToValue (id, display, *value);
        });
    }

    void CLAP_ABI paramsFlush (const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out)
    {
        guarded (plugin, { "clap_plugin_params.flush", ClapThread::audioWhileActive }, [=] (ClapPluginInstance& instance)
        {
            instance.getParameters().applyHostEvents (in);

            // Inactive, the flush comes on the main thread, where the listeners may hear at once.
            if (! instance.isActive())
                instance.getParameters().notifyHostValues();

            instance.getParameters().sendEditsToHost (out);
        });
    }

    const clap_plugin_params_t params { paramsCount, paramsGetInfo, paramsGetValue,
                                        paramsValueToText, paramsTextToValue, paramsFlush };

    //==============================================================================
    // clap.state

    bool CLAP_ABI stateSave (const clap_plugin_t* plugin, const clap_ostream_t* stream)
    {
        return guarded (plugin, { "clap_plugin_state.save" }, false, [=] (ClapPluginInstance& instance)
        {
            return stream != nullptr && instance.saveState (*stream);
        });
    }

    bool CLAP_ABI stateLoad (const clap_plugin_t* plugin, const clap_istream_t* stream)
    {
        return guarded (plugin, { "clap_plugin_state.load" }, false, [=] (ClapPluginInstance& instance)
        {
            return stream != nullptr && instance.loadState (*stream);
        });
    }

    const clap_plugin_state_t state { stateSave, stateLoad };

    //==============================================================================
    // clap.latency and clap.tail

    uint32_t CLAP_ABI latencyGet (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_latency.get" }, 0u, [] (ClapPluginInstance& instance)
        {
            return static_cast<uint32_t> (juce::jmax (0, instance.getProcessor().getLatencySamples()));
        });
    }

    const clap_plugin_latency_t latency { latencyGet };

    uint32_t CLAP_ABI tailGet (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_tail.get", ClapThread::any }, 0u, [] (ClapPluginInstance& instance)
        {
            const auto samples = instance.getProcessor().getTailLengthSeconds() * instance.getSampleRate();

            if (! (samples > 0.0))
                return 0u;

            return samples >= (double) std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                                            : static_cast<uint32_t> (std::ceil (samples));
        });
    }

    const clap_plugin_tail_t tail { tailGet };

    //==============================================================================
    // clap.render

    bool CLAP_ABI renderHasHardRealtimeRequirement (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_render.has_hard_realtime_requirement" }, false,
                        [] (ClapPluginInstance&) { return false; });
    }

    bool CLAP_ABI renderSet (const clap_plugin_t* plugin, clap_plugin_render_mode mode)
    {
        return guarded (plugin, { "clap_plugin_render.set" }, false, [=] (ClapPluginInstance& instance)
        {
            if (mode != CLAP_RENDER_REALTIME && mode != CLAP_RENDER_OFFLINE)
                return false;

            instance.getProcessor().setNonRealtime (mode == CLAP_RENDER_OFFLINE);
            return true;
        });
    }

    const clap_plugin_render_t render { renderHasHardRealtimeRequirement, renderSet };

    //==============================================================================
    // clap.gui: the editor embedded in a host window.

    bool CLAP_ABI guiIsApiSupported (const clap_plugin_t* plugin, const char* api, bool isFloating)
    {
        return guarded (plugin, { "clap_plugin_gui.is_api_supported" }, false,
                        [=] (ClapPluginInstance&) { return ClapEditorHost::isApiSupported (api, isFloating); });
    }

    bool CLAP_ABI guiGetPreferredApi (const clap_plugin_t* plugin, const char** api, bool* isFloating)
    {
        return guarded (plugin, { "clap_plugin_gui.get_preferred_api" }, false, [=] (ClapPluginInstance&)
        {
            if (api == nullptr || isFloating == nullptr)
                return false;

            *api = ClapEditorHost::nativeWindowApi();
            *isFloating = false;
            return true;
        });
    }

    bool CLAP_ABI guiCreate (const clap_plugin_t* plugin, const char* api, bool isFloating)
    {
        return guarded (plugin, { "clap_plugin_gui.create" }, false,
                        [=] (ClapPluginInstance& instance) { return instance.getEditorHost().create (api, isFloating); });
    }

    void CLAP_ABI guiDestroy (const clap_plugin_t* plugin)
    {
        guarded (plugin, { "clap_plugin_gui.destroy" }, [] (ClapPluginInstance& instance) { instance.getEditorHost().destroy(); });
    }

    bool CLAP_ABI guiSetScale (const clap_plugin_t* plugin, double scale)
    {
        // x11 sizes are physical pixels, so the host's scale is applied; cocoa works in logical
        // pixels and win32 follows the monitor's scale through JUCE itself.
        return guarded (plugin, { "clap_plugin_gui.set_scale" }, false, [=] (ClapPluginInstance& instance)
        {
            return std::strcmp (ClapEditorHost::nativeWindowApi(), CLAP_WINDOW_API_X11) == 0
                && instance.getEditorHost().setScale (scale);
        });
    }

    bool CLAP_ABI guiGetSize (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
    {
        return guarded (plugin, { "clap_plugin_gui.get_size" }, false, [=] (ClapPluginInstance& instance)
        {
            return width != nullptr && height != nullptr && instance.getEditorHost().getSize (*width, *height);
        });
    }

    bool CLAP_ABI guiCanResize (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_gui.can_resize" }, false,
                        [] (ClapPluginInstance& instance) { return instance.getEditorHost().canResize(); });
    }

    bool CLAP_ABI guiGetResizeHints (const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints)
    {
        return guarded (plugin, { "clap_plugin_gui.get_resize_hints" }, false, [=] (ClapPluginInstance& instance)
        {
            return hints != nullptr && instance.getEditorHost().getResizeHints (*hints);
        });
    }

    bool CLAP_ABI guiAdjustSize (const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
    {
        return guarded (plugin, { "clap_plugin_gui.adjust_size" }, false, [=] (ClapPluginInstance& instance)
        {
            return width != nullptr && height != nullptr && instance.getEditorHost().adjustSize (*width, *height);
        });
    }

    bool CLAP_ABI guiSetSize (const clap_plugin_t* plugin, uint32_t width, uint32_t height)
    {
        return guarded (plugin, { "clap_plugin_gui.set_size" }, false,
                        [=] (ClapPluginInstance& instance) { return instance.getEditorHost().setSize (width, height); });
    }

    bool CLAP_ABI guiSetParent (const clap_plugin_t* plugin, const clap_window_t* window)
    {
        return guarded (plugin, { "clap_plugin_gui.set_parent" }, false, [=] (ClapPluginInstance& instance)
        {
            return window != nullptr && instance.getEditorHost().setParent (*window);
        });
    }

    bool CLAP_ABI guiSetTransient (const clap_plugin_t* plugin, const clap_window_t*)
    {
        // Only floating windows have a transient parent.
        return guarded (plugin, { "clap_plugin_gui.set_transient" }, false, [] (ClapPluginInstance&) { return false; });
    }

    void CLAP_ABI guiSuggestTitle (const clap_plugin_t* plugin, const char*)
    {
        // An embedded editor has no title of its own.
        guarded (plugin, { "clap_plugin_gui.suggest_title" }, [] (ClapPluginInstance&) {});
    }

    bool CLAP_ABI guiShow (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_gui.show" }, false,
                        [] (ClapPluginInstance& instance) { return instance.getEditorHost().show(); });
    }

    bool CLAP_ABI guiHide (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "clap_plugin_gui.hide" }, false,
                        [] (ClapPluginInstance& instance) { return instance.getEditorHost().hide(); });
    }

    const clap_plugin_gui_t gui { guiIsApiSupported, guiGetPreferredApi, guiCreate, guiDestroy,
                                  guiSetScale, guiGetSize, guiCanResize, guiGetResizeHints,
                                  guiAdjustSize, guiSetSize, guiSetParent, guiSetTransient,
                                  guiSuggestTitle, guiShow, guiHide };

    //==============================================================================
    // clap.timer-support: JUCE's message loop runs on the host's timer.

    void CLAP_ABI timerOnTimer (const clap_plugin_t* plugin, clap_id timerId)
    {
        guarded (plugin, { "clap_plugin_timer_support.on_timer" },
                 [=] (ClapPluginInstance& instance) { instance.onTimer (timerId); });
    }

    const clap_plugin_timer_support_t timerSupport { timerOnTimer };

    //==============================================================================
    // clap.track-info

    void CLAP_ABI trackInfoChanged (const clap_plugin_t* plugin)
    {
        guarded (plugin, { "clap_plugin_track_info.changed" },
                 [] (ClapPluginInstance& instance) { instance.passTrackInfoToProcessor(); });
    }

    const clap_plugin_track_info_t trackInfo { trackInfoChanged };

    //==============================================================================
    const void* CLAP_ABI clapGetExtension (const clap_plugin_t* plugin, const char* id)
    {
        return guarded (plugin, { "clap_plugin.get_extension", ClapThread::any }, static_cast<const void*> (nullptr),
                        [=] (ClapPluginInstance&) -> const void*
        {
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

            return ClapExtraExtensions::find (id);
        });
    }
}

clap_plugin_t ClapPluginExtensions::pluginRecord() noexcept
{
    clap_plugin_t record {};
    record.init = clapInit;
    record.destroy = clapDestroy;
    record.activate = clapActivate;
    record.deactivate = clapDeactivate;
    record.start_processing = clapStartProcessing;
    record.stop_processing = clapStopProcessing;
    record.reset = clapReset;
    record.process = clapProcess;
    record.get_extension = clapGetExtension;
    record.on_main_thread = clapOnMainThread;
    return record;
}

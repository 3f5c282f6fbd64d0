#pragma once

#include "targets/clap/ClapAbi.h"
#include "targets/clap/ClapEditorHost.h"
#include "targets/clap/ClapHostAccess.h"
#include "targets/clap/ClapParameterBridge.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <memory>

/** One plug-in instance as a CLAP host sees it: the clap_plugin record and its extensions
    around one processor. Every entry point recovers the instance from the record, checks how
    the host calls it, and forwards to the processor, its parameters or its editor. */
class ClapPluginInstance final
{
public:
    explicit ClapPluginInstance (const clap_host_t& host);
    ~ClapPluginInstance();

    const clap_plugin_t* getClapPlugin() const noexcept { return &clapPlugin; }

private:
    static std::unique_ptr<juce::AudioProcessor> createProcessor();
    static ClapPluginInstance* from (const clap_plugin_t*);

    //==============================================================================
    bool init();
    bool activate (double sampleRate, uint32_t maxFrames);
    void deactivate();
    bool startProcessing();
    void stopProcessing();
    void reset();
    clap_process_status process (const clap_process_t&);
    const void* getExtension (const char* id) const;

    void renderAudio (const clap_process_t&);
    void renderThroughScratch (const clap_process_t&);
    bool saveState (const clap_ostream_t&);
    bool loadState (const clap_istream_t&);
    void passTrackInfoToProcessor();
    bool isInitialisedFor (const char* call) const;

    //==============================================================================
    // The C entry points of the plug-in record and its extensions.
    static bool CLAP_ABI clapInit (const clap_plugin_t*);
    static void CLAP_ABI clapDestroy (const clap_plugin_t*);
    static bool CLAP_ABI clapActivate (const clap_plugin_t*, double sampleRate, uint32_t minFrames, uint32_t maxFrames);
    static void CLAP_ABI clapDeactivate (const clap_plugin_t*);
    static bool CLAP_ABI clapStartProcessing (const clap_plugin_t*);
    static void CLAP_ABI clapStopProcessing (const clap_plugin_t*);
    static void CLAP_ABI clapReset (const clap_plugin_t*);
    static clap_process_status CLAP_ABI clapProcess (const clap_plugin_t*, const clap_process_t*);
    static const void* CLAP_ABI clapGetExtension (const clap_plugin_t*, const char* id);
    static void CLAP_ABI clapOnMainThread (const clap_plugin_t*);

    static uint32_t CLAP_ABI audioPortsCount (const clap_plugin_t*, bool isInput);
    static bool CLAP_ABI audioPortsGet (const clap_plugin_t*, uint32_t index, bool isInput, clap_audio_port_info_t*);

    static uint32_t CLAP_ABI notePortsCount (const clap_plugin_t*, bool isInput);
    static bool CLAP_ABI notePortsGet (const clap_plugin_t*, uint32_t index, bool isInput, clap_note_port_info_t*);

    static uint32_t CLAP_ABI noteNameCount (const clap_plugin_t*);
    static bool CLAP_ABI noteNameGet (const clap_plugin_t*, uint32_t index, clap_note_name_t*);

    static uint32_t CLAP_ABI paramsCount (const clap_plugin_t*);
    static bool CLAP_ABI paramsGetInfo (const clap_plugin_t*, uint32_t index, clap_param_info_t*);
    static bool CLAP_ABI paramsGetValue (const clap_plugin_t*, clap_id, double*);
    static bool CLAP_ABI paramsValueToText (const clap_plugin_t*, clap_id, double, char*, uint32_t);
    static bool CLAP_ABI paramsTextToValue (const clap_plugin_t*, clap_id, const char*, double*);
    static void CLAP_ABI paramsFlush (const clap_plugin_t*, const clap_input_events_t*, const clap_output_events_t*);

    static bool CLAP_ABI stateSave (const clap_plugin_t*, const clap_ostream_t*);
    static bool CLAP_ABI stateLoad (const clap_plugin_t*, const clap_istream_t*);

    static uint32_t CLAP_ABI latencyGet (const clap_plugin_t*);
    static uint32_t CLAP_ABI tailGet (const clap_plugin_t*);

    static bool CLAP_ABI renderHasHardRealtimeRequirement (const clap_plugin_t*);
    static bool CLAP_ABI renderSet (const clap_plugin_t*, clap_plugin_render_mode);

    static bool CLAP_ABI guiIsApiSupported (const clap_plugin_t*, const char* api, bool isFloating);
    static bool CLAP_ABI guiGetPreferredApi (const clap_plugin_t*, const char** api, bool* isFloating);
    static bool CLAP_ABI guiCreate (const clap_plugin_t*, const char* api, bool isFloating);
    static void CLAP_ABI guiDestroy (const clap_plugin_t*);
    static bool CLAP_ABI guiSetScale (const clap_plugin_t*, double scale);
    static bool CLAP_ABI guiGetSize (const clap_plugin_t*, uint32_t* width, uint32_t* height);
    static bool CLAP_ABI guiCanResize (const clap_plugin_t*);
    static bool CLAP_ABI guiGetResizeHints (const clap_plugin_t*, clap_gui_resize_hints_t*);
    static bool CLAP_ABI guiAdjustSize (const clap_plugin_t*, uint32_t* width, uint32_t* height);
    static bool CLAP_ABI guiSetSize (const clap_plugin_t*, uint32_t width, uint32_t height);
    static bool CLAP_ABI guiSetParent (const clap_plugin_t*, const clap_window_t*);
    static bool CLAP_ABI guiSetTransient (const clap_plugin_t*, const clap_window_t*);
    static void CLAP_ABI guiSuggestTitle (const clap_plugin_t*, const char*);
    static bool CLAP_ABI guiShow (const clap_plugin_t*);
    static bool CLAP_ABI guiHide (const clap_plugin_t*);

    static void CLAP_ABI timerOnTimer (const clap_plugin_t*, clap_id timerId);
    static void CLAP_ABI trackInfoChanged (const clap_plugin_t*);

   #if TESSALINE_CLAP_TEST_HOOKS
    static bool CLAP_ABI testEditParameter (const clap_plugin_t*, uint32_t index, double normalisedValue);
    static bool CLAP_ABI testResizeEditor (const clap_plugin_t*, uint32_t width, uint32_t height);
    static bool CLAP_ABI testDragParameter (const clap_plugin_t*, uint32_t index, uint32_t numSteps);
    static bool CLAP_ABI testIsMessageThread (const clap_plugin_t*);
   #endif

    //==============================================================================
    // The framework lives as long as any instance in this library does.
    juce::SharedResourcePointer<juce::ScopedJuceInitialiser_GUI> framework;
    ClapHostAccess host;
    std::unique_ptr<juce::AudioProcessor> processor;
    ClapParameterBridge parameters;
    ClapEditorHost editorHost;
    clap_plugin_t clapPlugin;

    juce::AudioBuffer<float> scratch;
    juce::MidiBuffer noMidi;
    double currentSampleRate = 44100.0;
    bool initialised = false;
    std::atomic<bool> active { false }, processing { false };
    bool hasTimer = false;
    clap_id timerId = CLAP_INVALID_ID;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapPluginInstance)
};

#pragma once

#include "targets/clap/ClapAbi.h"
#include "targets/clap/ClapEditorHost.h"
#include "targets/clap/ClapHostAccess.h"
#include "targets/clap/ClapHostBuffers.h"
#include "targets/clap/ClapParameterBridge.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <memory>

/** One plug-in instance as a CLAP host sees it: the clap_plugin record around one processor,
    its parameters and its editor. This is the lifecycle and processing side; the C entry points
    of the record and its extensions (ClapPluginExtensions.cpp) reach it through the guard of
    ClapEntryGuard.h, which has already checked the calling thread and the init state. */
class ClapPluginInstance final
{
public:
    explicit ClapPluginInstance (const clap_host_t& host);
    ~ClapPluginInstance();

    const clap_plugin_t* getClapPlugin() const noexcept { return &clapPlugin; }

    /** The instance behind a plug-in record, or null (reported) when the host broke the record. */
    static ClapPluginInstance* from (const clap_plugin_t*) noexcept;

    //==============================================================================
    bool init();
    bool isInitialised() const noexcept             { return initialised; }

    bool activate (double sampleRate, uint32_t maxFrames);
    void deactivate();
    bool isActive() const noexcept                  { return active; }
    double getSampleRate() const noexcept           { return currentSampleRate; }

    bool startProcessing();
    void stopProcessing();
    void reset();
    clap_process_status process (const clap_process_t&);

    bool saveState (const clap_ostream_t&);
    bool loadState (const clap_istream_t&);

    void onTimer (clap_id);
    void passTrackInfoToProcessor();

    //==============================================================================
    const ClapHostAccess& getHost() const noexcept  { return host; }
    juce::AudioProcessor& getProcessor() noexcept   { return *processor; }
    ClapParameterBridge& getParameters() noexcept   { return parameters; }
    ClapEditorHost& getEditorHost() noexcept        { return editorHost; }

    /** The sample rates the filter is prepared for; others are refused at activation. */
    static constexpr double lowestSampleRate = 1000.0, highestSampleRate = 4.0e6;

private:
    static std::unique_ptr<juce::AudioProcessor> createProcessor();
    void renderAtEventFrames (const clap_process_t&);

    //==============================================================================
    // Comes first: the window system must be ready for JUCE before the framework starts.
    struct WindowSystemPreparation { WindowSystemPreparation(); } windowSystemPreparation;

    // The framework lives as long as any instance in this library does.
    juce::SharedResourcePointer<juce::ScopedJuceInitialiser_GUI> framework;
    ClapHostAccess host;
    std::unique_ptr<juce::AudioProcessor> processor;
    ClapParameterBridge parameters;
    ClapEditorHost editorHost;
    ClapHostBuffers buffers;
    clap_plugin_t clapPlugin;

    double currentSampleRate = 44100.0;
    bool initialised = false;
    std::atomic<bool> active { false }, processing { false };
    bool hasTimer = false;
    clap_id timerId = CLAP_INVALID_ID;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapPluginInstance)
};

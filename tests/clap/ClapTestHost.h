#pragma once

#include "targets/clap/ClapAbi.h"
#include "tests/clap/ClapTestLibrary.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

/** The host extensions a ClapTestHost offers its plug-in. */
struct ClapTestHostOffers
{
    bool log = true;
    bool threadCheck = true;
    bool params = true;
    bool gui = true;
    bool timerSupport = true;
    bool trackInfo = false;
};

/** A small CLAP host for one plug-in instance: it offers log, thread-check, params, gui and
    timer-support (each can be left out), records what the plug-in asks of it, and runs the
    plug-in's timers and audio work on the threads a real host would. */
class ClapTestHost final
{
public:
    using Offers = ClapTestHostOffers;

    explicit ClapTestHost (const ClapTestLibrary&, Offers offers = {});
    ~ClapTestHost();

    ClapTestHost (const ClapTestHost&) = delete;
    ClapTestHost& operator= (const ClapTestHost&) = delete;

    /** Creates and initialises the plug-in of this id (the library's first when empty). */
    bool createPlugin (const std::string& pluginId = {});

    /** The two halves of createPlugin, for hosts that create on one thread and initialise on
        another. */
    bool instantiatePlugin (const std::string& pluginId = {});
    bool initialisePlugin();
    void destroyPlugin();
    const clap_plugin_t* plugin() const noexcept { return instance; }
    const clap_host_t* clapHost() const noexcept { return &host; }

    template <typename Extension>
    const Extension* extension (const char* id) const
    {
        return instance != nullptr ? static_cast<const Extension*> (instance->get_extension (instance, id)) : nullptr;
    }

    /** Calls on_timer for every timer the plug-in registered, on the calling (main) thread. */
    void runTimers();

    /** Runs the work on a second thread that the thread check reports as the audio thread. */
    void runOnAudioThread (const std::function<void()>& work);

    /** Starts the work on a second thread that the thread check reports as the audio thread
        and returns at once, so the caller goes on as the main thread; join the thread. */
    std::thread startAudioThread (std::function<void()> work);

    /** A process call for one input and one output port, as a host builds it for each block. */
    static clap_process_t processContext (const clap_audio_buffer_t& input, clap_audio_buffer_t& output, uint32_t numFrames,
                                          const clap_input_events_t* inEvents, const clap_output_events_t* outEvents,
                                          int64_t steadyTime = -1);

    //==============================================================================
    struct LogEntry
    {
        clap_log_severity severity;
        std::string message;
    };

    std::vector<LogEntry> takeLog();
    int flushRequests = 0;
    int valueRescans = 0;
    std::vector<std::pair<uint32_t, uint32_t>> resizeRequests;
    std::vector<std::pair<clap_id, uint32_t>> timers;
    int trackInfoQueries = 0;

private:
    static ClapTestHost& from (const clap_host_t*);
    static const void* CLAP_ABI getExtension (const clap_host_t*, const char* id);
    static void CLAP_ABI requestRestart (const clap_host_t*);
    static void CLAP_ABI requestProcess (const clap_host_t*);
    static void CLAP_ABI requestCallback (const clap_host_t*);

    static void CLAP_ABI log (const clap_host_t*, clap_log_severity, const char* message);
    static bool CLAP_ABI isMainThread (const clap_host_t*);
    static bool CLAP_ABI isAudioThread (const clap_host_t*);
    static void CLAP_ABI rescan (const clap_host_t*, clap_param_rescan_flags);
    static void CLAP_ABI clear (const clap_host_t*, clap_id, clap_param_clear_flags);
    static void CLAP_ABI requestFlush (const clap_host_t*);
    static void CLAP_ABI resizeHintsChanged (const clap_host_t*);
    static bool CLAP_ABI requestResize (const clap_host_t*, uint32_t width, uint32_t height);
    static bool CLAP_ABI requestShow (const clap_host_t*);
    static bool CLAP_ABI requestHide (const clap_host_t*);
    static void CLAP_ABI closed (const clap_host_t*, bool wasDestroyed);
    static bool CLAP_ABI registerTimer (const clap_host_t*, uint32_t periodMs, clap_id* timerId);
    static bool CLAP_ABI unregisterTimer (const clap_host_t*, clap_id timerId);
    static bool CLAP_ABI getTrackInfo (const clap_host_t*, clap_track_info_t*);

    const ClapTestLibrary& library;
    Offers offers;
    clap_host_t host;
    const clap_plugin_t* instance = nullptr;

    std::thread::id mainThread = std::this_thread::get_id();
    // Read by the thread check on any thread while an audio thread starts or ends.
    std::atomic<std::thread::id> audioThread {};
    std::mutex logLock;
    std::vector<LogEntry> logEntries;
    clap_id nextTimerId = 1;
};

#pragma once

#include "targets/clap/ClapAbi.h"

#include <cstdint>

/** The host as the plug-in sees it: its extensions, looked up once after init, and the checks
    and reports about how the host calls us. Misbehaviour goes to the host's log when it has one,
    else to the error stream, and is otherwise survived. */
class ClapHostAccess final
{
public:
    explicit ClapHostAccess (const clap_host_t& host);

    /** Looks up the host's extensions; CLAP allows this only from clap_plugin.init on. */
    void queryExtensions();

    //==============================================================================
    void reportMisbehaviour (const char* message) const;
    void reportWarning (const char* message) const;
    void reportError (const char* message) const noexcept;

    /** Report the call when the host says it comes on the wrong thread. Returns false then. */
    bool checkMainThread (const char* call) const;
    bool checkAudioThread (const char* call) const;
    bool isAudioThread() const;

    //==============================================================================
    void requestParameterFlush() const;
    void rescanParameterValues() const;
    bool requestResize (uint32_t width, uint32_t height) const;
    bool registerTimer (uint32_t periodMs, clap_id& timerId) const;
    void unregisterTimer (clap_id timerId) const;
    bool getTrackInfo (clap_track_info_t& info) const;

private:
    void report (clap_log_severity, const char* message) const noexcept;

    template <typename Extension>
    const Extension* queryExtension (const char* id) const;

    const clap_host_t& host;
    const clap_host_log_t* log = nullptr;
    const clap_host_thread_check_t* threadCheck = nullptr;
    const clap_host_params_t* params = nullptr;
    const clap_host_gui_t* gui = nullptr;
    const clap_host_timer_support_t* timerSupport = nullptr;
    const clap_host_track_info_t* trackInfo = nullptr;
};

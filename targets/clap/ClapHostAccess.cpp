#include "targets/clap/ClapHostAccess.h"

#include <cstdio>
#include <string>

ClapHostAccess::ClapHostAccess (const clap_host_t& hostToUse)
    : host (hostToUse)
{
}

template <typename Extension>
const Extension* ClapHostAccess::queryExtension (const char* id) const
{
    if (host.get_extension == nullptr)
        return nullptr;

    return static_cast<const Extension*> (host.get_extension (&host, id));
}

void ClapHostAccess::queryExtensions()
{
    log          = queryExtension<clap_host_log_t> (CLAP_EXT_LOG);
    threadCheck  = queryExtension<clap_host_thread_check_t> (CLAP_EXT_THREAD_CHECK);
    params       = queryExtension<clap_host_params_t> (CLAP_EXT_PARAMS);
    gui          = queryExtension<clap_host_gui_t> (CLAP_EXT_GUI);
    timerSupport = queryExtension<clap_host_timer_support_t> (CLAP_EXT_TIMER_SUPPORT);
    trackInfo    = queryExtension<clap_host_track_info_t> (CLAP_EXT_TRACK_INFO);

    if (trackInfo == nullptr)
        trackInfo = queryExtension<clap_host_track_info_t> (CLAP_EXT_TRACK_INFO_COMPAT);

    // A host that offers an extension with empty entries is treated as not offering it.
    if (log != nullptr && log->log == nullptr)                                   log = nullptr;
    if (threadCheck != nullptr && (threadCheck->is_main_thread == nullptr
                                    || threadCheck->is_audio_thread == nullptr)) threadCheck = nullptr;
    if (timerSupport != nullptr && (timerSupport->register_timer == nullptr
                                     || timerSupport->unregister_timer == nullptr)) timerSupport = nullptr;
}

//==============================================================================
void ClapHostAccess::reportMisbehaviour (const char* message) const
{
    report (CLAP_LOG_HOST_MISBEHAVING, message);
}

void ClapHostAccess::reportWarning (const char* message) const
{
    report (CLAP_LOG_WARNING, message);
}

void ClapHostAccess::reportError (const char* message) const noexcept
{
    report (CLAP_LOG_ERROR, message);
}

void ClapHostAccess::report (clap_log_severity severity, const char* message) const noexcept
{
    if (log != nullptr)
    {
        log->log (&host, severity, message);
        return;
    }

    std::fprintf (stderr, "%s\n", message);
    std::fflush (stderr);
}

bool ClapHostAccess::checkMainThread (const char* call) const
{
    if (threadCheck == nullptr || threadCheck->is_main_thread (&host))
        return true;

    reportMisbehaviour ((std::string (call) + " must be called on the main thread").c_str());
    return false;
}

bool ClapHostAccess::checkAudioThread (const char* call) const
{
    if (threadCheck == nullptr || threadCheck->is_audio_thread (&host))
        return true;

    reportMisbehaviour ((std::string (call) + " must be called on the audio thread").c_str());
    return false;
}

bool ClapHostAccess::isAudioThread() const
{
    return threadCheck != nullptr && threadCheck->is_audio_thread (&host);
}

//==============================================================================
void ClapHostAccess::requestParameterFlush() const
{
    if (params != nullptr && params->request_flush != nullptr)
        params->request_flush (&host);
}

void ClapHostAccess::rescanParameterValues() const
{
    if (params != nullptr && params->rescan != nullptr)
        params->rescan (&host, CLAP_PARAM_RESCAN_VALUES);
}

bool ClapHostAccess::requestResize (uint32_t width, uint32_t height) const
{
    return gui != nullptr && gui->request_resize != nullptr && gui->request_resize (&host, width, height);
}

bool ClapHostAccess::registerTimer (uint32_t periodMs, clap_id& timerId) const
{
    return timerSupport != nullptr && timerSupport->register_timer (&host, periodMs, &timerId);
}

void ClapHostAccess::unregisterTimer (clap_id timerId) const
{
    if (timerSupport != nullptr)
        timerSupport->unregister_timer (&host, timerId);
}

bool ClapHostAccess::getTrackInfo (clap_track_info_t& info) const
{
    return trackInfo != nullptr && trackInfo->get != nullptr && trackInfo->get (&host, &info);
}

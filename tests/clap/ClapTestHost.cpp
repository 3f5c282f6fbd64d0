#include "tests/clap/ClapTestHost.h"

#include <algorithm>
#include <cstring>

ClapTestHost::ClapTestHost (const ClapTestLibrary& libraryToUse, Offers offersToUse)
    : library (libraryToUse),
      offers (offersToUse)
{
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "Tessaline test host";
    host.vendor = "Quillfen";
    host.url = "";
    host.version = "1.0.0";
    host.get_extension = getExtension;
    host.request_restart = requestRestart;
    host.request_process = requestProcess;
    host.request_callback = requestCallback;
}

ClapTestHost::~ClapTestHost()
{
    destroyPlugin();
}

bool ClapTestHost::createPlugin (const std::string& pluginId)
{
    return instantiatePlugin (pluginId) && initialisePlugin();
}

bool ClapTestHost::instantiatePlugin (const std::string& pluginId)
{
    auto* factory = library.getFactory();

    if (factory == nullptr || instance != nullptr)
        return false;

    auto id = pluginId;

    if (id.empty())
    {
        if (factory->get_plugin_count (factory) == 0)
            return false;

        id = factory->get_plugin_descriptor (factory, 0)->id;
    }

    instance = factory->create_plugin (factory, &host, id.c_str());
    return instance != nullptr;
}

bool ClapTestHost::initialisePlugin()
{
    if (instance == nullptr)
        return false;

    if (! instance->init (instance))
    {
        destroyPlugin();
        return false;
    }

    return true;
}

void ClapTestHost::destroyPlugin()
{
    if (instance != nullptr)
        instance->destroy (instance);

    instance = nullptr;
}

void ClapTestHost::runTimers()
{
    auto* timerSupport = extension<clap_plugin_timer_support_t> (CLAP_EXT_TIMER_SUPPORT);

    if (timerSupport == nullptr)
        return;

    for (auto [id, period] : std::vector<std::pair<clap_id, uint32_t>> (timers))
        timerSupport->on_timer (instance, id);
}

void ClapTestHost::runOnAudioThread (const std::function<void()>& work)
{
    std::thread thread ([this, &work]
    {
        audioThread = std::this_thread::get_id();
        work();
        audioThread = std::thread::id();
    });
    thread.join();
}

std::thread ClapTestHost::startAudioThread (std::function<void()> work)
{
    return std::thread ([this, work = std::move (work)]
    {
        audioThread = std::this_thread::get_id();
        work();
        audioThread = std::thread::id();
    });
}

std::vector<ClapTestHost::LogEntry> ClapTestHost::takeLog()
{
    const std::lock_guard<std::mutex> lock (logLock);
    return std::exchange (logEntries, {});
}

//==============================================================================
ClapTestHost& ClapTestHost::from (const clap_host_t* host)
{
    return *static_cast<ClapTestHost*> (host->host_data);
}

const void* CLAP_ABI ClapTestHost::getExtension (const clap_host_t* host, const char* id)
{
    static const clap_host_log_t logExtension { log };
    static const clap_host_thread_check_t threadCheckExtension { isMainThread, isAudioThread };
    static const clap_host_params_t paramsExtension { rescan, clear, requestFlush };
    static const clap_host_gui_t guiExtension { resizeHintsChanged, requestResize, requestShow, requestHide, closed };
    static const clap_host_timer_support_t timerExtension { registerTimer, unregisterTimer };
    static const clap_host_track_info_t trackInfoExtension { getTrackInfo };

    const auto& self = from (host);
    const auto is = [id] (const char* candidate) { return id != nullptr && std::strcmp (id, candidate) == 0; };

    if (is (CLAP_EXT_LOG) && self.offers.log)                     return &logExtension;
    if (is (CLAP_EXT_THREAD_CHECK) && self.offers.threadCheck)    return &threadCheckExtension;
    if (is (CLAP_EXT_PARAMS) && self.offers.params)               return &paramsExtension;
    if (is (CLAP_EXT_GUI) && self.offers.gui)                     return &guiExtension;
    if (is (CLAP_EXT_TIMER_SUPPORT) && self.offers.timerSupport)  return &timerExtension;
    if (is (CLAP_EXT_TRACK_INFO) && self.offers.trackInfo)        return &trackInfoExtension;
    return nullptr;
}

void CLAP_ABI ClapTestHost::requestRestart (const clap_host_t*) {}
void CLAP_ABI ClapTestHost::requestProcess (const clap_host_t*) {}
void CLAP_ABI ClapTestHost::requestCallback (const clap_host_t*) {}

void CLAP_ABI ClapTestHost::log (const clap_host_t* host, clap_log_severity severity, const char* message)
{
    auto& self = from (host);
    const std::lock_guard<std::mutex> lock (self.logLock);
    self.logEntries.push_back ({ severity, message != nullptr ? message : "" });
}

bool CLAP_ABI ClapTestHost::isMainThread (const clap_host_t* host)
{
    return std::this_thread::get_id() == from (host).mainThread;
}

bool CLAP_ABI ClapTestHost::isAudioThread (const clap_host_t* host)
{
    return std::this_thread::get_id() == from (host).audioThread.load();
}

void CLAP_ABI ClapTestHost::rescan (const clap_host_t* host, clap_param_rescan_flags flags)
{
    if ((flags & CLAP_PARAM_RESCAN_VALUES) != 0)
        ++from (host).valueRescans;
}

void CLAP_ABI ClapTestHost::clear (const clap_host_t*, clap_id, clap_param_clear_flags) {}

void CLAP_ABI ClapTestHost::requestFlush (const clap_host_t* host)
{
    ++from (host).flushRequests;
}

void CLAP_ABI ClapTestHost::resizeHintsChanged (const clap_host_t*) {}

bool CLAP_ABI ClapTestHost::requestResize (const clap_host_t* host, uint32_t width, uint32_t height)
{
    from (host).resizeRequests.emplace_back (width, height);
    return true;
}

bool CLAP_ABI ClapTestHost::requestShow (const clap_host_t*) { return false; }
bool CLAP_ABI ClapTestHost::requestHide (const clap_host_t*) { return false; }
void CLAP_ABI ClapTestHost::closed (const clap_host_t*, bool) {}

bool CLAP_ABI ClapTestHost::registerTimer (const clap_host_t* host, uint32_t periodMs, clap_id* timerId)
{
    auto& self = from (host);

    if (timerId == nullptr)
        return false;

    *timerId = self.nextTimerId++;
    self.timers.emplace_back (*timerId, periodMs);
    return true;
}

bool CLAP_ABI ClapTestHost::unregisterTimer (const clap_host_t* host, clap_id timerId)
{
    auto& timers = from (host).timers;
    const auto found = std::find_if (timers.begin(), timers.end(), [timerId] (auto& timer) { return timer.first == timerId; });

    if (found == timers.end())
        return false;

    timers.erase (found);
    return true;
}

bool CLAP_ABI ClapTestHost::getTrackInfo (const clap_host_t* host, clap_track_info_t* info)
{
    ++from (host).trackInfoQueries;
    *info = {};
    info->flags = CLAP_TRACK_INFO_HAS_TRACK_NAME | CLAP_TRACK_INFO_HAS_TRACK_COLOR;
    std::strcpy (info->name, "Bass");
    info->color = { 255, 10, 20, 30 };
    return true;
}

clap_process_t ClapTestHost::processContext (const clap_audio_buffer_t& input, clap_audio_buffer_t& output, uint32_t numFrames,
                                             const clap_input_events_t* inEvents, const clap_output_events_t* outEvents,
                                             int64_t steadyTime)
{
    clap_process_t context {};
    context.steady_time = steadyTime;
    context.frames_count = numFrames;
    context.audio_inputs = &input;
    context.audio_outputs = &output;
    context.audio_inputs_count = 1;
    context.audio_outputs_count = 1;
    context.in_events = inEvents;
    context.out_events = outEvents;
    return context;
}

#include "targets/clap/ClapPluginInstance.h"

#include "targets/clap/ClapDescriptor.h"
#include "targets/clap/ClapMessagePump.h"
#include "targets/clap/ClapPluginExtensions.h"
#include "targets/clap/ClapStateStreams.h"
#include "targets/clap/ClapWindowSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace
{
    void reportBrokenRecord (const char* message) noexcept
    {
        std::fprintf (stderr, "%s\n", message);
        std::fflush (stderr);
    }
}

ClapPluginInstance::WindowSystemPreparation::WindowSystemPreparation()
{
    ClapWindowSystem::prepareForJuce();
}

ClapPluginInstance::ClapPluginInstance (const clap_host_t& hostToUse)
    : host (hostToUse),
      processor (createProcessor()),
      parameters (*processor, host),
      editorHost (*processor, host),
      clapPlugin (ClapPluginExtensions::pluginRecord())
{
    clapPlugin.desc = &ClapDescriptor::get();
    clapPlugin.plugin_data = this;
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

ClapPluginInstance* ClapPluginInstance::from (const clap_plugin_t* plugin) noexcept
{
    // A host error we cannot recover an instance from: say so and make the call do nothing.
    if (plugin == nullptr)
    {
        reportBrokenRecord ("called with a null clap_plugin pointer!");
        return nullptr;
    }

    if (plugin->plugin_data == nullptr)
    {
        reportBrokenRecord ("called with a null clap_plugin->plugin_data pointer! The host must never change this pointer!");
        return nullptr;
    }

    return static_cast<ClapPluginInstance*> (plugin->plugin_data);
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
    if (active)
    {
        host.reportMisbehaviour ("clap_plugin.activate called while the plug-in is active");
        return false;
    }

    // The filter's coefficients (and the oversampler at twice the rate) stay finite only for
    // rates a sound card can have.
    if (! (sampleRate >= lowestSampleRate && sampleRate <= highestSampleRate) || maxFrames == 0)
    {
        host.reportMisbehaviour ("clap_plugin.activate called with an unusable sample rate or block size");
        return false;
    }

    const auto pieceSize = buffers.prepare (juce::jmax (processor->getTotalNumInputChannels(),
                                                        processor->getTotalNumOutputChannels()),
                                            maxFrames);
    const auto blockSize = static_cast<int> (pieceSize);
    currentSampleRate = sampleRate;

    processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);
    active = true;
    return true;
}

void ClapPluginInstance::deactivate()
{
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
    parameters.notifyHostValues();
}

bool ClapPluginInstance::startProcessing()
{
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
    if (! processing)
        host.reportMisbehaviour ("clap_plugin.stop_processing called while the plug-in is not processing");

    processing = false;
}

void ClapPluginInstance::reset()
{
    if (active)
        processor->reset();
}

clap_process_status ClapPluginInstance::process (const clap_process_t& context)
{
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

    renderAtEventFrames (context);
    parameters.sendEditsToHost (context.out_events);
    return CLAP_PROCESS_CONTINUE;
}

void ClapPluginInstance::renderAtEventFrames (const clap_process_t& context)
{
    // The processor takes its parameters once per call, so the block is rendered in spans that
    // end where the next value takes effect; values at one frame apply together, and a span
    // may be a single frame. A value the host placed before frames already rendered (out of
    // order) takes effect where rendering stands; one at or past the block's end takes effect
    // after its last frame, for the next block.
    const auto* events = context.in_events;
    const auto numFrames = context.frames_count;
    ClapParameterBridge::PendingEvent pending { 0, 0 };

    buffers.beginBlock (*processor, context);

    for (uint32_t frame = 0; frame < numFrames;)
    {
        pending = parameters.applyHostEventsUpTo (events, pending.index, frame);
        const auto spanEnd = std::min (numFrames, pending.frame); // beyond `frame`, so every span has frames
        buffers.renderFrames (*processor, context, frame, spanEnd - frame);
        frame = spanEnd;
    }

    parameters.applyHostEventsUpTo (events, pending.index, std::numeric_limits<uint32_t>::max());
    buffers.endBlock (context);
}

//==============================================================================
bool ClapPluginInstance::saveState (const clap_ostream_t& stream)
{
    // The value tree that the blob is written from learns the host's latest values here.
    parameters.notifyHostValues();

    juce::MemoryBlock blob;
    processor->getStateInformation (blob);
    return ClapStateStreams::write (stream, blob);
}

bool ClapPluginInstance::loadState (const clap_istream_t& stream)
{
    juce::MemoryBlock blob;

    if (! ClapStateStreams::read (stream, blob))
        return false;

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

//==============================================================================
void ClapPluginInstance::onTimer (clap_id id)
{
    if (! hasTimer || id != timerId)
        return;

    parameters.notifyHostValues();
    ClapMessagePump::dispatchPendingMessages();
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

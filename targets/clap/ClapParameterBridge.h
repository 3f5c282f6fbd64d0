#pragma once

#include "targets/clap/ClapAbi.h"
#include "targets/clap/ClapHostAccess.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <memory>
#include <utility>
#include <vector>

/** The processor's parameters as CLAP parameters: stable ids derived from the string
    identifiers, normalised values, the parameters' own text conversions, the host's parameter
    events in, and the editor's edits out as parameter events with their gestures. */
class ClapParameterBridge final : private juce::AudioProcessorListener
{
public:
    ClapParameterBridge (juce::AudioProcessor&, const ClapHostAccess&);
    ~ClapParameterBridge() override;

    /** The CLAP id of a parameter identifier: the id JUCE's VST3 wrapper gives the same
        parameter (juce::String::hashCode with the top bit cleared, as it does by default for
        hosts that reject negative ids), so automation written for one format reads in the other.
        Clearing the top bit also keeps it clear of CLAP_INVALID_ID. */
    static clap_id idForIdentifier (const juce::String& identifier) noexcept;

    //==============================================================================
    uint32_t count() const noexcept;
    bool getInfo (uint32_t index, clap_param_info_t& info) const;
    bool getValue (clap_id, double& value) const;
    bool valueToText (clap_id, double value, char* display, uint32_t size) const;
    bool textToValue (clap_id, const char* display, double& value) const;

    //==============================================================================
    /** Applies all of the host's parameter values (a flush); they reach the processor's
        parameters at once and never return to the host as edits. Without a block to place them
        in, the frames of the events do not matter. */
    void applyHostEvents (const clap_input_events_t* events);

    /** Where applying a block's events stopped: the first event left (the number of events
        when none is) and the frame it waits for (UINT32_MAX when none is left). */
    struct PendingEvent
    {
        uint32_t index;
        uint32_t frame;
    };

    /** Applies, from event `firstEvent` on, the host's values up to the block's frame `frame`
        (a value the host placed at an earlier frame, out of order, takes effect now) and stops
        at the first value for a later frame. Events that change no parameter never hold the
        others up. */
    PendingEvent applyHostEventsUpTo (const clap_input_events_t* events, uint32_t firstEvent, uint32_t frame);

    /** Tells the parameters' listeners (the value tree state, the editor) about the host values
        applied since the last call. Main thread only: listeners lock, so the audio thread sets
        values without them and leaves the news for here. */
    void notifyHostValues();

    /** Hands the host every edit queued since the last call, oldest first. */
    void sendEditsToHost (const clap_output_events_t* events);

    /** Runs a change of parameter values that the host caused (e.g. a state load), so that it
        is not reported back as the user's edit. */
    template <typename Change>
    static void applyWithoutEcho (Change&& change)
    {
        const auto wasApplying = std::exchange (applyingHostChange, true);
        change();
        applyingHostChange = wasApplying;
    }

private:
    struct Edit
    {
        uint16_t type = CLAP_EVENT_PARAM_VALUE;
        clap_id id = CLAP_INVALID_ID;
        double value = 0.0;
    };

    // Where the host stands on each parameter's gesture: a gesture goes to the host whole or
    // not at all, so a full queue never leaves the host with a gesture that never ends.
    enum class GestureState : uint8_t { none, queued, dropped };

    static constexpr int editQueueSize = 1024;

    int indexOf (clap_id) const noexcept;
    juce::AudioProcessorParameter* find (clap_id) const noexcept;
    const clap_event_param_value_t* hostValueAt (const clap_input_events_t&, uint32_t index) const;
    void applyHostValue (const clap_event_param_value_t&);
    bool isUserEdit (int index) const noexcept;
    bool queueEdit (Edit, int slotsToKeepFree);
    static bool pushToHost (const clap_output_events_t&, const Edit&);

    //==============================================================================
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;

    //==============================================================================
    juce::AudioProcessor& processor;
    const ClapHostAccess& host;
    std::vector<juce::AudioProcessorParameter*> parameters;
    std::vector<clap_id> ids;

    // One flag per parameter, set where a host value is applied, cleared where its listeners
    // hear of it: many values in between make one notification of the latest.
    std::unique_ptr<std::atomic<bool>[]> notificationsDue;

    // Edits travel from the message thread to whichever thread the host flushes on.
    juce::AbstractFifo editQueue { editQueueSize };
    std::array<Edit, editQueueSize> edits;

    // Written where edits are queued only: the queue keeps a slot free for every open gesture's end.
    std::vector<GestureState> gestures;
    int openGestures = 0;

    // Initial-exec: the default model for a dlopened library allocates (and locks) at a
    // thread's first access, which is the audio thread's first host event.
    static thread_local bool applyingHostChange [[gnu::tls_model ("initial-exec")]];

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapParameterBridge)
};

#include "targets/clap/ClapParameterBridge.h"

#include "processor/DecimalText.h"
#include "processor/Utf8Text.h"

#include <cmath>
#include <cstring>

thread_local bool ClapParameterBridge::applyingHostChange [[gnu::tls_model ("initial-exec")]] = false;

namespace
{
    juce::String identifierOf (juce::AudioProcessorParameter& parameter)
    {
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (&parameter))
            return hosted->getParameterID();

        return juce::String (parameter.getParameterIndex());
    }

    void copyText (const juce::String& text, char* destination, size_t size)
    {
        if (destination == nullptr || size == 0)
            return;

        text.copyToUTF8 (destination, size);
        destination[size - 1] = '\0';
    }
}

ClapParameterBridge::ClapParameterBridge (juce::AudioProcessor& processorToUse, const ClapHostAccess& hostToUse)
    : processor (processorToUse),
      host (hostToUse)
{
    for (auto* parameter : processor.getParameters())
    {
        parameters.push_back (parameter);
        ids.push_back (idForIdentifier (identifierOf (*parameter)));
    }

    gestures.resize (parameters.size(), GestureState::none);
    notificationsDue = std::make_unique<std::atomic<bool>[]> (parameters.size());

    for (size_t i = 0; i < parameters.size(); ++i)
        notificationsDue[i].store (false);

    processor.addListener (this);
}

ClapParameterBridge::~ClapParameterBridge()
{
    processor.removeListener (this);
}

clap_id ClapParameterBridge::idForIdentifier (const juce::String& identifier) noexcept
{
    return static_cast<clap_id> (identifier.hashCode()) & 0x7fffffffu;
}

//==============================================================================
uint32_t ClapParameterBridge::count() const noexcept
{
    return static_cast<uint32_t> (parameters.size());
}

bool ClapParameterBridge::getInfo (uint32_t index, clap_param_info_t& info) const
{
    if (index >= count())
        return false;

    auto& parameter = *parameters[index];

    info = {};
    info.id = ids[index];
    info.flags = CLAP_PARAM_IS_AUTOMATABLE;

    if (parameter.isBoolean())
        info.flags |= CLAP_PARAM_IS_STEPPED;

    info.cookie = nullptr;
    copyText (parameter.getName (CLAP_NAME_SIZE - 1), info.name, sizeof (info.name));
    info.module[0] = '\0';
    info.min_value = 0.0;
    info.max_value = 1.0;
    info.default_value = parameter.getDefaultValue();
    return true;
}

int ClapParameterBridge::indexOf (clap_id id) const noexcept
{
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == id)
            return static_cast<int> (i);

    return -1;
}

juce::AudioProcessorParameter* ClapParameterBridge::find (clap_id id) const noexcept
{
    const auto index = indexOf (id);
    return index >= 0 ? parameters[static_cast<size_t> (index)] : nullptr;
}

bool ClapParameterBridge::getValue (clap_id id, double& value) const
{
    auto* parameter = find (id);

    if (parameter == nullptr)
        return false;

    value = parameter->getValue();
    return true;
}

bool ClapParameterBridge::valueToText (clap_id id, double value, char* display, uint32_t size) const
{
    auto* parameter = find (id);

    if (parameter == nullptr || display == nullptr || size == 0 || ! std::isfinite (value))
        return false;

    // Clamped before it is narrowed: a double beyond the float range has no float to become.
    const auto normalised = static_cast<float> (juce::jlimit (0.0, 1.0, value));
    copyText (parameter->getText (normalised, static_cast<int> (size) - 1), display, size);
    return true;
}

bool ClapParameterBridge::textToValue (clap_id id, const char* display, double& value) const
{
    auto* parameter = find (id);

    // Malformed UTF-8 would be read past its end by JUCE's text classes: no value of ours.
    if (parameter == nullptr || display == nullptr
        || ! Utf8Text::isWellFormed (display))
        return false;

    const auto text = juce::String::fromUTF8 (display).trim();

    // A choice is one of its names, in any letter case.
    if (parameter->isDiscrete() && ! parameter->getAllValueStrings().isEmpty())
    {
        const auto names = parameter->getAllValueStrings();
        const auto index = names.indexOf (text, true);

        if (index < 0)
            return false;

        value = names.size() > 1 ? (double) index / (double) (names.size() - 1) : 0.0;
        return true;
    }

    // A number is a plain decimal, in the parameter's unit, optionally followed by its label;
    // beyond the range it lands on the nearer end.
    auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter);
    const auto label = parameter->getLabel().trim();
    auto number = text;

    if (label.isNotEmpty() && number.endsWithIgnoreCase (label))
        number = number.dropLastCharacters (label.length()).trimEnd();

    // Beyond the double range the shared reader gives the largest value of that sign, below it zero.
    double parsed = 0.0;

    if (ranged == nullptr || ! DecimalText::parse (number.toRawUTF8(), number.getNumBytesAsUTF8(), parsed))
        return false;

    const auto& range = ranged->getNormalisableRange();
    const auto clamped = juce::jlimit ((double) range.start, (double) range.end, parsed);
    value = juce::jlimit (0.0, 1.0, (double) ranged->convertTo0to1 ((float) clamped));
    return true;
}

//==============================================================================
void ClapParameterBridge::applyHostEvents (const clap_input_events_t* events)
{
    applyHostEventsUpTo (events, 0, std::numeric_limits<uint32_t>::max());
}

ClapParameterBridge::PendingEvent ClapParameterBridge::applyHostEventsUpTo (const clap_input_events_t* events,
                                                                            uint32_t firstEvent, uint32_t frame)
{
    constexpr auto noFrame = std::numeric_limits<uint32_t>::max();

    if (events == nullptr || events->size == nullptr || events->get == nullptr)
        return { 0, noFrame };

    const auto numEvents = events->size (events);

    for (auto i = firstEvent; i < numEvents; ++i)
    {
        const auto* value = hostValueAt (*events, i);

        if (value == nullptr)
            continue;

        if (value->header.time > frame)
            return { i, value->header.time };

        applyHostValue (*value);
    }

    return { numEvents, noFrame };
}

const clap_event_param_value_t* ClapParameterBridge::hostValueAt (const clap_input_events_t& events, uint32_t index) const
{
    const auto* header = events.get (&events, index);

    // Gestures from the host need nothing from the processor: only values change its state.
    if (header == nullptr || header->space_id != CLAP_CORE_EVENT_SPACE_ID
        || header->type != CLAP_EVENT_PARAM_VALUE || header->size < sizeof (clap_event_param_value_t))
        return nullptr;

    const auto* value = reinterpret_cast<const clap_event_param_value_t*> (header);
    return indexOf (value->param_id) >= 0 && std::isfinite (value->value) ? value : nullptr;
}

void ClapParameterBridge::applyHostValue (const clap_event_param_value_t& event)
{
    const auto index = static_cast<size_t> (indexOf (event.param_id));

    // setValue writes the parameter's atomic and tells no listener; they hear on the main thread.
    // Clamped as a double first: a value beyond the float range is never narrowed.
    parameters[index]->setValue (static_cast<float> (juce::jlimit (0.0, 1.0, event.value)));
    notificationsDue[index].store (true, std::memory_order_release);
}

void ClapParameterBridge::notifyHostValues()
{
    for (size_t i = 0; i < parameters.size(); ++i)
    {
        if (! notificationsDue[i].exchange (false, std::memory_order_acq_rel))
            continue;

        // The latest value, so a notification that lags behind the audio thread cannot undo it.
        auto& parameter = *parameters[i];
        applyWithoutEcho ([&] { parameter.sendValueChangedMessageToListeners (parameter.getValue()); });
    }
}

void ClapParameterBridge::sendEditsToHost (const clap_output_events_t* events)
{
    if (events == nullptr || events->try_push == nullptr)
        return;

    while (editQueue.getNumReady() > 0)
    {
        int start1, size1, start2, size2;
        editQueue.prepareToRead (1, start1, size1, start2, size2);

        // Keep an edit the host could not take for the next chance rather than lose it.
        if (! pushToHost (*events, edits[static_cast<size_t> (start1)]))
            return;

        editQueue.finishedRead (1);
    }
}

bool ClapParameterBridge::pushToHost (const clap_output_events_t& events, const Edit& edit)
{
    if (edit.type == CLAP_EVENT_PARAM_VALUE)
    {
        clap_event_param_value_t event {};
        event.header = { sizeof (event), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0 };
        event.param_id = edit.id;
        event.cookie = nullptr;
        event.note_id = -1;
        event.port_index = -1;
        event.channel = -1;
        event.key = -1;
        event.value = edit.value;
        return events.try_push (&events, &event.header);
    }

    clap_event_param_gesture_t event {};
    event.header = { sizeof (event), 0, CLAP_CORE_EVENT_SPACE_ID, edit.type, 0 };
    event.param_id = edit.id;
    return events.try_push (&events, &event.header);
}

bool ClapParameterBridge::queueEdit (Edit edit, int slotsToKeepFree)
{
    // The host has stopped flushing: a full queue (or one whose last slots are kept for the
    // ends of open gestures) drops the newest edit.
    if (editQueue.getFreeSpace() <= slotsToKeepFree)
        return false;

    int start1, size1, start2, size2;
    editQueue.prepareToWrite (1, start1, size1, start2, size2);
    edits[static_cast<size_t> (start1)] = edit;
    editQueue.finishedWrite (1);

    if (! host.isAudioThread())
        host.requestParameterFlush();

    return true;
}

bool ClapParameterBridge::isUserEdit (int index) const noexcept
{
    return ! applyingHostChange && index >= 0 && index < static_cast<int> (ids.size());
}

//==============================================================================
void ClapParameterBridge::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue)
{
    if (isUserEdit (index))
        queueEdit ({ CLAP_EVENT_PARAM_VALUE, ids[static_cast<size_t> (index)], newValue }, openGestures);
}

void ClapParameterBridge::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&)
{
    // Latency and parameter info never change in this processor; nothing to tell the host.
}

void ClapParameterBridge::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    if (! isUserEdit (index))
        return;

    auto& gesture = gestures[static_cast<size_t> (index)];

    if (gesture == GestureState::queued)
        return; // already open for the host

    // A begin goes in only with a slot left for its end.
    if (queueEdit ({ CLAP_EVENT_PARAM_GESTURE_BEGIN, ids[static_cast<size_t> (index)], 0.0 }, openGestures + 1))
    {
        gesture = GestureState::queued;
        ++openGestures;
    }
    else
    {
        gesture = GestureState::dropped;
    }
}

void ClapParameterBridge::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    if (! isUserEdit (index))
        return;

    // An end whose begin never reached the queue stays away from the host too.
    if (std::exchange (gestures[static_cast<size_t> (index)], GestureState::none) != GestureState::queued)
        return;

    --openGestures;
    queueEdit ({ CLAP_EVENT_PARAM_GESTURE_END, ids[static_cast<size_t> (index)], 0.0 }, openGestures);
}

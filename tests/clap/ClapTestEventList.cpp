#include "tests/clap/ClapTestEventList.h"

#include <cstring>

ClapTestEventList::ClapTestEventList()
    : inputList { this, size, get },
      outputList { this, tryPush }
{
}

void ClapTestEventList::addValue (clap_id id, double value, uint32_t time)
{
    clap_event_param_value_t event {};
    event.header = { sizeof (event), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0 };
    event.param_id = id;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;

    const auto* bytes = reinterpret_cast<const uint8_t*> (&event);
    events.emplace_back (bytes, bytes + sizeof (event));
}

void ClapTestEventList::addGesture (uint16_t type, clap_id id)
{
    clap_event_param_gesture_t event {};
    event.header = { sizeof (event), 0, CLAP_CORE_EVENT_SPACE_ID, type, 0 };
    event.param_id = id;

    const auto* bytes = reinterpret_cast<const uint8_t*> (&event);
    events.emplace_back (bytes, bytes + sizeof (event));
}

void ClapTestEventList::clear()
{
    events.clear();
    pushed.clear();
}

uint32_t CLAP_ABI ClapTestEventList::size (const clap_input_events_t* list)
{
    return static_cast<uint32_t> (static_cast<ClapTestEventList*> (list->ctx)->events.size());
}

const clap_event_header_t* CLAP_ABI ClapTestEventList::get (const clap_input_events_t* list, uint32_t index)
{
    auto& events = static_cast<ClapTestEventList*> (list->ctx)->events;
    return index < events.size() ? reinterpret_cast<const clap_event_header_t*> (events[index].data()) : nullptr;
}

bool CLAP_ABI ClapTestEventList::tryPush (const clap_output_events_t* list, const clap_event_header_t* header)
{
    auto& self = *static_cast<ClapTestEventList*> (list->ctx);

    if (self.refusePushes || header == nullptr)
        return false;

    if (header->type == CLAP_EVENT_PARAM_VALUE)
    {
        clap_event_param_value_t event;
        std::memcpy (&event, header, sizeof (event));
        self.pushed.push_back ({ header->type, event.param_id, event.value });
    }
    else if (header->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || header->type == CLAP_EVENT_PARAM_GESTURE_END)
    {
        clap_event_param_gesture_t event;
        std::memcpy (&event, header, sizeof (event));
        self.pushed.push_back ({ header->type, event.param_id, 0.0 });
    }

    return true;
}

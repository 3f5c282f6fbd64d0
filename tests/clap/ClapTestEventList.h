#pragma once

#include "targets/clap/ClapAbi.h"

#include <cstdint>
#include <vector>

/** Parameter events in either direction: a list the plug-in reads (input) and a list it
    pushes to (output). */
class ClapTestEventList final
{
public:
    ClapTestEventList();

    struct Event
    {
        uint16_t type;
        clap_id id;
        double value;

        bool operator== (const Event& other) const
        {
            return type == other.type && id == other.id && value == other.value;
        }
    };

    void addValue (clap_id id, double value, uint32_t time = 0);
    void addGesture (uint16_t type, clap_id id);
    void clear();

    const clap_input_events_t* input() const noexcept { return &inputList; }
    const clap_output_events_t* output() const noexcept { return &outputList; }

    /** The events the plug-in pushed, in order; values are 0 for gestures. */
    std::vector<Event> pushed;

    /** When set, the output list refuses every event (a host whose queue is full). */
    bool refusePushes = false;

private:
    static uint32_t CLAP_ABI size (const clap_input_events_t*);
    static const clap_event_header_t* CLAP_ABI get (const clap_input_events_t*, uint32_t index);
    static bool CLAP_ABI tryPush (const clap_output_events_t*, const clap_event_header_t*);

    std::vector<std::vector<uint8_t>> events;
    clap_input_events_t inputList;
    clap_output_events_t outputList;
};

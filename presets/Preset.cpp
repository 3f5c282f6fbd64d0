#include "presets/Preset.h"
#include "processor/ParameterIds.h"

const std::array<Preset::Field, 7>& Preset::fields()
{
    static const std::array<Field, 7> table { {
        { ParameterIds::cutoff,       &Preset::cutoff,     nullptr },
        { ParameterIds::resonance,    &Preset::resonance,  nullptr },
        { ParameterIds::drive,        &Preset::drive,      nullptr },
        { ParameterIds::makeupGain,   &Preset::makeupGain, nullptr },
        { ParameterIds::mode,         nullptr,             &Preset::mode },
        { ParameterIds::slope,        nullptr,             &Preset::slope },
        { ParameterIds::oversampling, nullptr,             &Preset::oversampling },
    } };

    return table;
}

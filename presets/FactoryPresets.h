#pragma once

#include "presets/Preset.h"

/** The presets every editor starts with, "Init" first (the Init command applies the first). */
juce::Array<Preset> makeFactoryPresets();

#pragma once

// String identifiers of the seven parameters. Everything that reads or writes a parameter
// (processor, editor, presets, plug-in wrapper) addresses it by one of these.
namespace ParameterIds
{
    inline constexpr const char* cutoff       = "cutoff";
    inline constexpr const char* resonance    = "resonance";
    inline constexpr const char* drive        = "drive";
    inline constexpr const char* makeupGain   = "makeupGain";
    inline constexpr const char* mode         = "mode";
    inline constexpr const char* slope        = "slope";
    inline constexpr const char* oversampling = "oversampling";

    inline constexpr int versionHint = 1;
}

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

    /** A raw choice value truncated to its index, as everything that reads choices does.
        Values no parameter can hold (NaN, huge) come back as -1 rather than undefined. */
    inline int truncatedChoiceIndex (float rawValue) noexcept
    {
        return (rawValue > -1000.0f && rawValue < 1000.0f) ? (int) rawValue : -1;
    }
}

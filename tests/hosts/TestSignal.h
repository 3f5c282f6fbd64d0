#pragma once

#include <cmath>
#include <cstdint>

/** The input both sides of a format comparison feed the filter: two sines a fifth apart with a
    little deterministic noise, different on each channel, loud enough to reach the saturation. */
namespace TestSignal
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    constexpr int numBlocks = 48;
    constexpr int numChannels = 2;

    inline float sample (int channel, int64_t frame) noexcept
    {
        const auto t = (double) frame / sampleRate;
        const auto base = channel == 0 ? 220.0 : 330.0;
        auto noise = (uint32_t) (frame * 2 + channel) * 2654435761u;
        noise ^= noise >> 15;
        const auto white = (double) (noise & 0xffff) / 32768.0 - 1.0;
        return (float) (0.5 * std::sin (6.283185307179586 * base * t)
                        + 0.3 * std::sin (6.283185307179586 * base * 1.5 * t)
                        + 0.05 * white);
    }
}

#pragma once

#include <juce_dsp/juce_dsp.h>

#include <cmath>
#include <complex>
#include <vector>

/** Signal generation and response measurement shared by the DSP tests. */
namespace SignalTools
{
    inline std::vector<float> sine (double frequency, double sampleRate, size_t numSamples, float amplitude)
    {
        std::vector<float> samples (numSamples);

        for (size_t n = 0; n < numSamples; ++n)
            samples[n] = amplitude * (float) std::sin (juce::MathConstants<double>::twoPi * frequency * (double) n / sampleRate);

        return samples;
    }

    /** Hann-windowed single-bin correlation of samples[start, end) at the given frequency. */
    inline std::complex<double> phasorAt (const std::vector<float>& samples, double frequency, double sampleRate, size_t start)
    {
        std::complex<double> sum;
        const auto length = samples.size() - start;

        for (size_t n = start; n < samples.size(); ++n)
        {
            const double window = 0.5 - 0.5 * std::cos (juce::MathConstants<double>::twoPi * (double) (n - start) / (double) length);
            const double phase = juce::MathConstants<double>::twoPi * frequency * (double) n / sampleRate;
            sum += window * (double) samples[n] * std::complex<double> (std::cos (phase), -std::sin (phase));
        }

        return sum;
    }

    /** Gain in dB from input to output at one frequency, measured after the settling time. */
    inline double gainDb (const std::vector<float>& input, const std::vector<float>& output,
                          double frequency, double sampleRate, size_t settleSamples)
    {
        return 20.0 * std::log10 (std::abs (phasorAt (output, frequency, sampleRate, settleSamples))
                                  / std::abs (phasorAt (input, frequency, sampleRate, settleSamples)));
    }

    inline double rms (const float* samples, size_t numSamples)
    {
        double sum = 0.0;

        for (size_t n = 0; n < numSamples; ++n)
            sum += (double) samples[n] * (double) samples[n];

        return numSamples > 0 ? std::sqrt (sum / (double) numSamples) : 0.0;
    }

    inline bool allFinite (const float* samples, size_t numSamples)
    {
        for (size_t n = 0; n < numSamples; ++n)
            if (! std::isfinite (samples[n]))
                return false;

        return true;
    }

    /** The digital frequency at which a prewarped one-pole with the given cutoff sees the
        analog frequency ratio omega = f / fc. */
    inline double frequencyForAnalogRatio (double omega, double cutoff, double sampleRate)
    {
        const double pi = juce::MathConstants<double>::pi;
        return sampleRate / pi * std::atan (omega * std::tan (pi * cutoff / sampleRate));
    }
}

#pragma once

#include "tests/ProcessorTestTools.h"

#include <juce_dsp/juce_dsp.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

/** The processor's small-signal response measured from outside: an impulse of 1e-4 through
    processBlock, its spectrum by FFT. */
namespace ImpulseResponse
{
    constexpr float impulseHeight = 1.0e-4f;

    struct Setting
    {
        double hostRate;
        bool oversampled;
        float cutoff, resonance, makeupDb;
        int mode, slope;
    };

    inline std::string describe (const Setting& s)
    {
        return juce::String::formatted ("%.0f Hz %s, mode %d slope %d, cutoff %.0f, resonance %.2f, makeup %.1f dB",
                                        s.hostRate, s.oversampled ? "2x" : "off", s.mode, s.slope, s.cutoff,
                                        s.resonance, s.makeupDb).toStdString();
    }

    /** A mono processor with the setting's parameters (drive 1), prepared at its host rate and
        settled: its cutoff smoother sits on the cutoff and its memory is clear. */
    inline std::unique_ptr<TessalineAudioProcessor> settledProcessor (const Setting& s, int blockSize = 512)
    {
        using namespace ProcessorTestTools;

        auto processor = std::make_unique<TessalineAudioProcessor>();
        setRaw (*processor, "cutoff", s.cutoff);
        setRaw (*processor, "resonance", s.resonance);
        setRaw (*processor, "makeupGain", s.makeupDb);
        setRaw (*processor, "mode", (float) s.mode);
        setRaw (*processor, "slope", (float) s.slope);
        setRaw (*processor, "oversampling", s.oversampled ? 1.0f : 0.0f);
        prepare (*processor, s.hostRate, blockSize, 1);

        // An empty block hands the settings to the engine (and switches the path); the reset
        // then snaps the smoother onto the cutoff, so no glide is measured.
        juce::AudioBuffer<float> empty (1, 0);
        juce::MidiBuffer midi;
        processor->processBlock (empty, midi);
        processor->releaseResources();
        return processor;
    }

    /** What the processor gives for an impulse of impulseHeight, divided by that height: length
        samples of its impulse response. The blocks after the impulse are silent, which the
        engine may skip once its memory has died away; what it writes then is exact silence. */
    inline std::vector<float> ofProcessor (const Setting& s, int length, int blockSize = 512)
    {
        auto processor = settledProcessor (s, blockSize);
        juce::AudioBuffer<float> buffer (1, length);
        buffer.clear();
        buffer.setSample (0, 0, impulseHeight);
        ProcessorTestTools::processInBlocks (*processor, buffer, blockSize);

        std::vector<float> response (buffer.getReadPointer (0), buffer.getReadPointer (0) + length);

        for (auto& sample : response)
            sample /= impulseHeight;

        return response;
    }

    /** The largest magnitude among the last samples of a response: how far it is from over. */
    inline float tailPeak (const std::vector<float>& response, size_t lastSamples)
    {
        float peak = 0.0f;

        for (size_t n = response.size() - std::min (lastSamples, response.size()); n < response.size(); ++n)
            peak = std::max (peak, std::abs (response[n]));

        return peak;
    }

    /** Magnitude spectrum by FFT of a response of 2^order samples: bin k lies at k rate / 2^order
        Hz, for k up to 2^(order - 1). */
    inline std::vector<float> magnitudeSpectrum (const std::vector<float>& response, int order)
    {
        const auto size = (size_t) 1 << order;
        jassert (response.size() == size);

        std::vector<float> data (2 * size, 0.0f);
        std::copy (response.begin(), response.end(), data.begin());

        juce::dsp::FFT fft (order);
        fft.performFrequencyOnlyForwardTransform (data.data(), true);
        data.resize (size / 2 + 1);
        return data;
    }

    /** The response's spectrum at one frequency, summed directly (for frequencies between bins). */
    inline std::complex<double> spectrumAt (const std::vector<float>& response, double frequency, double rate)
    {
        // Goertzel's recursion, in 64-bit.
        const double omega = juce::MathConstants<double>::twoPi * frequency / rate;
        const double coefficient = 2.0 * std::cos (omega);
        double s1 = 0.0, s2 = 0.0;

        for (const auto sample : response)
        {
            const double s0 = (double) sample + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }

        // X = e^(j w (N - 1)) (s1 - e^(-j w) s2), rotated back to start at sample 0.
        const auto n = (double) response.size();
        const auto rotation = std::polar (1.0, -omega * (n - 1.0));
        return rotation * (s1 - std::polar (1.0, -omega) * s2);
    }

    inline double levelDb (double magnitude)   { return 20.0 * std::log10 (std::max (1.0e-12, magnitude)); }
}

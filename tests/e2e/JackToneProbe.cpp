// A JACK client for the standalone end-to-end tests: it plays a sine into the input ports of a
// running JUCE program, records what comes back from that program's output ports and prints
// the gain in dB at the sine's frequency, one line per channel ("gain_1=-3.2").
//
//   TessalineJackProbe CLIENT HZ [SECONDS [IN_PREFIX OUT_PREFIX]]
//
// JUCE's JACK device registers its ports as CLIENT:in_N and CLIENT:out_N; other programs name
// them otherwise (jalv after the LV2 port symbols, CLIENT:audio_in_N), hence the prefixes. The
// probe connects itself to them, so the program under test may be connected to anything else
// as well.

#include "tests/SignalTools.h"

#include <jack/jack.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace
{
    constexpr int numChannels = 2;
    constexpr float toneAmplitude = 0.25f;
    constexpr auto portTimeout = std::chrono::seconds (10);
    constexpr auto settleTime = std::chrono::milliseconds (300);

    struct Probe
    {
        jack_client_t* client = nullptr;
        std::array<jack_port_t*, numChannels> tonePorts {};
        std::array<jack_port_t*, numChannels> returnPorts {};

        double frequency = 1000.0;
        double sampleRate = 48000.0;
        size_t phaseIndex = 0;

        std::vector<float> sent;
        std::array<std::vector<float>, numChannels> received;
        std::atomic<bool> recording { false };
        std::atomic<size_t> recorded { 0 };
    };

    int process (jack_nframes_t numFrames, void* arg)
    {
        auto& probe = *static_cast<Probe*> (arg);

        std::array<float*, numChannels> tone {};
        std::array<const float*, numChannels> back {};

        for (size_t channel = 0; channel < numChannels; ++channel)
        {
            tone[channel] = static_cast<float*> (jack_port_get_buffer (probe.tonePorts[channel], numFrames));
            back[channel] = static_cast<const float*> (jack_port_get_buffer (probe.returnPorts[channel], numFrames));
        }

        const auto recordingNow = probe.recording.load();
        auto position = probe.recorded.load();

        for (jack_nframes_t frame = 0; frame < numFrames; ++frame)
        {
            const auto phase = juce::MathConstants<double>::twoPi * probe.frequency * (double) probe.phaseIndex++ / probe.sampleRate;
            const auto sample = toneAmplitude * (float) std::sin (phase);

            for (size_t channel = 0; channel < numChannels; ++channel)
                tone[channel][frame] = sample;

            if (recordingNow && position < probe.sent.size())
            {
                probe.sent[position] = sample;

                for (size_t channel = 0; channel < numChannels; ++channel)
                    probe.received[channel][position] = back[channel][frame];

                ++position;
            }
        }

        probe.recorded.store (position);
        return 0;
    }

    /** The gain at the tone's frequency as the median over short windows, so that a cycle the
        server drops on a busy machine (a click in the recording) cannot move the result. */
    double medianGainDb (const Probe& probe, const std::vector<float>& received)
    {
        constexpr size_t windowLength = 2048;
        std::vector<double> gains;

        for (size_t start = 0; start + windowLength <= probe.sent.size(); start += windowLength)
        {
            const std::vector<float> sent (probe.sent.begin() + (long) start, probe.sent.begin() + (long) (start + windowLength));
            const std::vector<float> back (received.begin() + (long) start, received.begin() + (long) (start + windowLength));
            gains.push_back (SignalTools::gainDb (sent, back, probe.frequency, probe.sampleRate, 0));
        }

        if (gains.empty())
            return -200.0;

        std::nth_element (gains.begin(), gains.begin() + (long) (gains.size() / 2), gains.end());
        return gains[gains.size() / 2];
    }

    bool waitForPort (jack_client_t* client, const std::string& name)
    {
        const auto deadline = std::chrono::steady_clock::now() + portTimeout;

        while (jack_port_by_name (client, name.c_str()) == nullptr)
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;

            std::this_thread::sleep_for (std::chrono::milliseconds (50));
        }

        return true;
    }

    /** Ports appear when the program registers them but accept connections only once its client
        is active, so a refused connection is tried again until the port timeout. */
    bool connectWhenActive (jack_client_t* client, const std::string& source, const std::string& destination)
    {
        const auto deadline = std::chrono::steady_clock::now() + portTimeout;

        for (;;)
        {
            const auto result = jack_connect (client, source.c_str(), destination.c_str());

            if (result == 0 || result == EEXIST)
                return true;

            if (std::chrono::steady_clock::now() > deadline)
                return false;

            std::this_thread::sleep_for (std::chrono::milliseconds (50));
        }
    }

    bool connectToTarget (Probe& probe, const std::string& target, const std::string& inPrefix, const std::string& outPrefix)
    {
        for (size_t channel = 0; channel < numChannels; ++channel)
        {
            const auto number = std::to_string (channel + 1);
            const auto targetIn = target + ":" + inPrefix + number;
            const auto targetOut = target + ":" + outPrefix + number;

            if (! waitForPort (probe.client, targetIn) || ! waitForPort (probe.client, targetOut))
            {
                std::fprintf (stderr, "ports of %s did not appear\n", target.c_str());
                return false;
            }

            if (! connectWhenActive (probe.client, jack_port_name (probe.tonePorts[channel]), targetIn)
                || ! connectWhenActive (probe.client, targetOut, jack_port_name (probe.returnPorts[channel])))
            {
                std::fprintf (stderr, "cannot connect to %s\n", target.c_str());
                return false;
            }
        }

        return true;
    }

    bool registerPorts (Probe& probe)
    {
        for (size_t channel = 0; channel < numChannels; ++channel)
        {
            const auto number = std::to_string (channel + 1);
            probe.tonePorts[channel] = jack_port_register (probe.client, ("tone_" + number).c_str(),
                                                           JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            probe.returnPorts[channel] = jack_port_register (probe.client, ("return_" + number).c_str(),
                                                             JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);

            if (probe.tonePorts[channel] == nullptr || probe.returnPorts[channel] == nullptr)
                return false;
        }

        return true;
    }

    bool recordResponse (Probe& probe, double seconds)
    {
        const auto numSamples = (size_t) (seconds * probe.sampleRate);
        probe.sent.assign (numSamples, 0.0f);

        for (auto& channel : probe.received)
            channel.assign (numSamples, 0.0f);

        std::this_thread::sleep_for (settleTime);
        probe.recording = true;

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double> (seconds * 4.0 + 5.0);

        while (probe.recorded.load() < numSamples)
        {
            if (std::chrono::steady_clock::now() > deadline)
            {
                std::fprintf (stderr, "recording timed out\n");
                return false;
            }

            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        }

        return true;
    }
}

int main (int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf (stderr, "usage: TessalineJackProbe CLIENT HZ [SECONDS [IN_PREFIX OUT_PREFIX]]\n");
        return 2;
    }

    const std::string target = argv[1];
    const double seconds = argc > 3 ? std::atof (argv[3]) : 0.6;
    const std::string inPrefix = argc > 5 ? argv[4] : "in_";
    const std::string outPrefix = argc > 5 ? argv[5] : "out_";

    Probe probe;
    probe.frequency = std::atof (argv[2]);

    jack_status_t status {};
    probe.client = jack_client_open ("tessaline-probe", JackNoStartServer, &status);

    if (probe.client == nullptr)
    {
        std::fprintf (stderr, "no JACK server (status 0x%x)\n", (unsigned) status);
        return 1;
    }

    probe.sampleRate = (double) jack_get_sample_rate (probe.client);
    jack_set_process_callback (probe.client, process, &probe);

    auto ok = registerPorts (probe) && jack_activate (probe.client) == 0
              && connectToTarget (probe, target, inPrefix, outPrefix) && recordResponse (probe, seconds);

    jack_deactivate (probe.client);
    jack_client_close (probe.client);

    if (! ok)
        return 1;

    // Silence reads as -200 dB rather than -inf, so scripts can compare plain numbers.
    for (size_t channel = 0; channel < numChannels; ++channel)
        std::printf ("gain_%zu=%.2f\n", channel + 1,
                     std::max (-200.0, medianGainDb (probe, probe.received[channel])));

    return 0;
}

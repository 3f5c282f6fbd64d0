#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

/** A plain, single-channel statement of the ladder algorithm as designed, written apart from
    the engine (no shared helpers) so that the engine can be checked against it sample by
    sample. It has no stability limit: where its loop rings, that is what the engine mends. */
class ReferenceLadder
{
public:
    double cutoff = 1000.0, resonance = 0.0, drive = 1.0, makeupDb = 0.0;
    int mode = 0, slope = 2;
    bool stabilityCap = false;

    explicit ReferenceLadder (double initialCutoff, double rate)
        : smoothed (std::min (0.49 * rate, std::max (20.0, initialCutoff))) {}

    /** Filters one block in place at the given rate. */
    void process (float* samples, size_t numSamples, double fs)
    {
        const double pi = 3.14159265358979323846;
        const double r = resonance, d = drive;

        const double fc = cutoff < 20.0 ? 20.0 : std::min (0.49 * fs, cutoff);
        const double a = std::exp (-1.0 / (0.012 * fs));

        std::vector<double> stageGains (numSamples);

        for (size_t n = 0; n < numSamples; ++n)
        {
            smoothed = (smoothed - fc) * a + fc;

            if (std::abs (smoothed - fc) < 0.001)
                smoothed = fc;

            const double g = std::tan (pi * smoothed / fs);
            stageGains[n] = g / (1.0 + g);
        }

        const double wLow = smoothStep ((110.0 - fc) / 90.0);
        const double wHigh1 = smoothStep ((fc - 2400.0) / 9600.0);
        const double wHigh2 = smoothStep ((fc - 6000.0) / 9000.0) * r * r;

        const double A = wLow * r;
        const double B = wLow * r * r;
        const double R = 0.13 * smoothStep ((r - 0.58) / 0.32) * wLow;
        const double omega = R > 0.0 ? 2.0 * pi * fc / fs : 0.0;
        const double K = r * (3.62 + 0.12 * wLow * r) * (1.0 - 0.04 * wHigh1 * r);
        const double Q = 1.0 + 1.1 * r + 0.45 * (d - 1.0) / 9.0 + 1.1 * wHigh1 * r + 1.3 * wHigh2;
        const double h = std::clamp (1.2 * r + 0.25 * wHigh2, 0.0, 1.0);
        const double gain = makeupDb > -100.0 ? std::pow (10.0, 0.05 * makeupDb) : 0.0;

        for (size_t n = 0; n < numSamples; ++n)
        {
            const double x = samples[n];
            const double G = stageGains[n];
            double Kn = K;

            if (stabilityCap)
            {
                // The loop's pole pair reaches the unit circle at K = 4 / (1 + G)^2; keep a decay
                // of 200 dB/s (at most 0.03 G nepers a sample) through dK/dalpha.
                const double alpha = std::min (200.0 * std::log (10.0) / 20.0 / (fs * G), 0.03);
                const double edge = 4.0 / ((1.0 + G) * (1.0 + G));
                const double perNeper = 4.0 * ((1.0 + G) * (1.0 + G) * (1.0 + G) + 1.0 - G) / std::pow (1.0 + G, 4.0);
                Kn = std::min (K, edge - alpha * perNeper);
            }

            const double i = std::tanh (d * x);
            const double u = i - Kn * std::tanh (Q * lastOutput) / Q;
            const double v = u + h * (std::tanh (u) - u);

            double y[4];
            double in = v;

            for (int stage = 0; stage < 4; ++stage)
            {
                y[stage] = (in - s[stage]) * G + s[stage];
                s[stage] = 2.0 * y[stage] - s[stage];
                in = y[stage];
            }

            lastOutput = y[3];
            const double y1 = y[0], y2 = y[1], y3 = y[2], y4 = y[3];

            double out = 0.0;

            if (mode == 0)       out = slope == 0 ? y1 : slope == 1 ? y3 : y4;
            else if (mode == 1)  out = slope == 0 ? v - y1
                                     : slope == 1 ? v - 3.0 * y1 + 3.0 * y2 - y3
                                                  : v - 4.0 * y1 + 6.0 * y2 - 4.0 * y3 + y4;
            else                 out = slope == 0 ? y1 - y2
                                     : slope == 1 ? y2 - y4
                                                  : y1 - 3.0 * y2 + 3.0 * y3 - y4;

            if (A > 0.0)
            {
                if (mode == 0)
                {
                    out = (out + 0.62 * A * ((y1 - y4) + 0.5 * (y2 - y4))) * (1.0 + 0.48 * A);

                    if (slope == 2 && B > 0.0)
                        out = (out + 0.55 * B * (0.7 * (y1 - y4) + 0.45 * (y2 - y4))) * (1.0 + 0.58 * B);

                    if (R > 0.0)
                    {
                        envelope = std::max (0.9994 * envelope, std::abs (x));
                        const double e = std::clamp (8.0 * envelope, 0.0, 1.0);
                        const double p = phase;
                        const double sine = std::sin (p);
                        const double triangle = std::asin (sine) * 0.6366197723675814;
                        const double ring = std::tanh (1.35 * (0.22 * triangle + 0.78 * sine));
                        phase = p + omega;
                        out = out + ring * R * e;

                        if (phase >= 2.0 * pi)
                            phase -= 2.0 * pi;
                    }
                }
                else if (mode == 2)
                {
                    out = out * (1.0 + 0.65 * A);
                }
            }

            samples[n] = (float) (gain * out);
        }
    }

    /** Runs a whole signal in blocks of the given length. */
    std::vector<float> run (std::vector<float> signal, double fs, size_t blockSize)
    {
        for (size_t start = 0; start < signal.size(); start += blockSize)
            process (signal.data() + start, std::min (blockSize, signal.size() - start), fs);

        return signal;
    }

private:
    static double smoothStep (double t)
    {
        const double c = std::clamp (t, 0.0, 1.0);
        return c * c * (3.0 - 2.0 * c);
    }

    double smoothed;
    double s[4] {};
    double lastOutput = 0.0, phase = 0.0, envelope = 0.0;
};

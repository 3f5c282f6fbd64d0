#pragma once

#include "processor/LadderEngine.h"

#include <complex>

/** The filter's small-signal frequency response, derived once from the engine's own equations:
    what the processor passes for a sine small enough that every saturator works on its slope
    at zero. The response graph draws it, and the engine's tests hold the engine to it.

    Linearised, the engine is a linear system at its processing rate fs (the host rate, or twice
    it on the 2x path), whose transfer function at z = e^(j 2 pi f / fs) is:

    - each trapezoidal stage, y = (in - s) G + s and then s becomes 2 y - s:
          H(z) = G (z + 1) / (z - 1 + 2 G);
    - the loop, u = tanh (d x) - K tanh (Q y4[n - 1]) / Q, with the summing node
      v = u + h (tanh u - u): at small signal tanh (Q y) / Q = y and v = u, so
          v = x / (1 + K z^-1 H^4),   yk = H^k v   (drive 1: the drawing leaves the drive out);
    - the tap mix of v and y1 ... y4 and the low-cutoff shaping, exactly as the engine forms them
      (LadderShaping::tapMix, shapeLowPass, shapeBandPass), and the makeup gain;

    with G, K and the shaping amounts computed by the engine's own functions from the settings
    as the processor clamps them: G for the settled cutoff, K capped by the stability limit.

    On the 2x path the processor runs the engine between JUCE's polyphase half-band IIR up- and
    down-sampler. Up-sampling, filtering at 2 fs and taking every second sample is again a linear
    time-invariant system at the host rate, whose response at w = e^(j pi f / host rate) is
          (U(w) E(w) D(w) + U(-w) E(-w) D(-w)) / 2,
    with E the engine's response at 2 fs and U, D the up- and down-sampler's half-band filters
    (the second term is what folds back from the image band; it matters only near half the rate).

    Not part of the response: the ring tone (a generated tone, not a filtered one; see
    ringSounds) and anything the saturators do at larger levels. */
class LadderResponse final
{
public:
    using Complex = std::complex<double>;

    /** The processor's response for raw parameter values (clamped as the processor clamps them)
        at the host rate, on the normal path or on the 2x path. The host rate is taken as the
        engine's prepare takes it. */
    LadderResponse (float cutoffHz, float resonanceAmount, float makeupGainDb, int modeIndex, int slopeIndex,
                    double hostRate, bool oversampled);

    /** The engine alone with these settings fields, filtering at the given processing rate. */
    LadderResponse (const LadderEngine::Settings& settings, double processingRate);

    //==============================================================================
    /** The complex gain at a frequency in Hz, makeup gain included: what comes out for a small
        sine in. Nothing passes at or above half the host rate. */
    Complex at (double frequencyHz) const noexcept;

    /** The engine's own response at a frequency of its processing rate. */
    Complex engineAt (double frequencyHz) const noexcept;

    /** The engine's response at a point z = e^(j w) on the unit circle of its processing rate. */
    Complex engineAtPoint (Complex z) const noexcept;

    //==============================================================================
    double hostRate() const noexcept                { return host; }
    double processingRate() const noexcept          { return rate; }
    bool isOversampled() const noexcept             { return oversampled; }

    /** The cutoff the engine filters at once its smoother has settled. */
    double cutoff() const noexcept                  { return terms.targetCutoff; }
    double stageGain() const noexcept               { return stage; }

    /** The loop's feedback gain as the engine uses it: the specified K, stability limit included. */
    double feedbackGain() const noexcept            { return feedback; }
    double outputGain() const noexcept              { return terms.outputGain; }
    int mode() const noexcept                       { return filterMode; }
    int slope() const noexcept                      { return filterSlope; }

    /** Whether the engine adds its ring tone for these settings (low-pass at a low cutoff with a
        high resonance), and its weight from 0 to 1: the tone is generated, not a response. */
    bool ringSounds() const noexcept;
    double ringWeight() const noexcept              { return ring; }

    /** The half-band filters of the 2x path as JUCE's oversampler runs them: at the host rate,
        a direct and a delayed cascade of first-order allpasses (a + z^-1) / (1 + a z^-1), the
        delayed one's output taking the odd samples. */
    struct HalfBandFilter
    {
        static constexpr int maxSections = 16;
        double direct[maxSections] {}, delayed[maxSections] {};
        int numDirect = 0, numDelayed = 0;
    };

    static const HalfBandFilter& upsamplingFilter();
    static const HalfBandFilter& downsamplingFilter();

private:
    void setUp (const LadderEngine::Settings& settings);

    double host = 48000.0, rate = 48000.0;
    bool oversampled = false;
    LadderEngine::BlockTerms terms {};
    double stage = 0.0, feedback = 0.0, ring = 0.0;
    int filterMode = 0, filterSlope = 2;
};

#include "editor/FilterGraph.h"
#include "processor/LadderShaping.h"
#include "tests/ImpulseResponse.h"
#include "tests/RenderTools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <iostream>

using RenderTools::over;
using RenderTools::pixelIs;

namespace
{
    using Complex = std::complex<double>;

    const juce::Colour background { 0xff040910 };
    const juce::Colour gridColour { 0x1200d2ff };
    const juce::Colour zeroDbColour { 0x2800d2ff };
    const juce::Colour coreColour { 0xffe6faff };

    enum { lowPass, highPass, bandPass };
    enum { slope6, slope18, slope24 };

    constexpr double pi = juce::MathConstants<double>::pi;

    /** The graph's model at 48 kHz without oversampling unless told otherwise. */
    FilterGraph::Response response (float cutoff, float resonance, int mode, int slope, float makeup = 0.0f,
                                    double rate = 48000.0, bool oversampled = false)
    {
        return { cutoff, resonance, makeup, mode, slope, rate, oversampled };
    }

    /** The linear ladder at small signal, stated apart from the engine: four trapezoidal
        one-poles of stage gain tan (pi fc / fs) / (1 + tan (pi fc / fs)) whose input is reduced by
        k times the fourth stage's output of the previous sample, taps mixed by mode. */
    Complex plainLadder (double frequency, double cutoff, double k, int mode, int slope, double rate = 48000.0)
    {
        const auto g = std::tan (pi * cutoff / rate);
        const auto zInverse = std::polar (1.0, -2.0 * pi * frequency / rate);
        const auto h = g * (1.0 + zInverse) / ((1.0 + g) - (1.0 - g) * zInverse);
        const auto v = 1.0 / (1.0 + k * zInverse * std::pow (h, 4));
        const Complex y[5] = { v, h * v, h * h * v, h * h * h * v, h * h * h * h * v };

        const Complex taps[3][3] = {
            { y[1], y[3], y[4] },
            { y[0] - y[1], y[0] - 3.0 * y[1] + 3.0 * y[2] - y[3], y[0] - 4.0 * y[1] + 6.0 * y[2] - 4.0 * y[3] + y[4] },
            { y[1] - y[2], y[2] - y[4], y[1] - 3.0 * y[2] + 3.0 * y[3] - y[4] },
        };
        return taps[mode][slope];
    }

    /** The analog frequency ratio at which a prewarped one-pole of the cutoff sees f. */
    double warpedRatio (double frequency, double cutoff, double rate)
    {
        return std::tan (pi * frequency / rate) / std::tan (pi * cutoff / rate);
    }

    double smoothStep (double t)   { const auto c = std::clamp (t, 0.0, 1.0); return c * c * (3.0 - 2.0 * c); }

    const double probeFrequencies[] = { 20.0, 55.0, 140.0, 700.0, 2500.0, 9000.0, 20000.0 };

    std::unique_ptr<FilterGraph> graphWith (float cutoff, float resonance, int mode, int slope, float makeup = 0.0f,
                                            double rate = 48000.0, bool oversampled = false)
    {
        auto graph = std::make_unique<FilterGraph>();
        graph->cutoffHz = cutoff;
        graph->resonanceAmount = resonance;
        graph->makeupGainDb = makeup;
        graph->modeIndex = mode;
        graph->slopeIndex = slope;
        graph->sampleRateHz = rate;
        graph->oversampled = oversampled;
        return graph;
    }

    juce::Image renderGraph (FilterGraph& graph, int width, int height)
    {
        graph.setSize (width, height);
        return RenderTools::renderComponent (graph);
    }

    /** The points of a curve path in drawing order. */
    std::vector<juce::Point<float>> pointsOf (const juce::Path& curve)
    {
        juce::Path::Iterator it (curve);
        std::vector<juce::Point<float>> points;

        while (it.next())
            points.push_back ({ it.x1, it.y1 });

        return points;
    }

    /** The level a point of the curve stands for, on a panel of height h. */
    double levelAtHeight (double y, double h)   { return 12.0 - 36.0 * y / h; }

    double visible (double levelDb)            { return std::clamp (levelDb, -24.0, 12.0); }
}

//==============================================================================
TEST (FilterGraphResponse, SlopesFollowTheStageCountAwayFromTheCutoff)
{
    struct SlopeCase { int mode, slope; double cutoff, octaveLow, expectedDbPerOctave; };

    const SlopeCase cases[] = {
        { lowPass,  slope6,  500.0, 2000.0,  6.0 },
        { lowPass,  slope18, 500.0, 2000.0, 18.0 },
        { lowPass,  slope24, 500.0, 2000.0, 24.0 },
        { highPass, slope6,  4000.0,  500.0, -6.0 },
        { highPass, slope24, 4000.0,  500.0, -24.0 },
    };

    for (const auto& c : cases)
    {
        const auto model = response ((float) c.cutoff, 0.0f, c.mode, c.slope);
        const auto fall = model.levelDbAt (c.octaveLow) - model.levelDbAt (2.0 * c.octaveLow);
        EXPECT_NEAR (fall, c.expectedDbPerOctave, 0.06 * std::abs (c.expectedDbPerOctave)) << "mode " << c.mode << " slope " << c.slope;
    }

    const auto lowPass24 = response (1000.0f, 0.0f, lowPass, slope24);
    EXPECT_NEAR (lowPass24.levelDbAt (20.0), 0.0, 0.01);
    EXPECT_NEAR (lowPass24.levelDbAt (1000.0), 20.0 * std::log10 (0.25), 1.0e-9); // four poles at -3 dB each
}

TEST (FilterGraphResponse, HighPassSixApproachesZeroDecibelsFarAboveTheCutoff)
{
    const auto model = response (100.0f, 0.0f, highPass, slope6);
    EXPECT_NEAR (model.levelDbAt (20000.0), 0.0, 0.001);
    EXPECT_LT (model.levelDbAt (20000.0), 0.0);
    EXPECT_LT (model.levelDbAt (1000.0), model.levelDbAt (20000.0));
}

TEST (FilterGraphResponse, MakeupGainIsAPlainOffset)
{
    const float makeup = 3.7f;

    for (int mode = 0; mode < 3; ++mode)
        for (int slope = 0; slope < 3; ++slope)
            for (const auto cutoff : { 30.0f, 1000.0f, 15000.0f })
            {
                const auto without = response (cutoff, 0.4f, mode, slope);
                const auto with = response (cutoff, 0.4f, mode, slope, makeup);

                for (const auto f : probeFrequencies)
                {
                    if (without.levelDbAt (f) > -70.0)
                    {
                        EXPECT_NEAR (with.levelDbAt (f) - without.levelDbAt (f), (double) makeup, 1.0e-9);
                    }
                }
            }
}

TEST (FilterGraphResponse, MidRangeCutoffsAndHighPassAreThePlainLadderWithItsOneSampleDelay)
{
    // No low-cutoff shaping above 110 Hz, no high-cutoff weight below 2400 Hz, and high-pass
    // never gets the low-cutoff shaping: there the drawing is the linear ladder with feedback
    // 3.62 r (slightly more at very low cutoffs), its loop fed from the previous sample.
    struct RegionCase { float cutoff; std::vector<int> modes; };

    const RegionCase cases[] = {
        { 110.0f,  { lowPass, highPass, bandPass } },
        { 700.0f,  { lowPass, highPass, bandPass } },
        { 2400.0f, { lowPass, highPass, bandPass } },
        { 20.0f,   { highPass } },
    };

    for (const auto rate : { 44100.0, 48000.0, 96000.0 })
        for (const auto& c : cases)
            for (const auto mode : c.modes)
                for (int slope = 0; slope < 3; ++slope)
                    for (const auto resonance : { 0.3f, 0.75f })
                    {
                        const auto r = (double) resonance;
                        const auto k = r * (3.62 + 0.12 * smoothStep ((110.0 - c.cutoff) / 90.0) * r);
                        const auto model = response (c.cutoff, resonance, mode, slope, 0.0f, rate);

                        for (const auto f : probeFrequencies)
                        {
                            const auto expected = plainLadder (f, c.cutoff, k, mode, slope, rate);
                            EXPECT_LT (std::abs (model.at (f) - expected), 1.0e-9 * std::max (1.0, std::abs (expected)))
                                << rate << " Hz, cutoff " << c.cutoff << " mode " << mode << " slope " << slope << " r " << r << " f " << f;
                        }
                    }
}

TEST (FilterGraphResponse, HighCutoffsDrawTheLoopGainTheEngineUsesAndNoTilt)
{
    // At 15 kHz both high-cutoff weights are 1: K = 3.62 r (1 - 0.04 r), but at 48 kHz the stage
    // gain G is about 0.6 and the engine's loop takes at most a little less than 4 / (1 + G)^2,
    // about 1.56. That capped K, and no drawing-only gain on top, is what the graph draws.
    const float cutoff = 15000.0f;
    const double rate = 48000.0;
    const double r = 0.5;
    const auto g = std::tan (pi * cutoff / rate);
    const auto stageGain = g / (1.0 + g);
    const auto edge = 4.0 / ((1.0 + stageGain) * (1.0 + stageGain));
    const auto specified = r * 3.62 * (1.0 - 0.04 * r);

    const auto model = response (cutoff, (float) r, lowPass, slope24, 0.0f, rate);
    const auto k = model.filter().feedbackGain();
    EXPECT_LT (k, edge);
    EXPECT_GT (k, edge - 0.01);
    EXPECT_LT (k, specified - 0.2);

    for (int mode = 0; mode < 3; ++mode)
        for (int slope = 0; slope < 3; ++slope)
        {
            const auto resonant = response (cutoff, (float) r, mode, slope, 0.0f, rate);
            const auto plain = response (cutoff, 0.0f, mode, slope, 0.0f, rate);

            for (const auto f : probeFrequencies)
            {
                if (f >= 0.5 * rate)
                    continue;

                const auto expected = plainLadder (f, cutoff, k, mode, slope, rate);
                EXPECT_LT (std::abs (resonant.at (f) - expected), 1.0e-9 * std::max (1.0, std::abs (expected)))
                    << "mode " << mode << " slope " << slope << " at " << f;
                EXPECT_LT (std::abs (plain.at (f) - plainLadder (f, cutoff, 0.0, mode, slope, rate)), 1.0e-12) << "resonance 0: the plain ladder";
            }
        }
}

TEST (FilterGraphResponse, LowCutoffBumpSitsOnTheCutoffOfRingingLowPassOnly)
{
    // The ring tone is generated, not filtered: the drawing keeps a bump of its own for it, on
    // top of the filter's response.
    const double cutoff = 40.0;
    const auto lowWeight = smoothStep ((110.0 - cutoff) / 90.0);

    for (const auto resonanceParameter : { 0.58f, 0.75f })
    {
        const auto resonance = (double) resonanceParameter;
        const auto ring = smoothStep ((resonance - 0.58) / 0.32) * lowWeight;

        for (const auto oversampled : { false, true })
        {
            const auto model = response ((float) cutoff, (float) resonance, lowPass, slope6, 0.0f, 48000.0, oversampled);
            EXPECT_EQ (model.filter().ringSounds(), ring > 0.0);

            for (const auto octaves : { -1.0, -0.25, 0.0, 0.25, 1.0 })
            {
                const auto f = cutoff * std::pow (2.0, octaves);
                const auto bump = model.at (f) - model.filter().at (f);

                EXPECT_NEAR (bump.real(), 0.15 * ring * std::exp (-18.0 * octaves * octaves), 1.0e-9) << resonance << " at " << octaves;
                EXPECT_NEAR (bump.imag(), 0.0, 1.0e-12);
            }
        }

        for (const auto mode : { highPass, bandPass })
        {
            const auto model = response ((float) cutoff, (float) resonance, mode, slope6);
            EXPECT_FALSE (model.filter().ringSounds());
            EXPECT_EQ (model.at (cutoff), model.filter().at (cutoff));
        }
    }

    // Band-pass at a low cutoff is only lifted by 1 + 0.65 A.
    const auto r = 0.5;
    const auto band = response ((float) cutoff, (float) r, bandPass, slope18);
    const auto plain = plainLadder (cutoff, cutoff, r * (3.62 + 0.12 * lowWeight * r), bandPass, slope18);
    EXPECT_NEAR (std::abs (band.at (cutoff)) / std::abs (plain), 1.0 + 0.65 * lowWeight * r, 1.0e-9);
}

TEST (FilterGraphResponse, MatchesHandWorkedValuesOfTheEnginesLinearResponse)
{
    // Worked out apart from the code (to 1e-6: the display values are 32-bit) from the engine's
    // equations at small signal: trapezoidal stages, the loop from the previous sample with K
    // capped at 4 / (1 + G)^2 less the 200 dB/s margin, the tap mixes, the low-cutoff shaping
    // with and without the four-pole term, the band-pass lift and the ring's bump. Among them the
    // capped loop (8 kHz at 48 kHz), a resonant peak off its cutoff (5 kHz), a low-cutoff
    // high-pass far below its cutoff, and 44.1 and 96 kHz. Any changed factor moves these.
    struct WorkedCase { float cutoff, resonance; int mode, slope; double frequency, rate, real, imaginary; };

    const WorkedCase cases[] = {
        { 40.0f,    0.5f,  lowPass,  slope6,  40.0,    48000.0, 1.64114623768,    -1.57973819332 },
        { 40.0f,    0.5f,  lowPass,  slope24, 40.0,    48000.0, 0.123905467152,   -0.656318513559 },
        { 40.0f,    0.5f,  lowPass,  slope24, 80.0,    48000.0, 0.0422181921317,  -0.206858556421 },
        { 40.0f,    0.5f,  bandPass, slope24, 40.0,    48000.0, 0.00263652902113,  0.593378745347 },
        { 30.0f,    0.7f,  lowPass,  slope24, 30.0,    48000.0, 1.1904393717,     -2.05566078982 },
        { 8000.0f,  0.6f,  lowPass,  slope24, 4000.0,  48000.0, 0.588366921343,   -0.141808762369 },
        { 8000.0f,  0.6f,  highPass, slope6,  16000.0, 48000.0, 0.882179121725,    0.309061729356 },
        { 5000.0f,  0.75f, lowPass,  slope24, 5000.0,  48000.0, -0.313679150644,   0.243913179821 },
        { 12000.0f, 0.4f,  bandPass, slope18, 9000.0,  96000.0, 1.40229448799,    -0.898643412865 },
        { 60.0f,    0.75f, highPass, slope24, 20.0,    44100.0, 0.00348036984835, -0.00132177901149 },
    };

    for (const auto& c : cases)
    {
        const auto value = response (c.cutoff, c.resonance, c.mode, c.slope, 0.0f, c.rate).at (c.frequency);
        EXPECT_NEAR (value.real(), c.real, 1.0e-6) << c.cutoff << " Hz, mode " << c.mode << ", slope " << c.slope << " at " << c.frequency;
        EXPECT_NEAR (value.imag(), c.imaginary, 1.0e-6) << c.cutoff << " Hz, mode " << c.mode << ", slope " << c.slope << " at " << c.frequency;
    }
}

TEST (FilterGraphResponse, FiniteOverTheWholeParameterRange)
{
    for (const auto rate : { 32000.0, 44100.0, 48000.0, 96000.0, 192000.0 })
        for (const auto oversampled : { false, true })
            for (int mode = 0; mode < 3; ++mode)
                for (int slope = 0; slope < 3; ++slope)
                    for (int c = 0; c <= 40; ++c)
                        for (int r = 0; r <= 15; ++r)
                        {
                            const auto cutoff = (float) (20.0 * std::pow (1000.0, c / 40.0));
                            const auto model = response (cutoff, 0.05f * (float) r, mode, slope, 6.0f, rate, oversampled);

                            for (int i = 0; i <= 100; ++i)
                            {
                                const auto level = model.levelDbAt (20.0 * std::pow (1000.0, i / 100.0));
                                ASSERT_TRUE (std::isfinite (level) && level >= -80.0)
                                    << rate << " " << oversampled << " " << cutoff << " " << r << " " << mode << " " << slope;
                            }
                        }
}

TEST (FilterGraphResponse, OutOfRangeDisplayValuesStillGiveACurveInsideThePanel)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    struct Odd { float cutoff, resonance, makeup; int mode, slope; double rate; bool oversampled; };
    const Odd cases[] = {
        { nan, nan, nan, 0, 2, 48000.0, true }, { 0.0f, 5.0f, 200.0f, 1, 0, 0.0, false }, { -inf, -1.0f, -inf, 7, -3, -1.0, true },
        { inf, 1.5f, inf, 2, 1, (double) inf, false }, { 5000.0f, 0.75f, 6.0f, 0, 2, (double) nan, true }, { 100.0f, 0.99f, 0.0f, 1, 2, 1.0, true },
    };

    for (const auto& c : cases)
    {
        auto graph = graphWith (c.cutoff, c.resonance, c.mode, c.slope, c.makeup, c.rate, c.oversampled);
        const auto bounds = graph->createResponsePath (315, 190).getBounds();
        EXPECT_TRUE (bounds.getY() >= 0.0f && bounds.getBottom() <= 190.0f) << bounds.toString();
    }
}

//==============================================================================
TEST (FilterGraphCurve, SamplesEveryFourPixelsAndClampsToThePanel)
{
    // High-pass at 20 kHz: far below -24 dB at the left, about -12 dB at the right edge.
    auto graph = graphWith (20000.0f, 0.0f, highPass, slope24);
    const auto points = pointsOf (graph->createResponsePath (317, 190));

    ASSERT_EQ (points.size(), 80u); // x = 0, 4, ..., 316
    EXPECT_EQ (points.front(), juce::Point<float> (0.0f, 190.0f));
    EXPECT_EQ (points.back().x, 316.0f);
    const auto ratio = warpedRatio (20.0 * std::pow (1000.0, 316.0 / 317.0), 20000.0, 48000.0);
    const auto lastLevel = 40.0 * std::log10 (ratio * ratio / (1.0 + ratio * ratio)); // four high-pass poles
    EXPECT_NEAR (points.back().y, (12.0 - lastLevel) / 36.0 * 190.0, 0.01);

    // Low-pass 24 dB at 5 kHz with resonance 0.75 peaks at about +24 dB at 48 kHz: the top edge.
    auto loud = graphWith (5000.0f, 0.75f, lowPass, slope24);
    EXPECT_EQ (loud->createResponsePath (315, 190).getBounds().getY(), 0.0f);
}

TEST (FilterGraphCurve, NarrowPanelDrawsTheGridButNoCurve)
{
    auto lowPassGraph = graphWith (1000.0f, 0.7f, lowPass, slope24);
    auto highPassGraph = graphWith (300.0f, 0.0f, highPass, slope6);

    for (const auto width : { 0, 1, 3 })
    {
        EXPECT_TRUE (lowPassGraph->createResponsePath (width, 190).isEmpty());

        const auto a = renderGraph (*lowPassGraph, width, 190);
        const auto b = renderGraph (*highPassGraph, width, 190);
        EXPECT_TRUE (RenderTools::imagesEqual (a, b)) << "width " << width;
    }

    const auto narrow = renderGraph (*lowPassGraph, 3, 190);
    EXPECT_GT (narrow.getPixelAt (1, 40).getGreen(), over (background, gridColour).getGreen()); // three lines share the column
    EXPECT_FALSE (graphWith (1000.0f, 0.0f, lowPass, slope24)->createResponsePath (4, 190).isEmpty());
}

TEST (FilterGraphCurve, NegativeWidthGivesNoSamples)
{
    EXPECT_EQ (graphWith (1000.0f, 0.0f, lowPass, slope24)->createResponsePath (-8, 190).getBounds(), juce::Rectangle<float>());
}

//==============================================================================
TEST (FilterGraphPainting, GridLinesLieAtTheirFrequenciesAndLevels)
{
    struct GridCase { int width, height; std::vector<int> columns; std::vector<int> rows; };

    const GridCase cases[] = {
        { 315, 190, { 41, 73, 105, 146, 178, 210, 251, 283 }, { 0, 31, 63, 95, 126 } },
        { 472, 285, { 62, 109, 157, 219, 267, 314, 377, 424 }, { 0, 47, 95, 142, 190 } },
    };

    // A curve along the bottom edge (high-pass at 20 kHz) keeps the upper area clean.
    auto graph = graphWith (20000.0f, 0.0f, highPass, slope24);

    for (const auto& c : cases)
    {
        const auto image = renderGraph (*graph, c.width, c.height);
        const auto zeroDbRow = c.rows[2];
        const auto probeRow = (c.rows[1] + zeroDbRow - 10) / 2; // between the 6 dB line and the 0dB label

        for (int x = 0; x < c.width; ++x)
        {
            const bool onLine = std::find (c.columns.begin(), c.columns.end(), x) != c.columns.end();
            EXPECT_TRUE (pixelIs (image, x, probeRow, onLine ? over (background, gridColour) : background)) << "column " << x;
        }

        for (int y = 0; y < c.rows[4] + 20; ++y)
        {
            const bool onLine = std::find (c.rows.begin(), c.rows.end(), y) != c.rows.end();
            const auto expected = ! onLine ? background : over (background, y == zeroDbRow ? zeroDbColour : gridColour);
            EXPECT_TRUE (pixelIs (image, c.width - 20, y, expected)) << "row " << y;
        }
    }
}

TEST (FilterGraphPainting, CurveCoreAndAreaFillAreDrawnWhereTheResponseLies)
{
    auto graph = graphWith (20000.0f, 0.0f, lowPass, slope24);
    const auto image = renderGraph (*graph, 315, 190);

    // Flat at 0 dB until near 20 kHz: the core stroke covers the 0 dB row.
    const auto core = image.getPixelAt (150, 63);
    EXPECT_GT (core.getRed(), 150);
    EXPECT_GT (core.getBlue(), 200);

    // Below the curve the gradient area is lighter than the bare background.
    const auto area = image.getPixelAt (150, 110);
    EXPECT_GT (area.getGreen(), background.getGreen() + 5);
    EXPECT_TRUE (pixelIs (image, 150, 40, background));
}

TEST (FilterGraphPainting, AHighCutoffPeakIsDrawnAtItsRealHeight)
{
    // Low-pass 24 dB at 12 kHz with resonance 0.4 at 48 kHz: the processor peaks near +9.8 dB
    // around 7.8 kHz, where the analog model with its tilt drew no more than -2.8 dB.
    using namespace ImpulseResponse;

    const Setting setting { 48000.0, false, 12000.0f, 0.4f, 0.0f, lowPass, slope24 };
    const auto processor = settledProcessor (setting);
    constexpr int order = 16;
    const auto spectrum = magnitudeSpectrum (ofProcessor (setting, 1 << order), order);
    const auto binHz = setting.hostRate / (double) (1 << order);

    double peakDb = -1000.0, peakHz = 0.0;

    for (auto k = (size_t) (20.0 / binHz); (double) k * binHz <= 20000.0; ++k)
        if (levelDb (spectrum[k]) > peakDb)
        {
            peakDb = levelDb (spectrum[k]);
            peakHz = (double) k * binHz;
        }

    ASSERT_GT (peakDb, 8.0);
    ASSERT_LT (peakDb, 11.0); // inside the panel, below its top edge

    constexpr int width = 472, height = 285;
    auto graph = graphWith (ProcessorTestTools::raw (*processor, "cutoff"), ProcessorTestTools::raw (*processor, "resonance"),
                            lowPass, slope24, 0.0f, setting.hostRate, false);
    const auto image = renderGraph (*graph, width, height);

    // The curve's core stroke, 1.2 wide, is the only red in the picture (grid, labels, fill and
    // glows are cyan). Its highest pixels are the peak's: the stroke's upper edge lies as far
    // into the first inked pixel of a column as that pixel is not covered, the curve 0.6 below.
    const auto inkOf = [] (juce::Colour c)
    {
        return std::clamp (((double) c.getRed() - background.getRed()) / (coreColour.getRed() - background.getRed()), 0.0, 1.0);
    };

    double topY = (double) height, topX = -1.0;

    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
        {
            const auto ink = inkOf (image.getPixelAt (x, y));

            if (ink > 0.05)
            {
                const auto curveY = y + (1.0 - ink) + 0.6;

                if (curveY < topY)
                {
                    topY = curveY;
                    topX = x + 0.5;
                }

                break;
            }
        }

    const auto drawnPeakDb = levelAtHeight (topY, height);
    const auto peakX = std::log10 (peakHz / 20.0) / std::log10 (1000.0) * width;
    std::cout << "peak passed " << peakDb << " dB at " << peakHz << " Hz, drawn " << drawnPeakDb << " dB at x " << topX
              << " (" << peakX << ")" << std::endl;

    EXPECT_NEAR (drawnPeakDb, peakDb, 0.3);
    EXPECT_NEAR (topX, peakX, 4.0);
}

TEST (FilterGraphPainting, TheRateAndTheOversamplingEnterTheDrawing)
{
    // Near the top of the range the stages, the capped loop and the half-band filters differ
    // with the rate and the path: the same five values draw four different curves.
    std::vector<juce::Path> curves;

    for (const auto rate : { 44100.0, 96000.0 })
        for (const auto oversampled : { false, true })
            curves.push_back (graphWith (12000.0f, 0.5f, lowPass, slope24, 0.0f, rate, oversampled)->createResponsePath (472, 285));

    for (size_t a = 0; a < curves.size(); ++a)
        for (size_t b = a + 1; b < curves.size(); ++b)
            EXPECT_FALSE (curves[a] == curves[b]) << a << " " << b;
}

//==============================================================================
// What the graph draws against what the processor passes, both sides computed here: the
// processor measured from outside (an impulse of 1e-4 through processBlock, drive 1, the
// smoother settled; its spectrum by FFT at every bin, and summed directly at the drawn points),
// and the graph's model for the same parameter values, rate and path. Within the visible range
// (levels clamped to -24 ... +12 dB), from 20 Hz up to 0.42 of the rate (at most 20 kHz), the
// drawing must lie within 1 dB. Settings where the ring tone sounds are left out: the tone is
// generated, the graph draws a bump for it.
namespace
{
    struct PathCase { double rate; bool oversampled; };

    std::string describePath (const ::testing::TestParamInfo<PathCase>& info)
    {
        return juce::String::formatted ("%.0fHz_%s", info.param.rate, info.param.oversampled ? "2x" : "off").toStdString();
    }

    /** The response from its first sample to its last above 1e-10 (-200 dB of the impulse). */
    size_t audibleLength (const std::vector<float>& response)
    {
        auto end = response.size();

        while (end > 0 && std::abs (response[end - 1]) < 1.0e-10f)
            --end;

        return end;
    }

    constexpr double toleranceDb = 1.0;
}

class FilterGraphAgainstTheProcessor : public ::testing::TestWithParam<PathCase> {};

TEST_P (FilterGraphAgainstTheProcessor, DrawsWithinOneDecibelOfWhatThePluginPasses)
{
    using namespace ImpulseResponse;

    const auto [rate, oversampled] = GetParam();
    const float cutoffs[] = { 20.0f, 30.0f, 45.0f, 60.0f, 80.0f, 110.0f, 160.0f, 250.0f, 400.0f, 700.0f, 1000.0f, 1600.0f, 2400.0f,
                              3500.0f, 5000.0f, 7000.0f, 9000.0f, 12000.0f, 15000.0f, 18000.0f, 20000.0f };
    const float resonances[] = { 0.0f, 0.25f, 0.5f, 0.65f, 0.75f };

    // 1.4 s of response: the slowest resonance here (20 Hz, 0.75) has died to below -120 dB.
    const int longest = rate > 60000.0 ? 1 << 17 : 1 << 16;
    const double top = std::min (20000.0, 0.42 * rate);
    constexpr int panelWidth = 472, panelHeight = 285; // the largest window's graph

    double worstDifference = 0.0;
    std::string worstWhere;
    int compared = 0, leftOut = 0, failures = 0;

    for (int mode = 0; mode < 3; ++mode)
        for (int slope = 0; slope < 3; ++slope)
            for (const auto cutoff : cutoffs)
                for (const auto resonance : resonances)
                {
                    const Setting setting { rate, oversampled, cutoff, resonance, 0.0f, mode, slope };
                    const auto processor = settledProcessor (setting);

                    // The graph gets the values the parameters hold, as the editor reads them.
                    auto graph = graphWith (ProcessorTestTools::raw (*processor, "cutoff"), ProcessorTestTools::raw (*processor, "resonance"),
                                            mode, slope, ProcessorTestTools::raw (*processor, "makeupGain"), rate, oversampled);
                    const auto model = graph->createResponse();

                    if (model.filter().ringSounds())
                    {
                        ++leftOut;
                        continue;
                    }

                    ++compared;
                    const auto full = ofProcessor (setting, longest);
                    ASSERT_LT (tailPeak (full, 4096), 1.0e-6f) << describe (setting) << ": the response has not died away";

                    // The FFT at the smallest length that holds the whole response.
                    const auto length = audibleLength (full);
                    int order = 14;
                    while (((size_t) 1 << order) < length)
                        ++order;

                    auto response = full;
                    response.resize ((size_t) 1 << order, 0.0f);
                    const auto spectrum = magnitudeSpectrum (response, order);
                    const auto binHz = rate / (double) ((size_t) 1 << order);

                    const auto check = [&] (double frequency, double drawnDb, double measuredDb, const char* what)
                    {
                        const auto difference = std::abs (visible (drawnDb) - visible (measuredDb));

                        if (difference > worstDifference)
                        {
                            worstDifference = difference;
                            worstWhere = describe (setting) + juce::String::formatted (", %s at %.1f Hz: drawn %.2f dB, passes %.2f dB",
                                                                                       what, frequency, drawnDb, measuredDb).toStdString();
                        }

                        if (difference > toleranceDb && ++failures <= 20)
                            ADD_FAILURE() << describe (setting) << ", " << what << " at " << frequency << " Hz: drawn " << drawnDb
                                          << " dB, the processor passes " << measuredDb << " dB";
                    };

                    // Every bin of the range, but none closer than 0.1 % to the last one compared.
                    double lastCompared = 0.0;

                    for (auto k = (size_t) std::ceil (20.0 / binHz); (double) k * binHz <= top; ++k)
                    {
                        const auto frequency = (double) k * binHz;

                        if (frequency < 1.001 * lastCompared)
                            continue;

                        lastCompared = frequency;
                        check (frequency, model.levelDbAt (frequency), levelDb (spectrum[k]), "bin");
                    }

                    // And where the curve's points lie, read back from the path itself.
                    response.resize (length);

                    for (const auto& point : pointsOf (graph->createResponsePath (panelWidth, panelHeight)))
                    {
                        const auto t = point.x / (float) panelWidth;
                        const auto frequency = 20.0 * std::pow (10.0, (double) t * std::log10 (1000.0));

                        if (frequency <= top)
                            check (frequency, levelAtHeight (point.y, panelHeight), levelDb (std::abs (spectrumAt (response, frequency, rate))), "point");
                    }
                }

    std::cout << compared << " settings compared, " << leftOut << " with the ring tone left out; largest difference "
              << worstDifference << " dB (" << worstWhere << ")" << std::endl;
    EXPECT_LE (worstDifference, toleranceDb);
}

INSTANTIATE_TEST_SUITE_P (RatesAndPaths, FilterGraphAgainstTheProcessor,
                          ::testing::Values (PathCase { 44100.0, false }, PathCase { 44100.0, true },
                                             PathCase { 48000.0, false }, PathCase { 48000.0, true },
                                             PathCase { 96000.0, false }, PathCase { 96000.0, true }),
                          describePath);

#include "editor/FilterGraph.h"
#include "processor/LadderShaping.h"
#include "tests/RenderTools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

using RenderTools::over;
using RenderTools::pixelIs;

namespace
{
    using Complex = std::complex<double>;

    const juce::Colour background { 0xff040910 };
    const juce::Colour gridColour { 0x1200d2ff };
    const juce::Colour zeroDbColour { 0x2800d2ff };

    enum { lowPass, highPass, bandPass };
    enum { slope6, slope18, slope24 };

    FilterGraph::Response response (float cutoff, float resonance, int mode, int slope, float makeup = 0.0f)
    {
        return { cutoff, resonance, makeup, mode, slope };
    }

    double levelDb (Complex value)   { return 20.0 * std::log10 (std::abs (value)); }

    /** The unshaped linear ladder: four one-poles with feedback gain k, taps mixed by mode. */
    Complex plainLadder (double frequency, double cutoff, double k, int mode, int slope)
    {
        const auto h = 1.0 / Complex (1.0, frequency / cutoff);
        const auto d = 1.0 + k * std::pow (h, 4);
        Complex y[5] = { 1.0, h / d, h * h / d, h * h * h / d, h * h * h * h / d };

        const Complex taps[3][3] = {
            { y[1], y[3], y[4] },
            { 1.0 - y[1], 1.0 - 3.0 * y[1] + 3.0 * y[2] - y[3], 1.0 - 4.0 * y[1] + 6.0 * y[2] - 4.0 * y[3] + y[4] },
            { y[1] - y[2], y[2] - y[4], y[1] - 3.0 * y[2] + 3.0 * y[3] - y[4] },
        };
        return taps[mode][slope];
    }

    double smoothStep (double t)   { const auto c = std::clamp (t, 0.0, 1.0); return c * c * (3.0 - 2.0 * c); }

    const double probeFrequencies[] = { 20.0, 55.0, 140.0, 700.0, 2500.0, 9000.0, 20000.0 };

    std::unique_ptr<FilterGraph> graphWith (float cutoff, float resonance, int mode, int slope, float makeup = 0.0f)
    {
        auto graph = std::make_unique<FilterGraph>();
        graph->cutoffHz = cutoff;
        graph->resonanceAmount = resonance;
        graph->makeupGainDb = makeup;
        graph->modeIndex = mode;
        graph->slopeIndex = slope;
        return graph;
    }

    juce::Image renderGraph (FilterGraph& graph, int width, int height)
    {
        graph.setSize (width, height);
        return RenderTools::renderComponent (graph);
    }
}

//==============================================================================
TEST (FilterGraphResponse, SlopesFollowTheStageCountAwayFromTheCutoff)
{
    struct SlopeCase { int mode, slope; double cutoff, octaveLow, expectedDbPerOctave; };

    const SlopeCase cases[] = {
        { lowPass,  slope6,  1000.0, 4000.0,  6.0 },
        { lowPass,  slope18, 1000.0, 4000.0, 18.0 },
        { lowPass,  slope24, 1000.0, 4000.0, 24.0 },
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

TEST (FilterGraphResponse, MidRangeCutoffsAndHighPassBelowTheTiltAreThePlainLadder)
{
    // No low-cutoff shaping above 110 Hz, no tilt below 2400 Hz, and high-pass never gets the
    // low-cutoff shaping: there the drawing is the linear ladder with feedback 3.62 r
    // (slightly more at very low cutoffs).
    struct RegionCase { float cutoff; std::vector<int> modes; };

    const RegionCase cases[] = {
        { 110.0f,  { lowPass, highPass, bandPass } },
        { 700.0f,  { lowPass, highPass, bandPass } },
        { 2400.0f, { lowPass, highPass, bandPass } },
        { 20.0f,   { highPass } },
    };

    for (const auto& c : cases)
        for (const auto mode : c.modes)
            for (int slope = 0; slope < 3; ++slope)
                for (const auto resonance : { 0.3f, 0.75f })
                {
                    const auto r = (double) resonance;
                    const auto k = r * (3.62 + 0.12 * smoothStep ((110.0 - c.cutoff) / 90.0) * r);
                    const auto model = response (c.cutoff, resonance, mode, slope);

                    for (const auto f : probeFrequencies)
                    {
                        const auto expected = plainLadder (f, c.cutoff, k, mode, slope);
                        EXPECT_LT (std::abs (model.at (f) - expected), 1.0e-9 * std::max (1.0, std::abs (expected)))
                            << "cutoff " << c.cutoff << " mode " << mode << " slope " << slope << " r " << r << " f " << f;
                    }
                }
}

TEST (FilterGraphResponse, HighCutoffsTiltEveryModeByOneGain)
{
    const float cutoff = 15000.0f; // both high-cutoff weights are 1 here
    const double r = 0.5;
    const auto expectedGainDb = 20.0 * std::log10 (1.0 + 0.1 * r + 0.04 * r * r);
    const auto k = r * 3.62 * (1.0 - 0.04 * r);

    for (int mode = 0; mode < 3; ++mode)
        for (int slope = 0; slope < 3; ++slope)
        {
            const auto model = response (cutoff, (float) r, mode, slope);

            for (const auto f : probeFrequencies)
            {
                const auto plain = plainLadder (f, cutoff, k, mode, slope);
                if (std::abs (plain) > 1.0e-3)
                {
                    EXPECT_NEAR (levelDb (model.at (f)) - levelDb (plain), expectedGainDb, 1.0e-6) << "mode " << mode << " slope " << slope;
                }
            }

            EXPECT_NEAR (std::abs (response (cutoff, 0.0f, mode, slope).at (5000.0)),
                         std::abs (plainLadder (5000.0, cutoff, 0.0, mode, slope)), 1.0e-12) << "no tilt without resonance";
        }
}

TEST (FilterGraphResponse, LowCutoffBumpSitsOnTheCutoffOfRingingLowPassOnly)
{
    const double cutoff = 40.0;
    const auto lowWeight = smoothStep ((110.0 - cutoff) / 90.0);

    for (const auto resonanceParameter : { 0.58f, 0.75f })
    {
        const auto resonance = (double) resonanceParameter;
        const auto ring = smoothStep ((resonance - 0.58) / 0.32) * lowWeight;
        const auto a = lowWeight * resonance;
        const auto k = resonance * (3.62 + 0.12 * lowWeight * resonance);
        const auto model = response ((float) cutoff, (float) resonance, lowPass, slope6);

        for (const auto octaves : { -1.0, -0.25, 0.0, 0.25, 1.0 })
        {
            const auto f = cutoff * std::pow (2.0, octaves);
            const auto h = 1.0 / Complex (1.0, f / cutoff);
            const auto d = 1.0 + k * std::pow (h, 4);
            const auto y1 = h / d, y2 = h * h / d, y4 = std::pow (h, 4) / d;
            const auto shapedWithoutBump = LadderShaping::shapeLowPass (y1, false, a, lowWeight * resonance * resonance, y1, y2, y4);
            const auto bump = model.at (f) - shapedWithoutBump;

            EXPECT_NEAR (bump.real(), 0.15 * ring * std::exp (-18.0 * octaves * octaves), 1.0e-9) << resonance << " at " << octaves;
            EXPECT_NEAR (bump.imag(), 0.0, 1.0e-12);
        }
    }

    // Band-pass at a low cutoff is only lifted by 1 + 0.65 A.
    const auto r = 0.5;
    const auto band = response ((float) cutoff, (float) r, bandPass, slope18);
    const auto plain = plainLadder (cutoff, cutoff, r * (3.62 + 0.12 * lowWeight * r), bandPass, slope18);
    EXPECT_NEAR (std::abs (band.at (cutoff)) / std::abs (plain), 1.0 + 0.65 * lowWeight * r, 1.0e-9);
}

TEST (FilterGraphResponse, MatchesHandWorkedValuesOfTheShapedModel)
{
    // Worked out by hand from the model (to 1e-6: the display values are 32-bit): low-cutoff shaping with and without the four-pole
    // term, the band-pass lift, the bump, and the tilt at a cutoff where the two high-cutoff
    // weights differ. Any changed shaping factor moves these.
    struct WorkedCase { float cutoff, resonance; int mode, slope; double frequency, real, imaginary; };

    const WorkedCase cases[] = {
        { 40.0f,   0.5f, lowPass,  slope6,  40.0,    1.64818457888,  -1.57246446489 },
        { 40.0f,   0.5f, lowPass,  slope24, 40.0,    0.126823128443, -0.655775599079 },
        { 40.0f,   0.5f, lowPass,  slope24, 80.0,    0.0422839741368, -0.207011576782 },
        { 40.0f,   0.5f, bandPass, slope24, 40.0,    0.0,             0.593397362749 },
        { 30.0f,   0.7f, lowPass,  slope24, 30.0,    1.20529671872,  -2.04742648161 },
        { 8000.0f, 0.6f, lowPass,  slope24, 4000.0,  0.343670050632, -0.302885448117 },
        { 8000.0f, 0.6f, highPass, slope6,  16000.0, 0.863391116084,  0.440707132161 },
    };

    for (const auto& c : cases)
    {
        const auto value = response (c.cutoff, c.resonance, c.mode, c.slope).at (c.frequency);
        EXPECT_NEAR (value.real(), c.real, 1.0e-6) << c.cutoff << " Hz, mode " << c.mode << ", slope " << c.slope << " at " << c.frequency;
        EXPECT_NEAR (value.imag(), c.imaginary, 1.0e-6) << c.cutoff << " Hz, mode " << c.mode << ", slope " << c.slope << " at " << c.frequency;
    }
}

TEST (FilterGraphResponse, FiniteOverTheWholeParameterRange)
{
    for (int mode = 0; mode < 3; ++mode)
        for (int slope = 0; slope < 3; ++slope)
            for (int c = 0; c <= 40; ++c)
                for (int r = 0; r <= 15; ++r)
                {
                    const auto cutoff = (float) (20.0 * std::pow (1000.0, c / 40.0));
                    const auto model = response (cutoff, 0.05f * (float) r, mode, slope, 6.0f);

                    for (int i = 0; i <= 100; ++i)
                    {
                        const auto level = model.levelDbAt (20.0 * std::pow (1000.0, i / 100.0));
                        ASSERT_TRUE (std::isfinite (level) && level >= -80.0) << cutoff << " " << r << " " << mode << " " << slope;
                    }
                }
}

TEST (FilterGraphResponse, OutOfRangeDisplayValuesStillGiveACurveInsideThePanel)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    struct Odd { float cutoff, resonance, makeup; int mode, slope; };
    const Odd cases[] = {
        { nan, nan, nan, 0, 2 }, { 0.0f, 5.0f, 200.0f, 1, 0 }, { -inf, -1.0f, -inf, 7, -3 }, { inf, 1.5f, inf, 2, 1 },
    };

    for (const auto& c : cases)
    {
        auto graph = graphWith (c.cutoff, c.resonance, c.mode, c.slope, c.makeup);
        const auto bounds = graph->createResponsePath (315, 190).getBounds();
        EXPECT_TRUE (bounds.getY() >= 0.0f && bounds.getBottom() <= 190.0f) << bounds.toString();
    }
}

//==============================================================================
TEST (FilterGraphCurve, SamplesEveryFourPixelsAndClampsToThePanel)
{
    // High-pass at 20 kHz: far below -24 dB at the left, -12 dB at the right edge.
    auto graph = graphWith (20000.0f, 0.0f, highPass, slope24);
    const auto curve = graph->createResponsePath (317, 190);

    juce::Path::Iterator it (curve);
    std::vector<juce::Point<float>> points;
    while (it.next())
        points.push_back ({ it.x1, it.y1 });

    ASSERT_EQ (points.size(), 80u); // x = 0, 4, ..., 316
    EXPECT_EQ (points.front(), juce::Point<float> (0.0f, 190.0f));
    EXPECT_EQ (points.back().x, 316.0f);
    const auto ratio = 20.0 * std::pow (1000.0, 316.0 / 317.0) / 20000.0;
    const auto lastLevel = 40.0 * std::log10 (ratio * ratio / (1.0 + ratio * ratio)); // four high-pass poles
    EXPECT_NEAR (points.back().y, (12.0 - lastLevel) / 36.0 * 190.0, 0.01);

    auto loud = graphWith (1000.0f, 0.0f, lowPass, slope24, 40.0f);
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

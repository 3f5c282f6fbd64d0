#include "processor/DecimalText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace
{
    constexpr auto largest = std::numeric_limits<double>::max();
    constexpr auto intMax = std::numeric_limits<int>::max();
    constexpr auto intMin = std::numeric_limits<int>::min();

    bool parses (const std::string& text, double& value)   { return DecimalText::parse (text.data(), text.size(), value); }
    double leading (const std::string& text)                { return DecimalText::leadingNumber (text.data(), text.size()); }
    int leadingInt (const std::string& text)                { return DecimalText::leadingInteger (text.data(), text.size()); }

    bool sameDouble (double a, double b)   { return a == b && std::signbit (a) == std::signbit (b); }

    /** A number text, what the strict reader makes of the whole text (nothing: no number), what
        the lenient readers make of its start. */
    struct Case
    {
        std::string text;
        bool isNumber;
        double number;     // when isNumber
        double leading;
        int leadingInteger;
    };

    const Case cases[] = {
        // plain numbers
        { "0",                 true,  0.0,       0.0,       0 },
        { "-0",                true,  -0.0,      -0.0,      0 },
        { "1000",              true,  1000.0,    1000.0,    1000 },
        { "+3",                true,  3.0,       3.0,       3 },
        { "-12.5",             true,  -12.5,     -12.5,     -12 },
        { ".5",                true,  0.5,       0.5,       0 },
        { "5.",                true,  5.0,       5.0,       5 },
        { "0.28000000119209290", true, 0.28000000119209290, 0.28000000119209290, 0 },
        { "12345678901234567890123", true, 12345678901234567890123.0, 12345678901234567890123.0, intMax },
        // exponents
        { "1e3",               true,  1000.0,    1000.0,    1 },
        { "1E+3",              true,  1000.0,    1000.0,    1 },
        { "2.5e-1",            true,  0.25,      0.25,      2 },
        { "1e308",             true,  1e308,     1e308,     1 },
        { "1e400",             true,  largest,   largest,   1 },          // beyond the double range: its end
        { "-1e400",            true,  -largest,  -largest,  -1 },
        { "1e9999999999",      true,  largest,   largest,   1 },          // longer than any int holds
        { "-1E99999999999999999999", true, -largest, -largest, -1 },
        { "0.001e400",         true,  largest,   largest,   0 },
        { "1e-400",            true,  0.0,       0.0,       1 },          // below it: zero
        { "-1e-9999999999",    true,  -0.0,      -0.0,      -1 },
        { "1000e-400",         true,  0.0,       0.0,       1000 },
        { "1" + std::string (400, '0') + "e-100", true, 1e300, 1e300, intMax },
        { "0e9999999999",      true,  0.0,       0.0,       0 },
        // no number at all, or more than one
        { "",                  false, 0.0,       0.0,       0 },
        { " ",                 false, 0.0,       0.0,       0 },
        { ".",                 false, 0.0,       0.0,       0 },
        { "-",                 false, 0.0,       0.0,       0 },
        { "e5",                false, 0.0,       0.0,       0 },
        { "nan",               false, 0.0,       0.0,       0 },
        { "-NaN",              false, 0.0,       0.0,       0 },
        { "inf",               false, 0.0,       0.0,       0 },
        { "-infinity",         false, 0.0,       0.0,       0 },
        { "abc",               false, 0.0,       0.0,       0 },
        { "0x10",              false, 0.0,       0.0,       0 },
        { "1,5",               false, 0.0,       1.0,       1 },          // a decimal comma is no point
        { "12abc",             false, 0.0,       12.0,      12 },
        { " 12 ",              false, 0.0,       12.0,      12 },
        { "\t\r\n-7",          false, 0.0,       -7.0,      -7 },
        { "1e",                false, 0.0,       1.0,       1 },
        { "1e+",               false, 0.0,       1.0,       1 },
        { "1..2",              false, 0.0,       1.0,       1 },
        { "+-1",               false, 0.0,       0.0,       0 },
        // integers beyond the int range
        { "2147483647",        true,  2147483647.0,  2147483647.0,  intMax },
        { "2147483648",        true,  2147483648.0,  2147483648.0,  intMax },
        { "-2147483648",       true,  -2147483648.0, -2147483648.0, intMin },
        { "-2147483649",       true,  -2147483649.0, -2147483649.0, intMin },
        { "99999999999999999999", true, 1e20,    1e20,      intMax },
    };
}

TEST (DecimalText, ReadsTheGrammarOnlyAndEveryResultIsFinite)
{
    for (const auto& c : cases)
    {
        const auto& text = c.text;
        double value = -123.0;

        EXPECT_EQ (parses (text, value), c.isNumber) << text;
        EXPECT_TRUE (c.isNumber ? sameDouble (value, c.number) : value == -123.0) << text << " read as " << value;
        EXPECT_TRUE (sameDouble (leading (text), c.leading)) << text << " read as " << leading (text);
        EXPECT_EQ (leadingInt (text), c.leadingInteger) << text;
        EXPECT_TRUE (std::isfinite (leading (text))) << text;
    }
}

TEST (DecimalText, ReadsOnlyAsFarAsItIsToldWhateverTheLocale)
{
    // The size ends the text, not a terminator: the digits beyond are not read.
    const char text[] = "12345";
    double value = 0.0;
    EXPECT_TRUE (DecimalText::parse (text, 2, value));
    EXPECT_EQ (value, 12.0);
    EXPECT_EQ (DecimalText::leadingInteger (text, 3), 123);
    EXPECT_EQ (DecimalText::leadingNumber (text, 0), 0.0);

    // A decimal comma in the process's locale changes nothing.
    const std::string previous = std::setlocale (LC_NUMERIC, nullptr);

    if (std::setlocale (LC_NUMERIC, "de_DE.UTF-8") != nullptr || std::setlocale (LC_NUMERIC, "fr_FR.UTF-8") != nullptr)
    {
        EXPECT_TRUE (parses ("1.5", value));
        EXPECT_EQ (value, 1.5);
        EXPECT_FALSE (parses ("1,5", value));
    }

    std::setlocale (LC_NUMERIC, previous.c_str());
}

TEST (DecimalText, NarrowsToTheNearestFloatInsteadOfAnInfinity)
{
    constexpr auto floatMax = std::numeric_limits<float>::max();

    EXPECT_EQ (DecimalText::toFloat (1e39), floatMax);
    EXPECT_EQ (DecimalText::toFloat (-largest), -floatMax);
    EXPECT_EQ (DecimalText::toFloat (3.40282346638529e38), floatMax);   // as JUCE writes the largest float
    EXPECT_EQ (DecimalText::toFloat (0.28), 0.28f);
    EXPECT_EQ (DecimalText::toFloat (1e-50), 0.0f);
}

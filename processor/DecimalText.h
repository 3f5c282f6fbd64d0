#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <system_error>

/** Numbers in text from outside (preset and bank files, the host's state blob, a value the host
    types in), read the same way whatever the locale. JUCE's own parser overflows an int on a
    long exponent ("1e9999999999") and reads "nan" and "inf" as numbers, so no outside text goes
    to it: every such number is read here.

    The grammar, and nothing else: [sign] digits [. digits] [e [sign] digits], with at least one
    digit before the exponent. No white space, no "nan" or "inf", no hexadecimal, no "1,5". */
namespace DecimalText
{
    namespace Detail
    {
        inline size_t digitsAt (const char* text, size_t size, size_t from) noexcept
        {
            auto end = from;

            while (end < size && text[end] >= '0' && text[end] <= '9')
                ++end;

            return end - from;
        }

        inline bool isSpace (char c) noexcept   { return c == ' ' || (c >= '\t' && c <= '\r'); }

        /** A number of the grammar at the start of the text, taken apart. */
        struct Number
        {
            size_t length = 0;             // 0: no number
            size_t mantissaStart = 0;      // after the sign
            size_t integerDigits = 0;
            size_t fractionDigits = 0;
            bool negative = false;
            int64_t exponent = 0;          // saturated far beyond any double's
        };

        inline Number scan (const char* text, size_t size) noexcept
        {
            Number number;
            size_t position = 0;

            if (position < size && (text[position] == '+' || text[position] == '-'))
                number.negative = text[position++] == '-';

            number.mantissaStart = position;
            number.integerDigits = digitsAt (text, size, position);
            position += number.integerDigits;

            if (position < size && text[position] == '.')
            {
                number.fractionDigits = digitsAt (text, size, position + 1);
                position += 1 + number.fractionDigits;
            }

            if (number.integerDigits + number.fractionDigits == 0)
                return {};

            number.length = position;

            // An exponent only counts with digits: "1e" and "1e+" are the number 1 and more text.
            if (position < size && (text[position] == 'e' || text[position] == 'E'))
            {
                auto digitsStart = position + 1;
                auto exponentNegative = false;

                if (digitsStart < size && (text[digitsStart] == '+' || text[digitsStart] == '-'))
                    exponentNegative = text[digitsStart++] == '-';

                const auto exponentDigits = digitsAt (text, size, digitsStart);

                if (exponentDigits > 0)
                {
                    constexpr int64_t saturation = 1'000'000'000'000;

                    for (size_t i = digitsStart; i < digitsStart + exponentDigits; ++i)
                        if (number.exponent < saturation)
                            number.exponent = number.exponent * 10 + (text[i] - '0');

                    number.exponent = exponentNegative ? -number.exponent : number.exponent;
                    number.length = digitsStart + exponentDigits;
                }
            }

            return number;
        }

        /** Whether a number that does not fit a double is too large rather than too small: the
            decimal order of its first significant digit is positive. */
        inline bool overflows (const char* text, const Number& number) noexcept
        {
            const auto* digits = text + number.mantissaStart;
            int64_t order = number.exponent;

            for (size_t i = 0; i < number.integerDigits; ++i)
                if (digits[i] != '0')
                    return order + (int64_t) (number.integerDigits - i - 1) > 0;

            const auto* fraction = digits + number.integerDigits + 1;

            for (size_t i = 0; i < number.fractionDigits; ++i)
                if (fraction[i] != '0')
                    return order - (int64_t) (i + 1) > 0;

            return false;
        }

        /** The value of a scanned number: beyond the double range the largest double of its
            sign, below it zero of its sign. */
        inline double valueOf (const char* text, const Number& number) noexcept
        {
            const auto* first = text + number.mantissaStart;
            const auto* last = text + number.length;
            double magnitude = 0.0;
            const auto [end, error] = std::from_chars (first, last, magnitude);

            // Some libraries report a value out of range, others hand back an infinity.
            if (error == std::errc::result_out_of_range)
                magnitude = overflows (text, number) ? std::numeric_limits<double>::max() : 0.0;
            else if (error != std::errc() || end != last)
                magnitude = 0.0; // the grammar checked is from_chars' own; not reached
            else if (magnitude > std::numeric_limits<double>::max())
                magnitude = std::numeric_limits<double>::max();

            return number.negative ? -magnitude : magnitude;
        }
    }

    /** The value of a text that is exactly one number of the grammar: beyond the double range
        the largest double of its sign, below it zero. False, with the result untouched, for any
        other text (empty, white space, "nan", "inf", "0x10", "1,5", "1e"). */
    inline bool parse (const char* text, size_t size, double& result) noexcept
    {
        const auto number = Detail::scan (text, size);

        if (number.length == 0 || number.length != size)
            return false;

        result = Detail::valueOf (text, number);
        return true;
    }

    /** The number at the start of the text, after any white space, the way JUCE's getDoubleValue
        reads one ("12abc" is 12, "abc" is 0, "1,5" is 1), but always finite: "nan" and "inf"
        are no number (0), and beyond the double range comes the largest double of that sign. */
    inline double leadingNumber (const char* text, size_t size) noexcept
    {
        size_t start = 0;

        while (start < size && Detail::isSpace (text[start]))
            ++start;

        const auto number = Detail::scan (text + start, size - start);
        return number.length == 0 ? 0.0 : Detail::valueOf (text + start, number);
    }

    /** The integer part of the number at the start of the text, the way JUCE's getIntValue reads
        one ("1.7" is 1, "abc" is 0), but beyond the int range the nearest end of it rather than
        a wrapped or undefined value. */
    inline int leadingInteger (const char* text, size_t size) noexcept
    {
        size_t start = 0;

        while (start < size && Detail::isSpace (text[start]))
            ++start;

        auto negative = false;

        if (start < size && (text[start] == '+' || text[start] == '-'))
            negative = text[start++] == '-';

        constexpr int64_t beyond = (int64_t) std::numeric_limits<int>::max() + 2;
        int64_t magnitude = 0;

        for (auto i = start; i < size && text[i] >= '0' && text[i] <= '9'; ++i)
            if (magnitude < beyond)
                magnitude = magnitude * 10 + (text[i] - '0');

        const auto value = negative ? -magnitude : magnitude;

        if (value > std::numeric_limits<int>::max())   return std::numeric_limits<int>::max();
        if (value < std::numeric_limits<int>::min())   return std::numeric_limits<int>::min();

        return (int) value;
    }

    /** A double as the nearest float, so that a value beyond the float range becomes the
        largest float of its sign instead of an infinity. */
    inline float toFloat (double value) noexcept
    {
        constexpr auto largest = (double) std::numeric_limits<float>::max();
        return (float) (value > largest ? largest : (value < -largest ? -largest : value));
    }
}

#pragma once

#include <cstddef>
#include <cstdint>

/** JUCE's text classes read a malformed UTF-8 sequence past the end of its text (and JUCE's own
    check lets some through), so text from outside is checked by this strict one first. */
namespace Utf8Text
{
    /** Whether the bytes, up to the first NUL or the end, are well-formed UTF-8: no stray or
        missing continuation bytes, no overlong forms, no surrogates, nothing past U+10FFFF. */
    inline bool isWellFormed (const char* text, size_t size) noexcept
    {
        const auto* bytes = reinterpret_cast<const uint8_t*> (text);
        size_t i = 0;

        while (i < size && bytes[i] != 0)
        {
            const auto lead = bytes[i];

            if (lead < 0x80)
            {
                ++i;
                continue;
            }

            size_t length = 0;
            uint32_t lowest = 0;

            if (lead >= 0xc2 && lead <= 0xdf)        { length = 2; lowest = 0x80; }
            else if (lead >= 0xe0 && lead <= 0xef)   { length = 3; lowest = 0x800; }
            else if (lead >= 0xf0 && lead <= 0xf4)   { length = 4; lowest = 0x10000; }
            else                                     return false;

            if (size - i < length)
                return false;

            uint32_t codePoint = lead & (0x7fu >> length);

            for (size_t k = 1; k < length; ++k)
            {
                if ((bytes[i + k] & 0xc0) != 0x80)
                    return false;

                codePoint = (codePoint << 6) | (bytes[i + k] & 0x3fu);
            }

            if (codePoint < lowest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
                return false;

            i += length;
        }

        return true;
    }

    /** Whether the text ends at its first NUL (only NULs may follow it). The checks here stop
        there, but JUCE's text classes keep what follows and its XML parser can step over a
        NUL, so text beyond one would reach the parser unchecked. */
    inline bool endsAtFirstNul (const char* text, size_t size) noexcept
    {
        size_t i = 0;

        while (i < size && text[i] != 0)
            ++i;

        for (; i < size; ++i)
            if (text[i] != 0)
                return false;

        return true;
    }

    /** The same for a NUL-terminated text. */
    inline bool isWellFormed (const char* text) noexcept
    {
        size_t size = 0;

        while (text[size] != 0)
            ++size;

        return isWellFormed (text, size);
    }
}

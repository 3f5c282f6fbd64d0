#pragma once

#include <cstddef>

/** JUCE's XML parser descends one call per nested element, so a document of a few bytes per
    level (a damaged preset file, a host's state blob) can overflow the stack. Text from outside
    is measured with this before it is parsed. */
namespace XmlNesting
{
    /** Far beyond any document of ours (a bank holds presets: two levels). */
    inline constexpr int maxDepth = 64;

    /** Whether no element of the text lies deeper than `limit`. It counts every tag that opens
        and is not closed, so it may overestimate (never underestimate) the depth. */
    inline bool isShallow (const char* text, size_t size, int limit = maxDepth) noexcept
    {
        int depth = 0;

        for (size_t i = 0; i < size; ++i)
        {
            if (text[i] != '<' || i + 1 >= size)
                continue;

            const auto next = text[i + 1];

            if (next == '/')
            {
                --depth;
                continue;
            }

            if (next == '?' || next == '!')
                continue;

            if (++depth > limit)
                return false;

            // To the end of the tag, past quoted attribute values; "/>" closes it again.
            char quote = 0;
            size_t end = i + 1;

            for (; end < size; ++end)
            {
                const auto c = text[end];

                // '<' is no character of a value (writers give "&lt;"), and JUCE's parser takes
                // it for the next tag whatever the quotes say.
                if (c == '<')
                    return false;

                if (quote != 0)
                    quote = c == quote ? 0 : quote;
                else if (c == '"' || c == '\'')
                    quote = c;
                else if (c == '>')
                    break;
            }

            // A quote that never ends: the parser's reading of the rest is anybody's guess.
            if (end >= size)
                return false;

            if (text[end - 1] == '/')
                --depth;

            i = end;
        }

        return true;
    }

    /** Whether "<?" appears nowhere but in the declaration at the very start: JUCE's parser
        runs away (for minutes, on a file of a kilobyte) on one inside the document. */
    inline bool hasNoInnerProcessingInstruction (const char* text, size_t size) noexcept
    {
        size_t i = 0;

        // A byte-order mark, white space, then perhaps the declaration.
        if (size >= 3 && (unsigned char) text[0] == 0xef && (unsigned char) text[1] == 0xbb && (unsigned char) text[2] == 0xbf)
            i = 3;

        while (i < size && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
            ++i;

        if (i + 1 < size && text[i] == '<' && text[i + 1] == '?')
        {
            for (i += 2; i + 1 < size && ! (text[i] == '?' && text[i + 1] == '>'); ++i) {}

            i += 2;
        }

        for (; i + 1 < size; ++i)
            if (text[i] == '<' && text[i + 1] == '?')
                return false;

        return true;
    }

    /** Whether every reference is whole and one our writer writes: a character reference
        ("&#" decimal digits, or "x" and hex digits, no more than JUCE's parser takes: 12 and 8,
        then ';') or one of XML's five predefined entities. On a character reference that ends
        early (at the end of the text, say) the parser steps over the character that ended it,
        and when that is the terminator it reads past the end of the text. Any other '&' makes
        it take everything up to the next ';' for an entity's name, and a name that starts with
        '<' is parsed again as markup from a string of its own, where a reference the ';' was
        taken from reads past that string's end. */
    inline bool hasOnlyWholeCharacterReferences (const char* text, size_t size) noexcept
    {
        const auto isDecimal = [] (char c) { return c >= '0' && c <= '9'; };
        const auto isHex = [isDecimal] (char c) { return isDecimal (c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
        const auto startsWith = [text, size] (size_t position, const char* word)
        {
            for (; *word != 0; ++word, ++position)
                if (position >= size || text[position] != *word)
                    return false;

            return true;
        };

        for (size_t i = 0; i < size; ++i)
        {
            if (text[i] != '&')
                continue;

            if (i + 1 >= size || text[i + 1] != '#')
            {
                bool predefined = false;

                for (auto* entity : { "amp;", "lt;", "gt;", "quot;", "apos;" })
                    predefined = predefined || startsWith (i + 1, entity);

                if (! predefined)
                    return false;

                continue;
            }

            auto position = i + 2;
            const auto hex = position < size && (text[position] == 'x' || text[position] == 'X');
            position += hex ? 1 : 0;
            const auto firstDigit = position;

            while (position < size && (hex ? isHex (text[position]) : isDecimal (text[position])))
                ++position;

            const auto digits = position - firstDigit;

            if (digits == 0 || digits > (hex ? 8u : 12u) || position >= size || text[position] != ';')
                return false;

            i = position;
        }

        return true;
    }

    /** Whether the markup itself (tag and attribute names, outside quoted values) is ASCII, as
        ours always is: JUCE's parser reads past the end of its text on some documents with
        other characters in a tag. Values and text between tags may hold any character. */
    inline bool hasAsciiMarkup (const char* text, size_t size) noexcept
    {
        bool inTag = false;
        char quote = 0;

        for (size_t i = 0; i < size; ++i)
        {
            const auto c = text[i];

            if (! inTag)
            {
                inTag = c == '<';
                continue;
            }

            if (quote != 0)
            {
                quote = c == quote ? 0 : quote;
                continue;
            }

            if (c == '"' || c == '\'')
                quote = c;
            else if (c == '>')
                inTag = false;
            else if ((unsigned char) c >= 0x80)
                return false;
        }

        return true;
    }
}

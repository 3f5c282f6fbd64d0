// clap_plugin_params.text_to_value and value_to_text of the built plug-in: the first byte picks
// the parameter, the rest is the host's text (not always terminated where the host says it
// is) or, for value_to_text, a double of any bits. A value given back must be a finite value
// within the parameter's range, and a text given back must fit the host's buffer.

#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestLibrary.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static const ClapTestLibrary library { TESSALINE_CLAP_PATH };

    if (! library.isLoaded())
        std::abort();

    static const auto host = []
    {
        auto made = std::make_unique<ClapTestHost> (library);

        if (! made->createPlugin())
            std::abort();

        return made;
    }();

    if (size == 0)
        return 0;

    auto* plugin = host->plugin();
    const auto* params = host->extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    const auto count = params->count (plugin);

    // One index past the last asks about a parameter that does not exist.
    const auto index = (uint32_t) (data[0] % (count + 1));
    clap_param_info_t info {};
    const auto known = params->get_info (plugin, index, &info);
    const auto id = known ? info.id : (clap_id) 0x1234567u;

    const std::string text (reinterpret_cast<const char*> (data + 1), size - 1);
    double value = -12345.0;

    if (params->text_to_value (plugin, id, text.c_str(), &value))
    {
        if (! known || ! std::isfinite (value) || value < info.min_value || value > info.max_value)
            std::abort();
    }

    if (size >= 1 + sizeof (double))
    {
        double anyValue;
        std::memcpy (&anyValue, data + 1, sizeof (anyValue));

        // A buffer of the size the next byte says, with a guard byte behind it.
        const auto bufferSize = size > 1 + sizeof (double) ? (uint32_t) data[1 + sizeof (double)] : 0u;
        std::string display ((size_t) bufferSize + 1, '\x7f');

        if (params->value_to_text (plugin, id, anyValue, display.data(), bufferSize)
            && (bufferSize == 0 || std::memchr (display.data(), 0, bufferSize) == nullptr))
            std::abort();

        if (display.back() != '\x7f')
            std::abort();
    }

    // Nothing the plug-in reports here is our fault; a host asking about an unknown id or
    // passing an odd value is the host's business.
    for (const auto& entry : host->takeLog())
        if (entry.severity != CLAP_LOG_HOST_MISBEHAVING && entry.severity != CLAP_LOG_WARNING)
            std::abort();

    return 0;
}

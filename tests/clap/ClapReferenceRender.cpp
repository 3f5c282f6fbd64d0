#include "tests/clap/ClapReferenceRender.h"

#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

namespace
{
    constexpr double sampleRate = 48000.0;
    constexpr uint32_t blockSize = 256;
    constexpr uint32_t blocksPerSetting = 24;

    /** Normalised values in parameter order: cutoff, resonance, drive, makeup gain, mode, slope,
        oversampling. A glide moves the cutoff to glideTo after a third of the render. */
    struct Setting
    {
        std::vector<double> values;
        double glideTo = -1.0;
    };

    std::vector<Setting> settings()
    {
        std::vector<Setting> table;

        for (double oversampling : { 0.0, 1.0 })
            for (double mode : { 0.0, 0.5, 1.0 })
                for (double slope : { 0.0, 0.5, 1.0 })
                    table.push_back ({ { 0.45, 0.6, 0.3, 0.55, mode, slope, oversampling } });

        // Glides up and down, the second near the top of the range with strong resonance.
        table.push_back ({ { 0.2, 0.4, 0.2, 0.5, 0.0, 1.0, 0.0 }, 0.7 });
        table.push_back ({ { 0.9, 0.75, 0.5, 0.5, 0.0, 1.0, 1.0 }, 0.3 });
        table.push_back ({ { 0.5, 0.3, 0.1, 0.5, 1.0, 0.5, 1.0 }, 0.8 });
        return table;
    }

    /** The same signal on any platform: two sines and noise from a fixed integer generator. */
    std::vector<float> testSignal (uint32_t numFrames, int channel)
    {
        std::vector<float> signal (numFrames);
        uint32_t state = 12345u + (uint32_t) channel;

        for (uint32_t i = 0; i < numFrames; ++i)
        {
            state = state * 1664525u + 1013904223u;
            const auto noise = (float) (state >> 8) / (float) (1u << 24) - 0.5f;
            signal[i] = 0.4f * std::sin (0.031f * (float) i * (float) (channel + 1)) + 0.2f * std::sin (0.0021f * (float) i) + 0.3f * noise;
        }

        return signal;
    }

    std::vector<clap_id> parameterIds (const ClapTestHost& host)
    {
        std::vector<clap_id> ids;
        const auto* params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);

        for (uint32_t i = 0; params != nullptr && i < params->count (host.plugin()); ++i)
        {
            clap_param_info_t info {};
            params->get_info (host.plugin(), i, &info);
            ids.push_back (info.id);
        }

        return ids;
    }

    std::vector<double> currentValues (const ClapTestHost& host)
    {
        std::vector<double> values;
        const auto* params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);

        for (auto id : parameterIds (host))
        {
            double value = std::numeric_limits<double>::quiet_NaN();
            params->get_value (host.plugin(), id, &value);
            values.push_back (value);
        }

        return values;
    }

    /** Sets the values through the host's parameter flush, as a host does outside processing. */
    void setValues (const ClapTestHost& host, const std::vector<double>& values)
    {
        ClapTestEventList events;
        const auto ids = parameterIds (host);

        for (size_t i = 0; i < std::min (ids.size(), values.size()); ++i)
            events.addValue (ids[i], values[i]);

        host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS)->flush (host.plugin(), events.input(), events.output());
    }

    void renderSetting (ClapTestHost& host, const Setting& setting, std::vector<float>& out)
    {
        auto* plugin = host.plugin();
        const auto ids = parameterIds (host);
        setValues (host, setting.values);

        if (! plugin->activate (plugin, sampleRate, 1, blockSize))
            return;

        host.runOnAudioThread ([&] { plugin->start_processing (plugin); });

        const auto numFrames = blockSize * blocksPerSetting;
        std::vector<float> left = testSignal (numFrames, 0), right = testSignal (numFrames, 1);

        for (uint32_t block = 0; block < blocksPerSetting; ++block)
        {
            ClapTestEventList events;

            if (setting.glideTo >= 0.0 && block == blocksPerSetting / 3)
                events.addValue (ids[0], setting.glideTo);

            float* channels[] = { left.data() + block * blockSize, right.data() + block * blockSize };
            clap_audio_buffer_t in { channels, nullptr, 2, 0, 0 };
            clap_audio_buffer_t outBuffer { channels, nullptr, 2, 0, 0 };
            auto context = ClapTestHost::processContext (in, outBuffer, blockSize, events.input(), events.output(),
                                                         (int64_t) (block * blockSize));
            host.runOnAudioThread ([&] { plugin->process (plugin, &context); });
        }

        host.runOnAudioThread ([&] { plugin->stop_processing (plugin); });
        plugin->deactivate (plugin);

        for (uint32_t i = 0; i < numFrames; ++i)
        {
            out.push_back (left[i]);
            out.push_back (right[i]);
        }
    }

    const std::vector<double> stateValues { 0.3, 0.6, 0.25, 0.7, 1.0, 0.5, 0.0 };
}

std::vector<float> ClapReferenceRender::render (const ClapTestLibrary& library)
{
    std::vector<float> out;

    for (const auto& setting : settings())
    {
        ClapTestHost host { library };

        if (! host.createPlugin())
            return {};

        renderSetting (host, setting, out);
    }

    return out;
}

std::string ClapReferenceRender::describe (const ClapTestLibrary& library)
{
    const auto* factory = library.getFactory();
    const auto* descriptor = factory != nullptr ? factory->get_plugin_descriptor (factory, 0) : nullptr;

    if (descriptor == nullptr)
        return {};

    std::string text = "clap " + std::to_string (descriptor->clap_version.major) + "." + std::to_string (descriptor->clap_version.minor)
                       + "." + std::to_string (descriptor->clap_version.revision) + "\nid " + descriptor->id + "\nname " + descriptor->name
                       + "\nvendor " + descriptor->vendor + "\nurl " + descriptor->url + "\nmanual " + descriptor->manual_url
                       + "\nsupport " + descriptor->support_url + "\nversion " + descriptor->version + "\ndescription "
                       + descriptor->description + "\n";

    for (auto** feature = descriptor->features; feature != nullptr && *feature != nullptr; ++feature)
        text += std::string ("feature ") + *feature + "\n";

    ClapTestHost host { library };

    if (! host.createPlugin())
        return text + "no instance\n";

    if (const auto* ports = host.extension<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS))
        for (bool isInput : { true, false })
            for (uint32_t i = 0; i < ports->count (host.plugin(), isInput); ++i)
            {
                clap_audio_port_info_t info {};
                ports->get (host.plugin(), i, isInput, &info);
                text += std::string (isInput ? "input " : "output ") + std::to_string (info.id) + " " + info.name + " "
                        + std::to_string (info.channel_count) + " " + (info.port_type != nullptr ? info.port_type : "-") + " "
                        + std::to_string (info.flags) + " " + std::to_string (info.in_place_pair) + "\n";
            }

    const auto* params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);

    for (uint32_t i = 0; params != nullptr && i < params->count (host.plugin()); ++i)
    {
        clap_param_info_t info {};
        params->get_info (host.plugin(), i, &info);
        char range[128];
        std::snprintf (range, sizeof (range), "%.17g %.17g %.17g", info.min_value, info.max_value, info.default_value);
        text += "parameter " + std::to_string (info.id) + " " + info.name + " [" + info.module + "] " + range + " "
                + std::to_string (info.flags) + "\n";
    }

    return text;
}

std::vector<uint8_t> ClapReferenceRender::saveKnownState (const ClapTestLibrary& library)
{
    ClapTestHost host { library };

    if (! host.createPlugin())
        return {};

    setValues (host, stateValues);
    ClapTestOutputStream stream;

    if (! host.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (host.plugin(), stream.get()))
        return {};

    return stream.bytes;
}

std::vector<double> ClapReferenceRender::valuesAfterLoading (const ClapTestLibrary& library, const std::vector<uint8_t>& state)
{
    ClapTestHost host { library };

    if (! host.createPlugin())
        return {};

    ClapTestInputStream stream (state);

    if (! host.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (host.plugin(), stream.get()))
        return {};

    return currentValues (host);
}

std::vector<double> ClapReferenceRender::knownValues (const ClapTestLibrary& library)
{
    ClapTestHost host { library };

    if (! host.createPlugin())
        return {};

    setValues (host, stateValues);
    return currentValues (host);
}

double ClapReferenceRender::largestDifference (const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return std::numeric_limits<double>::infinity();

    double largest = 0.0;

    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max (largest, std::abs ((double) a[i] - (double) b[i]));

    return largest;
}

bool ClapReferenceRender::writeFile (const std::string& path, const void* data, size_t size)
{
    std::unique_ptr<std::FILE, int (*) (std::FILE*)> file (std::fopen (path.c_str(), "wb"), std::fclose);
    return file != nullptr && std::fwrite (data, 1, size, file.get()) == size;
}

std::vector<uint8_t> ClapReferenceRender::readFile (const std::string& path)
{
    std::unique_ptr<std::FILE, int (*) (std::FILE*)> file (std::fopen (path.c_str(), "rb"), std::fclose);
    std::vector<uint8_t> bytes;

    if (file == nullptr)
        return bytes;

    uint8_t buffer[4096];

    for (size_t read; (read = std::fread (buffer, 1, sizeof (buffer), file.get())) > 0;)
        bytes.insert (bytes.end(), buffer, buffer + read);

    return bytes;
}

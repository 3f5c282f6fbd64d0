// The test host itself, checked against CLAP plug-ins it did not come with: if it reads them
// correctly, what it says about Tessaline is worth believing.

#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestLibrary.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>

namespace
{
    const char* const thirdPartyFolder = "/usr/lib/clap";

    // Effects of Debian's zam-plugins (ZaMaximX2 is left out: Debian's build crashes in its
    // own parameter flush).
    const char* const thirdPartyPlugins[] = { "ZamComp.clap", "ZamEQ2.clap", "ZamGate.clap", "ZamDelay.clap",
                                              "ZamTube.clap" };

    std::vector<double> valuesOf (const ClapTestHost& host)
    {
        const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
        std::vector<double> values;

        for (uint32_t i = 0; i < params.count (host.plugin()); ++i)
        {
            clap_param_info_t info {};
            double value = 0.0;
            EXPECT_TRUE (params.get_info (host.plugin(), i, &info));
            EXPECT_TRUE (params.get_value (host.plugin(), info.id, &value));
            values.push_back (value);
        }

        return values;
    }
}

TEST (ClapTestHostOnThirdPartyPlugin, ReadsDescriptorPortsParametersAndState)
{
    std::vector<std::filesystem::path> plugins;

    for (auto* name : thirdPartyPlugins)
        if (std::filesystem::exists (std::filesystem::path (thirdPartyFolder) / name))
            plugins.push_back (std::filesystem::path (thirdPartyFolder) / name);

    if (plugins.empty())
        GTEST_SKIP() << "no plug-ins of the Debian package zam-plugins in " << thirdPartyFolder;

    std::sort (plugins.begin(), plugins.end());
    int roundTrips = 0;

    for (auto& path : plugins)
    {
        SCOPED_TRACE (path.string());
        ClapTestLibrary library { path.string() };
        ASSERT_TRUE (library.isLoaded()) << library.getError();
        const auto& factory = *library.getFactory();
        ASSERT_GE (factory.get_plugin_count (&factory), 1u);

        const auto& descriptor = *factory.get_plugin_descriptor (&factory, 0);
        EXPECT_TRUE (clap_version_is_compatible (descriptor.clap_version));
        EXPECT_STRNE (descriptor.id, "");
        EXPECT_EQ (path.stem().string(), descriptor.name);

        ClapTestHost host { library };
        ASSERT_TRUE (host.createPlugin());

        for (auto* id : { CLAP_EXT_AUDIO_PORTS, CLAP_EXT_PARAMS })
            ASSERT_NE (host.extension<void> (id), nullptr) << id;

        const auto& ports = *host.extension<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS);
        ASSERT_GE (ports.count (host.plugin(), false), 1u);
        clap_audio_port_info_t port {};
        ASSERT_TRUE (ports.get (host.plugin(), 0, false, &port));
        EXPECT_GE (port.channel_count, 1u);

        const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
        ClapTestEventList events;
        std::vector<std::pair<clap_id, double>> sent;

        for (uint32_t i = 0; i < params.count (host.plugin()); ++i)
        {
            clap_param_info_t info {};
            ASSERT_TRUE (params.get_info (host.plugin(), i, &info));
            EXPECT_LE (info.min_value, info.default_value);
            EXPECT_LE (info.default_value, info.max_value);

            char text[CLAP_NAME_SIZE] {};
            EXPECT_TRUE (params.value_to_text (host.plugin(), info.id, info.default_value, text, sizeof (text))) << info.name;

            if ((info.flags & (CLAP_PARAM_IS_READONLY | CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED)) == 0)
            {
                sent.emplace_back (info.id, info.min_value + 0.3 * (info.max_value - info.min_value));
                events.addValue (sent.back().first, sent.back().second);
            }
        }

        // Move the parameters through the host's events (while active: some plug-ins expect a
        // flush only then), then carry the state over to a second instance when the plug-in
        // keeps one.
        ASSERT_TRUE (host.plugin()->activate (host.plugin(), 48000.0, 1, 512));
        host.runOnAudioThread ([&] { params.flush (host.plugin(), events.input(), events.output()); });
        host.plugin()->deactivate (host.plugin());

        for (auto [id, value] : sent)
        {
            double now = 0.0;
            EXPECT_TRUE (params.get_value (host.plugin(), id, &now));
            EXPECT_NEAR (now, value, 1.0e-3 * std::max (1.0, std::abs (value))) << "parameter " << id;
        }

        EXPECT_GT (sent.size(), 0u);
        const auto* state = host.extension<clap_plugin_state_t> (CLAP_EXT_STATE);

        if (state == nullptr)
            continue;

        const auto changed = valuesOf (host);
        ClapTestOutputStream saved (50);
        ASSERT_TRUE (state->save (host.plugin(), saved.get()));
        ASSERT_FALSE (saved.bytes.empty());

        ClapTestHost second { library };
        ASSERT_TRUE (second.createPlugin());
        ClapTestInputStream stream (saved.bytes, 100);
        ASSERT_TRUE (second.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (second.plugin(), stream.get()));
        EXPECT_EQ (valuesOf (second), changed);

        ClapTestOutputStream savedAgain;
        ASSERT_TRUE (second.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (second.plugin(), savedAgain.get()));
        EXPECT_EQ (savedAgain.bytes, saved.bytes);
        ++roundTrips;
    }

    // Debian's zam-plugins keep no state of their own (their hosts save the parameters), so the
    // state part runs only for plug-ins that offer it.
    std::cout << "checked " << plugins.size() << " plug-ins, " << roundTrips << " with a state round trip\n";
}

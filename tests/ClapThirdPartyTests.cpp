// The test host itself, checked against CLAP plug-ins it did not come with: if it reads them
// correctly, what it says about Tessaline is worth believing.

#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestLibrary.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
    const char* const thirdPartyPlugin = "/usr/lib/clap/ZamComp.clap";

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
    if (! std::filesystem::exists (thirdPartyPlugin))
        GTEST_SKIP() << thirdPartyPlugin << " is not installed (Debian package zam-plugins)";

    ClapTestLibrary library { thirdPartyPlugin };
    ASSERT_TRUE (library.isLoaded()) << library.getError();
    const auto& factory = *library.getFactory();
    ASSERT_GE (factory.get_plugin_count (&factory), 1u);

    const auto& descriptor = *factory.get_plugin_descriptor (&factory, 0);
    EXPECT_TRUE (clap_version_is_compatible (descriptor.clap_version));
    EXPECT_STRNE (descriptor.id, "");
    EXPECT_STREQ (descriptor.name, "ZamComp");

    ClapTestHost host { library };
    ASSERT_TRUE (host.createPlugin());

    const auto& ports = *host.extension<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS);
    ASSERT_GE (ports.count (host.plugin(), true), 1u);
    clap_audio_port_info_t port {};
    ASSERT_TRUE (ports.get (host.plugin(), 0, false, &port));
    EXPECT_GE (port.channel_count, 1u);

    const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    ASSERT_GT (params.count (host.plugin()), 0u);

    // Move every parameter off its default through the host's events, then carry the state
    // over to a second instance.
    ClapTestEventList events;

    for (uint32_t i = 0; i < params.count (host.plugin()); ++i)
    {
        clap_param_info_t info {};
        ASSERT_TRUE (params.get_info (host.plugin(), i, &info));
        EXPECT_LE (info.min_value, info.default_value);
        EXPECT_LE (info.default_value, info.max_value);

        char text[CLAP_NAME_SIZE] {};
        EXPECT_TRUE (params.value_to_text (host.plugin(), info.id, info.default_value, text, sizeof (text))) << info.name;

        if ((info.flags & (CLAP_PARAM_IS_READONLY | CLAP_PARAM_IS_BYPASS)) == 0)
            events.addValue (info.id, info.min_value + 0.3 * (info.max_value - info.min_value));
    }

    params.flush (host.plugin(), events.input(), events.output());
    const auto changed = valuesOf (host);

    ClapTestOutputStream saved (50);
    ASSERT_TRUE (host.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (host.plugin(), saved.get()));
    ASSERT_FALSE (saved.bytes.empty());

    ClapTestHost second { library };
    ASSERT_TRUE (second.createPlugin());
    ClapTestInputStream stream (saved.bytes, 100);
    ASSERT_TRUE (second.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (second.plugin(), stream.get()));
    EXPECT_EQ (valuesOf (second), changed);

    ClapTestOutputStream savedAgain;
    ASSERT_TRUE (second.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (second.plugin(), savedAgain.get()));
    EXPECT_EQ (savedAgain.bytes, saved.bytes);
}

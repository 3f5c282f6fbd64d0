// The Windows plug-in in a Windows host's window: the project's CLAP test host, cross-built, gives
// the editor a win32 parent window and pumps its messages while an audio thread processes.

#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
    /** A plain top-level window of the host's, the parent the editor is embedded in. */
    class HostWindow final
    {
    public:
        HostWindow()
        {
            WNDCLASSEXW windowClass {};
            windowClass.cbSize = sizeof (windowClass);
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW (nullptr);
            windowClass.lpszClassName = L"TessalineTestHostWindow";
            RegisterClassExW (&windowClass);

            handle = CreateWindowExW (0, windowClass.lpszClassName, L"Test host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                      20, 20, 1000, 700, nullptr, nullptr, windowClass.hInstance, nullptr);
            ShowWindow (handle, SW_SHOW);
        }

        ~HostWindow()   { DestroyWindow (handle); }

        HWND handle = nullptr;
    };

    /** The host's main loop for a while: window messages and the plug-in's timers. */
    void runMainLoop (ClapTestHost& host, std::chrono::milliseconds duration)
    {
        const auto end = std::chrono::steady_clock::now() + duration;

        while (std::chrono::steady_clock::now() < end)
        {
            MSG message;

            while (PeekMessageW (&message, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage (&message);
                DispatchMessageW (&message);
            }

            host.runTimers();
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
    }

    SIZE clientSizeOfChild (HWND parent)
    {
        RECT rect {};
        auto* child = GetWindow (parent, GW_CHILD);

        if (child == nullptr || ! GetClientRect (child, &rect))
            return { 0, 0 };

        return { rect.right - rect.left, rect.bottom - rect.top };
    }

    class WindowsClap : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            ASSERT_TRUE (library.isLoaded()) << library.getError();
            ASSERT_TRUE (host.createPlugin());
        }

        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };
    };
}

TEST_F (WindowsClap, StateSavedLoadsIntoAFreshInstanceAndSavesToTheSameBytes)
{
    const auto* params = host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    ASSERT_EQ (params->count (host.plugin()), 7u);

    ClapTestOutputStream first (5);
    ASSERT_TRUE (host.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (host.plugin(), first.get()));

    ClapTestHost second { library };
    ASSERT_TRUE (second.createPlugin());
    ClapTestInputStream input (first.bytes, 1);
    ASSERT_TRUE (second.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (second.plugin(), input.get()));

    ClapTestOutputStream again;
    ASSERT_TRUE (second.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (second.plugin(), again.get()));
    EXPECT_EQ (again.bytes, first.bytes);
}

TEST_F (WindowsClap, EditorLivesInAWin32WindowWhileAudioRuns)
{
    auto* plugin = host.plugin();
    const auto* gui = host.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
    ASSERT_NE (gui, nullptr);
    EXPECT_TRUE (gui->is_api_supported (plugin, CLAP_WINDOW_API_WIN32, false));
    EXPECT_FALSE (gui->is_api_supported (plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE (gui->is_api_supported (plugin, CLAP_WINDOW_API_WIN32, true));

    // Audio keeps running on its own thread through the editor's whole life.
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    std::atomic<bool> stop { false };
    std::atomic<bool> allFinite { true };
    std::atomic<int> blocks { 0 };
    auto audio = host.startAudioThread ([&]
    {
        plugin->start_processing (plugin);
        std::vector<float> left (512), right (512);

        while (! stop)
        {
            for (size_t i = 0; i < left.size(); ++i)
                left[i] = right[i] = 0.3f * std::sin (0.05f * (float) (blocks * 512 + (int) i));

            float* channels[] = { left.data(), right.data() };
            clap_audio_buffer_t in { channels, nullptr, 2, 0, 0 };
            clap_audio_buffer_t out { channels, nullptr, 2, 0, 0 };
            auto context = ClapTestHost::processContext (in, out, 512, nullptr, nullptr);
            plugin->process (plugin, &context);

            for (auto sample : left)
                if (! std::isfinite (sample))
                    allFinite = false;

            ++blocks;
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }

        plugin->stop_processing (plugin);
    });

    HostWindow window;
    ASSERT_NE (window.handle, nullptr);

    ASSERT_TRUE (gui->create (plugin, CLAP_WINDOW_API_WIN32, false));
    uint32_t width = 0, height = 0;
    ASSERT_TRUE (gui->get_size (plugin, &width, &height));
    EXPECT_EQ (width, 920u);
    EXPECT_EQ (height, 414u);

    clap_window_t parent { CLAP_WINDOW_API_WIN32, {} };
    parent.win32 = window.handle;
    ASSERT_TRUE (gui->set_parent (plugin, &parent));
    ASSERT_TRUE (gui->show (plugin));
    runMainLoop (host, std::chrono::milliseconds (1500));

    auto shown = clientSizeOfChild (window.handle);
    EXPECT_EQ (shown.cx, 920);
    EXPECT_EQ (shown.cy, 414);

    // A size outside the limits is brought back within them, then applied.
    EXPECT_TRUE (gui->can_resize (plugin));
    uint32_t wantedWidth = 3000, wantedHeight = 3000;
    ASSERT_TRUE (gui->adjust_size (plugin, &wantedWidth, &wantedHeight));
    EXPECT_EQ (wantedWidth, 1380u);
    EXPECT_EQ (wantedHeight, 621u);
    uint32_t smallWidth = 100, smallHeight = 100;
    ASSERT_TRUE (gui->adjust_size (plugin, &smallWidth, &smallHeight));
    EXPECT_EQ (smallWidth, 800u);
    EXPECT_EQ (smallHeight, 360u);

    ASSERT_TRUE (gui->set_size (plugin, wantedWidth, wantedHeight));
    runMainLoop (host, std::chrono::milliseconds (800));
    shown = clientSizeOfChild (window.handle);
    EXPECT_EQ (shown.cx, 1380);
    EXPECT_EQ (shown.cy, 621);

    EXPECT_TRUE (gui->hide (plugin));
    runMainLoop (host, std::chrono::milliseconds (200));
    gui->destroy (plugin);
    EXPECT_EQ (GetWindow (window.handle, GW_CHILD), nullptr) << "the editor's window outlived destroy";
    runMainLoop (host, std::chrono::milliseconds (200));

    stop = true;
    audio.join();
    plugin->deactivate (plugin);

    EXPECT_GT (blocks.load(), 10);
    EXPECT_TRUE (allFinite);

    for (const auto& entry : host.takeLog())
        ADD_FAILURE() << "plug-in logged: " << entry.message;
}

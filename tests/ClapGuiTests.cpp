// The editor inside a host's X window: created, embedded, shown, resized, hidden and destroyed,
// again and again, with JUCE's message loop running only on the host's timer.

#include "tests/clap/ClapTestHooks.h"
#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestLibrary.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <dlfcn.h>
#include <chrono>
#include <functional>
#include <thread>
#include <string>
#include <vector>

namespace
{
    constexpr unsigned long backgroundPixel = 0xff00ff; // a colour no editor paints everywhere

    // Like every X host, keep Xlib's default handler (which ends the process) away from
    // protocol errors; plug-ins run inside the host's process and do not install their own.
    int xErrorsSeen = 0;

    int countXError (Display*, XErrorEvent*)
    {
        ++xErrorsSeen;
        return 0;
    }

    class ClapPluginGui : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            XSetErrorHandler (countXError);
            xErrorsSeen = 0;
            display = XOpenDisplay (nullptr);
            ASSERT_NE (display, nullptr) << "no X display (run under xvfb-run)";
            ASSERT_GE (DefaultDepth (display, DefaultScreen (display)), 24);

            // The host's window covers the screen, the largest size the editor will take.
            const auto screen = DefaultScreen (display);
            parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0,
                                          (unsigned) DisplayWidth (display, screen), (unsigned) DisplayHeight (display, screen),
                                          0, 0, backgroundPixel);
            XMapWindow (display, parent);
            XSync (display, False);

            ASSERT_TRUE (library.isLoaded()) << library.getError();
            ASSERT_TRUE (host.createPlugin());
            gui = host.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
            ASSERT_NE (gui, nullptr);
        }

        void TearDown() override
        {
            host.destroyPlugin();

            if (display != nullptr)
            {
                XDestroyWindow (display, parent);
                XSync (display, False);
                XCloseDisplay (display);
            }

            // The server has no window manager: a host without an X error handler of its own
            // would have been ended by Xlib's default one at the first error.
            EXPECT_EQ (xErrorsSeen, 0) << "X errors raised on a server without a window manager";
        }

        /** Runs the host's timers (and so JUCE's loop) until the condition holds. */
        bool pumpUntil (const std::function<bool()>& condition)
        {
            for (int i = 0; i < 500; ++i)
            {
                host.runTimers();
                XSync (display, False);

                if (condition())
                    return true;

                std::this_thread::sleep_for (std::chrono::milliseconds (10));
            }

            return false;
        }

        void pumpFor (int ticks)
        {
            for (int i = 0; i < ticks; ++i)
            {
                host.runTimers();
                std::this_thread::sleep_for (std::chrono::milliseconds (10));
            }
        }

        std::vector<Window> children()
        {
            Window root, parentOfParent, *list = nullptr;
            unsigned int count = 0;
            XQueryTree (display, parent, &root, &parentOfParent, &list, &count);
            std::vector<Window> result (list, list + count);

            if (list != nullptr)
                XFree (list);

            return result;
        }

        /** The only child of the host's window when it is viewable and of this size. */
        bool editorWindowIs (uint32_t width, uint32_t height, bool viewable = true)
        {
            const auto windows = children();

            if (windows.size() != 1)
                return false;

            XWindowAttributes attributes {};
            XGetWindowAttributes (display, windows.front(), &attributes);
            lastGeometry = std::to_string (attributes.width) + " x " + std::to_string (attributes.height)
                         + (attributes.map_state == IsViewable ? " viewable" : " not viewable");
            return (uint32_t) attributes.width == width && (uint32_t) attributes.height == height
                && (attributes.map_state == IsViewable) == viewable;
        }

        std::vector<unsigned long> pixels (uint32_t width, uint32_t height)
        {
            std::vector<unsigned long> result;
            auto* image = XGetImage (display, parent, 0, 0, width, height, AllPlanes, ZPixmap);

            if (image == nullptr)
                return result;

            for (uint32_t y = 0; y < height; y += 2)
                for (uint32_t x = 0; x < width; x += 2)
                    result.push_back (XGetPixel (image, (int) x, (int) y) & 0xffffff);

            XDestroyImage (image);
            return result;
        }

        bool isPainted (uint32_t width, uint32_t height)
        {
            const auto all = pixels (width, height);
            const auto background = (size_t) std::count (all.begin(), all.end(), backgroundPixel);
            return ! all.empty() && background < all.size() / 10;
        }

        void setFromHost (const char* parameterName, double value)
        {
            const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);

            for (uint32_t i = 0; i < params.count (host.plugin()); ++i)
            {
                clap_param_info_t info {};
                params.get_info (host.plugin(), i, &info);

                if (std::string (info.name) == parameterName)
                {
                    ClapTestEventList events;
                    events.addValue (info.id, value);
                    params.flush (host.plugin(), events.input(), events.output());
                }
            }
        }

        /** Opens the editor of that host's instance in the host's window and waits until it
            shows painted. */
        bool showsPaintedEditor (ClapTestHost& someHost)
        {
            auto* someGui = someHost.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
            auto* plugin = someHost.plugin();

            clap_window_t window {};
            window.api = CLAP_WINDOW_API_X11;
            window.x11 = parent;
            uint32_t width = 0, height = 0;

            return someGui != nullptr
                && someGui->create (plugin, CLAP_WINDOW_API_X11, false)
                && someGui->set_parent (plugin, &window)
                && someGui->show (plugin)
                && someGui->get_size (plugin, &width, &height)
                && pumpUntil ([&] { someHost.runTimers(); return editorWindowIs (width, height) && isPainted (width, height); });
        }

        std::string lastGeometry;
        Display* display = nullptr;
        Window parent = 0;
        ClapTestLibrary library { TESSALINE_CLAP_PATH };
        ClapTestHost host { library };
        const clap_plugin_gui_t* gui = nullptr;
    };
}

TEST_F (ClapPluginGui, OffersEmbeddedX11WindowsOnly)
{
    auto* plugin = host.plugin();
    EXPECT_TRUE (gui->is_api_supported (plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE (gui->is_api_supported (plugin, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE (gui->is_api_supported (plugin, CLAP_WINDOW_API_WAYLAND, false));
    EXPECT_FALSE (gui->is_api_supported (plugin, CLAP_WINDOW_API_WIN32, false));

    const char* api = nullptr;
    bool isFloating = true;
    ASSERT_TRUE (gui->get_preferred_api (plugin, &api, &isFloating));
    EXPECT_STREQ (api, CLAP_WINDOW_API_X11);
    EXPECT_FALSE (isFloating);

    EXPECT_FALSE (gui->create (plugin, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE (gui->create (plugin, CLAP_WINDOW_API_WAYLAND, false));

    uint32_t width = 0, height = 0;
    EXPECT_FALSE (gui->get_size (plugin, &width, &height)); // nothing created
    EXPECT_FALSE (host.timers.empty());                     // JUCE's loop runs on the host's timer
}

TEST_F (ClapPluginGui, EmbedsPaintsResizesAndGoesAwayRepeatedly)
{
    auto* plugin = host.plugin();

    for (int round = 0; round < 3; ++round)
    {
        SCOPED_TRACE ("round " + std::to_string (round));
        ASSERT_TRUE (gui->create (plugin, CLAP_WINDOW_API_X11, false));
        EXPECT_FALSE (gui->create (plugin, CLAP_WINDOW_API_X11, false)); // one editor at a time
        const auto log = host.takeLog();
        ASSERT_EQ (log.size(), 1u);
        EXPECT_EQ (log.front().severity, CLAP_LOG_HOST_MISBEHAVING);

        uint32_t width = 0, height = 0;
        ASSERT_TRUE (gui->get_size (plugin, &width, &height));
        ASSERT_GT (width, 0u);
        ASSERT_GT (height, 0u);

        clap_window_t window {};
        window.api = CLAP_WINDOW_API_X11;
        window.x11 = parent;
        ASSERT_TRUE (gui->set_parent (plugin, &window));
        ASSERT_TRUE (gui->show (plugin));

        EXPECT_TRUE (pumpUntil ([&] { return editorWindowIs (width, height) && isPainted (width, height); }))
            << "the editor never appeared painted inside the host's window";

        // A host automation change shows in the editor: its messages and timers run.
        const auto before = pixels (width, height);
        setFromHost ("Cutoff", round % 2 == 0 ? 0.0 : 1.0);
        setFromHost ("Resonance", round % 2 == 0 ? 0.7 : 0.0);
        EXPECT_TRUE (pumpUntil ([&] { return pixels (width, height) != before; }))
            << "the editor never repainted after a parameter change";

        if (gui->can_resize (plugin))
        {
            clap_gui_resize_hints_t hints {};
            ASSERT_TRUE (gui->get_resize_hints (plugin, &hints));

            uint32_t largest = 100000, largestHeight = 100000, smallest = 1, smallestHeight = 1;
            ASSERT_TRUE (gui->adjust_size (plugin, &largest, &largestHeight));
            ASSERT_TRUE (gui->adjust_size (plugin, &smallest, &smallestHeight));
            EXPECT_GE (largest, smallest);
            EXPECT_GE (largestHeight, smallestHeight);

            if (hints.preserve_aspect_ratio)
            {
                // The editor's own size has the announced shape, in small whole numbers.
                EXPECT_EQ ((uint64_t) hints.aspect_ratio_width * height, (uint64_t) hints.aspect_ratio_height * width);
                EXPECT_LE (hints.aspect_ratio_width, width);

                const auto ratio = (double) hints.aspect_ratio_width / hints.aspect_ratio_height;
                EXPECT_NEAR ((double) largest / largestHeight, ratio, 0.01);
                EXPECT_NEAR ((double) smallest / smallestHeight, ratio, 0.01);
            }

            uint32_t newWidth = (width + largest) / 2, newHeight = height * 3;
            ASSERT_TRUE (gui->adjust_size (plugin, &newWidth, &newHeight));
            EXPECT_FALSE (gui->set_size (plugin, largest + 10, largestHeight + 10)); // beyond the limits
            ASSERT_TRUE (gui->set_size (plugin, newWidth, newHeight));
            EXPECT_TRUE (pumpUntil ([&] { return editorWindowIs (newWidth, newHeight) && isPainted (newWidth, newHeight); }))
                << "wanted " << newWidth << " x " << newHeight << ", editor window " << lastGeometry;

            uint32_t reportedWidth = 0, reportedHeight = 0;
            gui->get_size (plugin, &reportedWidth, &reportedHeight);
            EXPECT_EQ (reportedWidth, newWidth);
            EXPECT_EQ (reportedHeight, newHeight);
            width = newWidth;
            height = newHeight;
        }
        else
        {
            uint32_t newWidth = width + 50, newHeight = height + 50;
            ASSERT_TRUE (gui->adjust_size (plugin, &newWidth, &newHeight));
            EXPECT_EQ (newWidth, width);
            EXPECT_EQ (newHeight, height);
            EXPECT_FALSE (gui->set_size (plugin, width + 50, height + 50));
        }

        EXPECT_TRUE (host.resizeRequests.empty()); // the host's own resizes are not echoed

        ASSERT_TRUE (gui->hide (plugin));
        EXPECT_TRUE (pumpUntil ([&] { return editorWindowIs (width, height, false); }));
        ASSERT_TRUE (gui->show (plugin));
        EXPECT_TRUE (pumpUntil ([&] { return editorWindowIs (width, height, true); }));

        gui->destroy (plugin);
        EXPECT_TRUE (pumpUntil ([&] { return children().empty(); }));
    }

    for (auto& entry : host.takeLog())
        ADD_FAILURE() << entry.message;
}

TEST_F (ClapPluginGui, EditorLimitsHoldOnScreensSmallerThanTheEditor)
{
    auto* plugin = host.plugin();
    ASSERT_TRUE (gui->create (plugin, CLAP_WINDOW_API_X11, false));
    ASSERT_LT (DisplayWidth (display, DefaultScreen (display)), 1380) << "the screen must be narrower than the largest editor";

    struct SizeCase
    {
        uint32_t width, height, adjustedWidth, adjustedHeight;
    };

    const SizeCase cases[] = {
        { 800, 360, 800, 360 },         { 1380, 621, 1380, 621 },
        { 0, 0, 800, 360 },             { 1, 1, 800, 360 },
        { 100000, 100000, 1380, 621 },  { 1381, 622, 1380, 621 },
        { 5000, 1, 800, 360 },          { 1, 5000, 800, 360 },
    };

    for (const auto& c : cases)
    {
        auto width = c.width, height = c.height;
        ASSERT_TRUE (gui->adjust_size (plugin, &width, &height));
        EXPECT_EQ (std::make_pair (width, height), std::make_pair (c.adjustedWidth, c.adjustedHeight))
            << "adjusting " << c.width << " x " << c.height;
        EXPECT_EQ (gui->set_size (plugin, c.width, c.height), c.width == c.adjustedWidth && c.height == c.adjustedHeight)
            << "setting " << c.width << " x " << c.height;
    }

    for (auto [width, height] : { std::make_pair (799u, 360u), std::make_pair (800u, 359u), std::make_pair (1381u, 621u),
                                  std::make_pair (1380u, 622u), std::make_pair (1000u, 1000u) })
        EXPECT_FALSE (gui->set_size (plugin, width, height)) << width << " x " << height;
}

TEST_F (ClapPluginGui, EverySizeAdjustSizeGivesIsSetAsItIsAndAdjustsNoFurther)
{
    auto* plugin = host.plugin();
    ASSERT_TRUE (gui->create (plugin, CLAP_WINDOW_API_X11, false));

    std::vector<std::string> failures;

    for (uint32_t requestedWidth = 600; requestedWidth < 1600; requestedWidth += 7)
    {
        for (uint32_t requestedHeight = 250; requestedHeight < 750; requestedHeight += 25)
        {
            uint32_t width = requestedWidth, height = requestedHeight;
            ASSERT_TRUE (gui->adjust_size (plugin, &width, &height));

            auto againWidth = width, againHeight = height;
            ASSERT_TRUE (gui->adjust_size (plugin, &againWidth, &againHeight));

            uint32_t reportedWidth = 0, reportedHeight = 0;
            const auto wasSet = gui->set_size (plugin, width, height);
            gui->get_size (plugin, &reportedWidth, &reportedHeight);

            if (againWidth != width || againHeight != height || ! wasSet || reportedWidth != width || reportedHeight != height)
                failures.push_back (std::to_string (requestedWidth) + " x " + std::to_string (requestedHeight) + " adjusted to "
                                    + std::to_string (width) + " x " + std::to_string (height) + ", then to "
                                    + std::to_string (againWidth) + " x " + std::to_string (againHeight)
                                    + (wasSet ? "" : ", refused by set_size"));
        }
    }

    EXPECT_TRUE (failures.empty()) << failures.size() << " failures, the first: " << failures.front();
}

TEST_F (ClapPluginGui, HostScaleMagnifiesTheEditorAndItsLimitsInPhysicalPixels)
{
    auto* plugin = host.plugin();
    EXPECT_FALSE (gui->set_scale (plugin, 2.0)) << "a scale before the editor exists";

    clap_window_t window {};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = parent;

    const auto screenWidth = (double) DisplayWidth (display, DefaultScreen (display));
    const auto screenHeight = (double) DisplayHeight (display, DefaultScreen (display));

    for (const auto scale : { 1.0, 1.5, 2.0 })
    {
        SCOPED_TRACE ("scale " + std::to_string (scale));
        ASSERT_TRUE (gui->create (plugin, CLAP_WINDOW_API_X11, false));

        for (const auto refused : { 0.0, -1.0, 0.25, 10.0, std::nan ("") })
            EXPECT_FALSE (gui->set_scale (plugin, refused)) << refused;

        ASSERT_TRUE (gui->set_scale (plugin, scale));
        const auto physical = [scale] (double units) { return (uint32_t) std::lround (units * scale); };

        uint32_t width = 0, height = 0;
        ASSERT_TRUE (gui->get_size (plugin, &width, &height));
        EXPECT_EQ (std::make_pair (width, height), std::make_pair (physical (920), physical (414)));

        // The limits grow with the scale; the shape stays.
        clap_gui_resize_hints_t hints {};
        ASSERT_TRUE (gui->get_resize_hints (plugin, &hints));
        EXPECT_TRUE (hints.preserve_aspect_ratio);
        EXPECT_EQ (std::make_pair (hints.aspect_ratio_width, hints.aspect_ratio_height), std::make_pair (20u, 9u));

        uint32_t smallest = 1, smallestHeight = 1, largest = 100000, largestHeight = 100000;
        ASSERT_TRUE (gui->adjust_size (plugin, &smallest, &smallestHeight));
        ASSERT_TRUE (gui->adjust_size (plugin, &largest, &largestHeight));
        EXPECT_EQ (std::make_pair (smallest, smallestHeight), std::make_pair (physical (800), physical (360)));
        EXPECT_EQ (std::make_pair (largest, largestHeight), std::make_pair (physical (1380), physical (621)));

        ASSERT_TRUE (gui->set_parent (plugin, &window));
        ASSERT_TRUE (gui->show (plugin));

        // Set the host's window to the smallest size first and back, as a host does after a
        // change of scale; the X window follows in physical pixels.
        ASSERT_TRUE (gui->set_size (plugin, smallest, smallestHeight));
        EXPECT_TRUE (pumpUntil ([&] { return editorWindowIs (smallest, smallestHeight); })) << lastGeometry;
        ASSERT_TRUE (gui->set_size (plugin, width, height));
        EXPECT_TRUE (pumpUntil ([&] { return editorWindowIs (width, height); })) << lastGeometry;

        // What is drawn is the editor at its design size, magnified: points of the design
        // space land at their colours, the first timer tick having lit the LPF button.
        struct DesignPoint { double x, y; unsigned long rgb; const char* what; };
        const DesignPoint points[] = {
            { 525.0, 300.0, 0x050b12, "left panel" },
            { 560.0, 370.0, 0x050b12, "right panel" },
            { 571.0, 86.0,  0x040910, "graph background" },
            { 95.0,  193.0, 0x121e2c, "cutoff knob's body, half way down" },
            { 673.0, 309.0, 0x005fcc, "LPF lit" },
            { 747.0, 309.0, 0x0b1420, "HPF off" },
        };

        pumpFor (20);
        const auto visibleWidth = (uint32_t) std::min ((double) width, screenWidth);
        const auto visibleHeight = (uint32_t) std::min ((double) height, screenHeight);
        auto* image = XGetImage (display, parent, 0, 0, visibleWidth, visibleHeight, AllPlanes, ZPixmap);
        ASSERT_NE (image, nullptr);

        for (const auto& point : points)
        {
            const auto x = (int) (point.x * scale), y = (int) (point.y * scale);

            if (x >= (int) visibleWidth || y >= (int) visibleHeight)
                continue; // beyond the screen at this scale

            const auto pixel = XGetPixel (image, x, y) & 0xffffff;
            const auto channelsDiffer = [] (unsigned long a, unsigned long b)
            {
                int largest = 0;
                for (int shift : { 0, 8, 16 })
                    largest = std::max (largest, std::abs ((int) ((a >> shift) & 0xff) - (int) ((b >> shift) & 0xff)));
                return largest;
            };

            EXPECT_LE (channelsDiffer (pixel, point.rgb), 3)
                << point.what << " at (" << x << ", " << y << ") is " << std::hex << pixel << ", expected " << point.rgb;
        }

        XDestroyImage (image);
        gui->destroy (plugin);
        EXPECT_TRUE (pumpUntil ([&] { return children().empty(); }));
    }

    for (auto& entry : host.takeLog())
        ADD_FAILURE() << entry.message;
}

TEST_F (ClapPluginGui, EditorsOfTwoInstancesLiveSideBySide)
{
    ClapTestHost secondHost { library };
    ASSERT_TRUE (secondHost.createPlugin());
    auto* second = secondHost.plugin();
    auto* secondGui = secondHost.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);

    clap_window_t window {};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = parent;

    ASSERT_TRUE (gui->create (host.plugin(), CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE (secondGui->create (second, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE (gui->set_parent (host.plugin(), &window));
    ASSERT_TRUE (secondGui->set_parent (second, &window));
    EXPECT_TRUE (pumpUntil ([&] { secondHost.runTimers(); return children().size() == 2; }));

    // The first instance goes first; the second's editor keeps working on the shared framework.
    gui->destroy (host.plugin());
    host.destroyPlugin();
    EXPECT_TRUE (pumpUntil ([&] { secondHost.runTimers(); return children().size() == 1; }));

    secondGui->destroy (second);
    secondHost.destroyPlugin();
    XSync (display, False);
    EXPECT_TRUE (children().empty());
}

TEST (ClapPluginGuiResizedFromInside, AsksTheHostToFollow)
{
    XSetErrorHandler (countXError);
    xErrorsSeen = 0;
    Display* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr);

    {
        ClapTestLibrary library { TESSALINE_CLAP_TEST_HOOKS_PATH };
        ASSERT_TRUE (library.isLoaded()) << library.getError();
        ClapTestHost host { library };
        ASSERT_TRUE (host.createPlugin());
        auto* plugin = host.plugin();
        const auto& gui = *host.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
        const auto& hooks = *host.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);

        const auto parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1500, 800, 0, 0, 0);
        XMapWindow (display, parent);
        XSync (display, False);

        ASSERT_TRUE (gui.create (plugin, CLAP_WINDOW_API_X11, false));
        clap_window_t window {};
        window.api = CLAP_WINDOW_API_X11;
        window.x11 = parent;
        ASSERT_TRUE (gui.set_parent (plugin, &window));

        uint32_t width = 0, height = 0;
        ASSERT_TRUE (gui.get_size (plugin, &width, &height));

        ASSERT_TRUE (gui.can_resize (plugin));
        uint32_t newWidth = width - 20, newHeight = height - 20;
        ASSERT_TRUE (gui.adjust_size (plugin, &newWidth, &newHeight));
        ASSERT_TRUE (hooks.resize_editor (plugin, newWidth, newHeight));
        ASSERT_EQ (host.resizeRequests.size(), 1u);
        EXPECT_EQ (host.resizeRequests.front(), std::make_pair (newWidth, newHeight));

        // A drag of the corner all over the place: the host can follow every size the editor
        // asks for, and adjusting such a size leaves it as it is.
        for (uint32_t step = 0; step < 400; ++step)
        {
            const auto requestsBefore = host.resizeRequests.size();
            ASSERT_TRUE (hooks.resize_editor (plugin, 700 + (step * 37) % 800, 300 + (step * 53) % 400));

            if (host.resizeRequests.size() == requestsBefore)
                continue;

            auto [askedWidth, askedHeight] = host.resizeRequests.back();
            auto adjustedWidth = askedWidth, adjustedHeight = askedHeight;
            ASSERT_TRUE (gui.adjust_size (plugin, &adjustedWidth, &adjustedHeight));
            EXPECT_EQ (std::make_pair (adjustedWidth, adjustedHeight), std::make_pair (askedWidth, askedHeight));
            EXPECT_TRUE (gui.set_size (plugin, askedWidth, askedHeight)) << askedWidth << " x " << askedHeight;
        }

        EXPECT_GT (host.resizeRequests.size(), 100u);

        gui.destroy (plugin);
        host.destroyPlugin();
        XDestroyWindow (display, parent);
        XSync (display, False);
    }

    XCloseDisplay (display);
    EXPECT_EQ (xErrorsSeen, 0);
}

TEST (ClapPluginGuiResizedFromInside, AsksTheHostForThePhysicalSizeAtTheHostsScale)
{
    XSetErrorHandler (countXError);
    xErrorsSeen = 0;
    Display* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr);

    {
        ClapTestLibrary library { TESSALINE_CLAP_TEST_HOOKS_PATH };
        ASSERT_TRUE (library.isLoaded()) << library.getError();
        ClapTestHost host { library };
        ASSERT_TRUE (host.createPlugin());
        auto* plugin = host.plugin();
        const auto& gui = *host.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
        const auto& hooks = *host.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);

        const auto parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1200, 800, 0, 0, 0);
        XMapWindow (display, parent);
        XSync (display, False);

        ASSERT_TRUE (gui.create (plugin, CLAP_WINDOW_API_X11, false));
        ASSERT_TRUE (gui.set_scale (plugin, 1.5));
        clap_window_t window {};
        window.api = CLAP_WINDOW_API_X11;
        window.x11 = parent;
        ASSERT_TRUE (gui.set_parent (plugin, &window));

        // The corner works in the editor's own units; the host hears of the window's pixels,
        // a size it can set as it is.
        struct CornerCase { uint32_t editorWidth, editorHeight, windowWidth, windowHeight; };
        const CornerCase cases[] = { { 1000, 450, 1500, 675 }, { 800, 360, 1200, 540 }, { 1380, 621, 2070, 932 } };

        for (const auto& c : cases)
        {
            ASSERT_TRUE (hooks.resize_editor (plugin, c.editorWidth, c.editorHeight));
            ASSERT_FALSE (host.resizeRequests.empty());
            EXPECT_EQ (host.resizeRequests.back(), std::make_pair (c.windowWidth, c.windowHeight)) << c.editorWidth;

            uint32_t width = 0, height = 0;
            ASSERT_TRUE (gui.get_size (plugin, &width, &height));
            EXPECT_EQ (std::make_pair (width, height), std::make_pair (c.windowWidth, c.windowHeight));

            auto adjustedWidth = width, adjustedHeight = height;
            ASSERT_TRUE (gui.adjust_size (plugin, &adjustedWidth, &adjustedHeight));
            EXPECT_EQ (std::make_pair (adjustedWidth, adjustedHeight), std::make_pair (width, height));
            EXPECT_TRUE (gui.set_size (plugin, width, height));
        }

        gui.destroy (plugin);
        host.destroyPlugin();
        XDestroyWindow (display, parent);
        XSync (display, False);
    }

    XCloseDisplay (display);
    EXPECT_EQ (xErrorsSeen, 0);
}

TEST_F (ClapPluginGui, JuceRunsOnTheThreadThatInitialisesEvenWhenCreatedOnAnother)
{
    host.destroyPlugin(); // only the instance below runs JUCE

    ClapTestLibrary hooksLibrary { TESSALINE_CLAP_TEST_HOOKS_PATH };
    ASSERT_TRUE (hooksLibrary.isLoaded()) << hooksLibrary.getError();
    ClapTestHost otherHost { hooksLibrary };

    bool created = false;
    std::thread ([&] { created = otherHost.instantiatePlugin(); }).join();
    ASSERT_TRUE (created);
    ASSERT_TRUE (otherHost.initialisePlugin());

    auto* plugin = otherHost.plugin();
    const auto& hooks = *otherHost.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);
    EXPECT_TRUE (hooks.is_message_thread (plugin));

    ASSERT_TRUE (showsPaintedEditor (otherHost));

    const auto& params = *otherHost.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    clap_param_info_t info {};
    ASSERT_TRUE (params.get_info (plugin, 0, &info));
    ClapTestEventList events;
    events.addValue (info.id, 0.25);
    params.flush (plugin, events.input(), events.output());
    double value = -1.0;
    ASSERT_TRUE (params.get_value (plugin, info.id, &value));
    EXPECT_NEAR (value, 0.25, 1.0e-3); // the parameter keeps its own resolution

    otherHost.extension<clap_plugin_gui_t> (CLAP_EXT_GUI)->destroy (plugin);
    EXPECT_TRUE (pumpUntil ([&] { otherHost.runTimers(); return children().empty(); }));
    otherHost.destroyPlugin();

    for (auto& entry : otherHost.takeLog())
        ADD_FAILURE() << entry.message;
}

TEST_F (ClapPluginGui, SurvivesInstancesGoingWithOpenEditorsAndTheLibraryReloading)
{
    // Instances go with their editors open: first one of two, then the last, which shuts JUCE
    // down; it starts again for the next instance.
    {
        ClapTestHost secondHost { library };
        ASSERT_TRUE (secondHost.createPlugin());

        ASSERT_TRUE (showsPaintedEditor (host));
        host.destroyPlugin();
        EXPECT_TRUE (pumpUntil ([&] { secondHost.runTimers(); return children().empty(); }));

        ASSERT_TRUE (showsPaintedEditor (secondHost));
        secondHost.destroyPlugin();
        EXPECT_TRUE (pumpUntil ([&] { return children().empty(); }));
    }

    ASSERT_TRUE (host.createPlugin());
    ASSERT_TRUE (showsPaintedEditor (host));
    host.destroyPlugin();
    EXPECT_TRUE (pumpUntil ([&] { return children().empty(); }));

    // The library is unloaded and loaded again, as hosts do after a scan.
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE ("load " + std::to_string (round));

        {
            ClapTestLibrary reloaded { TESSALINE_CLAP_TEST_HOOKS_PATH };
            ASSERT_TRUE (reloaded.isLoaded()) << reloaded.getError();
            ClapTestHost otherHost { reloaded };
            ASSERT_TRUE (otherHost.createPlugin());
            ASSERT_TRUE (showsPaintedEditor (otherHost));
            otherHost.destroyPlugin();
            EXPECT_TRUE (pumpUntil ([&] { return children().empty(); }));

            for (auto& entry : otherHost.takeLog())
                ADD_FAILURE() << entry.message;
        }

        auto* stillLoaded = dlopen (TESSALINE_CLAP_TEST_HOOKS_PATH, RTLD_NOW | RTLD_NOLOAD);
        EXPECT_EQ (stillLoaded, nullptr) << "the library stayed in memory after dlclose";

        if (stillLoaded != nullptr)
            dlclose (stillLoaded);
    }

    for (auto& entry : host.takeLog())
        ADD_FAILURE() << entry.message;
}

TEST_F (ClapPluginGui, RaisesNoXErrorWhileTheEditorRunsOnABareServer)
{
    ASSERT_TRUE (showsPaintedEditor (host));

    // The editor's timer, repaints and visibility checks, for a good number of host ticks.
    for (int tick = 0; tick < 100; ++tick)
    {
        setFromHost ("Cutoff", (tick % 10) / 10.0);
        host.runTimers();
        XSync (display, False);
    }

    gui->hide (host.plugin());
    gui->show (host.plugin());
    pumpFor (10);
    gui->destroy (host.plugin());
    XSync (display, False);
    EXPECT_EQ (xErrorsSeen, 0);
}

namespace
{
    struct OpenOnEditorCase
    {
        const char* what;
        tessaline_clap_test_hooks_open open;
        bool destroyWholeInstance; // else only the GUI goes
    };
}

TEST_F (ClapPluginGui, GoesAwayAtAnyMomentWithMenusAndDialogsOpen)
{
    host.destroyPlugin(); // only the instances below run JUCE

    ClapTestLibrary hooksLibrary { TESSALINE_CLAP_TEST_HOOKS_PATH };
    ASSERT_TRUE (hooksLibrary.isLoaded()) << hooksLibrary.getError();

    const OpenOnEditorCase cases[] = {
        { "popup menu, GUI destroyed",        TESSALINE_TEST_OPEN_POPUP_MENU,   false },
        { "dialog window, GUI destroyed",     TESSALINE_TEST_OPEN_ALERT_WINDOW, false },
        { "modal child, GUI destroyed",       TESSALINE_TEST_OPEN_MODAL_CHILD,  false },
        { "popup menu, instance destroyed",   TESSALINE_TEST_OPEN_POPUP_MENU,   true },
        { "dialog window, instance destroyed", TESSALINE_TEST_OPEN_ALERT_WINDOW, true },
        { "modal child, instance destroyed",  TESSALINE_TEST_OPEN_MODAL_CHILD,  true },
    };

    // A second instance keeps JUCE running, so what the first leaves behind would still run.
    ClapTestHost witness { hooksLibrary };
    ASSERT_TRUE (witness.createPlugin());
    const auto& witnessHooks = *witness.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ClapTestHost otherHost { hooksLibrary };
        ASSERT_TRUE (otherHost.createPlugin());
        auto* plugin = otherHost.plugin();
        const auto& hooks = *otherHost.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);

        ASSERT_TRUE (showsPaintedEditor (otherHost));
        ASSERT_TRUE (hooks.open_on_editor (plugin, c.open));
        EXPECT_TRUE (pumpUntil ([&] { otherHost.runTimers(); return hooks.count_modal (plugin) > 0; }));

        if (c.destroyWholeInstance)
            otherHost.destroyPlugin();
        else
            otherHost.extension<clap_plugin_gui_t> (CLAP_EXT_GUI)->destroy (plugin);

        // Nothing of the editor stays open, and what it left runs without it.
        EXPECT_EQ (witnessHooks.count_modal (witness.plugin()), 0u);
        pumpFor (20);
        witness.runTimers();
        EXPECT_EQ (witnessHooks.count_modal (witness.plugin()), 0u);
        EXPECT_TRUE (pumpUntil ([&] { witness.runTimers(); return children().empty(); }));

        otherHost.destroyPlugin();

        for (auto& entry : otherHost.takeLog())
            ADD_FAILURE() << entry.message;
    }

    witness.destroyPlugin();
}

//==============================================================================
namespace
{
    /** A user at the server: pointer moves, clicks and key presses through the XTest extension,
        so they reach the editor's windows as real input does. */
    struct XUser
    {
        Display* display;

        void moveTo (Window window, int x, int y) const
        {
            int rootX = 0, rootY = 0;
            Window child = 0;
            XTranslateCoordinates (display, window, DefaultRootWindow (display), x, y, &rootX, &rootY, &child);
            XTestFakeMotionEvent (display, -1, rootX, rootY, CurrentTime);
            XFlush (display);
        }

        void click (Window window, int x, int y) const
        {
            moveTo (window, x, y);
            XTestFakeButtonEvent (display, 1, True, CurrentTime);
            XTestFakeButtonEvent (display, 1, False, CurrentTime);
            XFlush (display);
        }

        void press (KeySym key) const
        {
            const auto code = XKeysymToKeycode (display, key);
            XTestFakeKeyEvent (display, code, True, CurrentTime);
            XTestFakeKeyEvent (display, code, False, CurrentTime);
            XFlush (display);
        }

        /** A viewable top-level window other than the host's own: the editor's dialogs are
            windows of their own. */
        Window otherTopLevel (Window hostWindow) const
        {
            Window root, parentOfRoot, *list = nullptr;
            unsigned int count = 0;
            XQueryTree (display, DefaultRootWindow (display), &root, &parentOfRoot, &list, &count);
            Window found = 0;

            for (unsigned int i = 0; i < count; ++i)
            {
                XWindowAttributes attributes {};
                XGetWindowAttributes (display, list[i], &attributes);

                if (list[i] != hostWindow && attributes.map_state == IsViewable && attributes.c_class == InputOutput)
                    found = list[i];   // the last is the topmost
            }

            if (list != nullptr)
                XFree (list);

            return found;
        }
    };

    /** The preset bar's buttons, by their centres in the editor's design units. */
    struct BarButton { const char* name; int x, y; };
    constexpr BarButton saveButton { "Save", 651, 41 }, loadButton { "Load", 693, 41 }, menuButton { "Menu", 870, 41 };

    std::string userPresetsFolder()
    {
        return std::string (std::getenv ("HOME")) + "/.config/Tessaline/Presets";
    }

    bool fileExists (const std::string& path)
    {
        return std::ifstream (path).good();
    }
}

TEST_F (ClapPluginGui, PresetBarWindowsGoWithTheGuiAndASavedPresetReachesTheNextEditor)
{
    host.destroyPlugin(); // the instance below runs JUCE

    ClapTestLibrary hooksLibrary { TESSALINE_CLAP_TEST_HOOKS_PATH };
    ASSERT_TRUE (hooksLibrary.isLoaded()) << hooksLibrary.getError();
    ClapTestHost pluginHost { hooksLibrary };
    ASSERT_TRUE (pluginHost.createPlugin());
    auto* plugin = pluginHost.plugin();
    const auto& hooks = *pluginHost.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);
    auto* pluginGui = pluginHost.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
    const XUser user { display };

    // The instance keeps processing while editors come and go.
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));
    pluginHost.runOnAudioThread ([&] { EXPECT_TRUE (plugin->start_processing (plugin)); });

    const auto processesFiniteAudio = [&]
    {
        std::vector<float> left (256, 0.25f), right (256, -0.25f), outLeft (256), outRight (256);
        float* inChannels[] = { left.data(), right.data() };
        float* outChannels[] = { outLeft.data(), outRight.data() };
        clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
        clap_audio_buffer_t out { outChannels, nullptr, 2, 0, 0 };
        ClapTestEventList events;
        auto context = ClapTestHost::processContext (in, out, 256, events.input(), events.output());
        clap_process_status status = CLAP_PROCESS_ERROR;
        pluginHost.runOnAudioThread ([&] { status = plugin->process (plugin, &context); });
        return status == CLAP_PROCESS_CONTINUE
            && std::all_of (outLeft.begin(), outLeft.end(), [] (float x) { return std::isfinite (x); });
    };

    const auto clickBarButton = [&] (const BarButton& button)
    {
        const auto windows = children();
        ASSERT_EQ (windows.size(), 1u);
        user.click (windows.front(), button.x, button.y);   // the editor opens at its design size
    };

    // The Save dialog, the Load menu and the main menu, each open when the host destroys the GUI.
    for (const auto& button : { saveButton, loadButton, menuButton })
    {
        SCOPED_TRACE (button.name);
        ASSERT_TRUE (showsPaintedEditor (pluginHost));
        clickBarButton (button);
        ASSERT_TRUE (pumpUntil ([&] { pluginHost.runTimers(); return hooks.count_modal (plugin) > 0; }));

        pluginGui->destroy (plugin);
        EXPECT_EQ (hooks.count_modal (plugin), 0u);
        pumpFor (20);
        pluginHost.runTimers();
        EXPECT_TRUE (processesFiniteAudio());
    }

    // Save with Return: the preset shown ("Init") is stored with the present values.
    ASSERT_TRUE (showsPaintedEditor (pluginHost));
    ASSERT_TRUE (hooks.edit_parameter (plugin, 0, 0.5));
    clickBarButton (saveButton);
    Window dialog = 0;
    ASSERT_TRUE (pumpUntil ([&] { pluginHost.runTimers(); return (dialog = user.otherTopLevel (parent)) != 0; }));
    user.moveTo (dialog, 40, 40);   // keys go to the window under the pointer on a server without a window manager
    pumpFor (5);
    user.press (XK_Return);

    const auto savedFile = userPresetsFolder() + "/Init.tslp";
    ASSERT_TRUE (pumpUntil ([&] { pluginHost.runTimers(); return fileExists (savedFile); }));
    EXPECT_TRUE (processesFiniteAudio());
    pluginGui->destroy (plugin);

    ASSERT_TRUE (showsPaintedEditor (pluginHost));
    char names[4096] = {};
    ASSERT_TRUE (hooks.user_bank_names (plugin, names, sizeof (names)));
    EXPECT_EQ (std::string (names), "Init") << "the next editor's user bank";
    pluginGui->destroy (plugin);

    pluginHost.runOnAudioThread ([&] { plugin->stop_processing (plugin); });
    plugin->deactivate (plugin);
    pluginHost.destroyPlugin();
    std::remove (savedFile.c_str());

    for (auto& entry : pluginHost.takeLog())
        ADD_FAILURE() << entry.message;
}

#include "targets/clap/ClapWindowSystem.h"

#include <juce_core/system/juce_TargetPlatform.h>

#if JUCE_LINUX || JUCE_BSD
 #include <dlfcn.h>
 #include <iterator>
#endif

void ClapWindowSystem::prepareForJuce() noexcept
{
   #if JUCE_LINUX || JUCE_BSD
    // Once per load of the library; JUCE keeps the atoms it found for as long as it runs.
    static const bool prepared = []
    {
        // libX11 is loaded the way JUCE loads it, so the plug-in keeps no link to it.
        auto* xlib = ::dlopen ("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);

        if (xlib == nullptr)
            return false;

        using Display = void;
        using OpenDisplay = Display* (*) (const char*);
        using InternAtoms = int (*) (Display*, char**, int, int, unsigned long*);
        using CloseDisplay = int (*) (Display*);

        auto openDisplay = reinterpret_cast<OpenDisplay> (::dlsym (xlib, "XOpenDisplay"));
        auto internAtoms = reinterpret_cast<InternAtoms> (::dlsym (xlib, "XInternAtoms"));
        auto closeDisplay = reinterpret_cast<CloseDisplay> (::dlsym (xlib, "XCloseDisplay"));
        Display* display = openDisplay != nullptr && internAtoms != nullptr && closeDisplay != nullptr
                             ? openDisplay (nullptr) : nullptr;

        if (display != nullptr)
        {
            // Every atom JUCE 7 asks for only if it exists.
            const char* names[] = {
                "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN",
                "_NET_WM_STATE_FULLSCREEN", "_NET_FRAME_EXTENTS", "_NET_WORKAREA", "_MOTIF_WM_HINTS",
                "_WIN_HINTS", "KWM_WIN_DECORATION", "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE",
                "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_COMBO",
                "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_FULLSCREEN",
                "_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_CLOSE", "_NET_WM_STATE_SKIP_TASKBAR",
                "_NET_WM_STATE_ABOVE",
            };
            unsigned long atoms[std::size (names)] {};
            internAtoms (display, const_cast<char**> (names), (int) std::size (names), 0 /* create */, atoms);
            closeDisplay (display);
        }

        // libX11 stays loaded: JUCE uses it next, and it does not take well to being unloaded.
        return display != nullptr;
    }();

    (void) prepared;
   #endif
}

#pragma once

/** What the platform's window system needs before JUCE starts inside a host. */
namespace ClapWindowSystem
{
    /** On X11: JUCE looks up the window manager's atoms (WM_STATE, _NET_WM_STATE, ...) only if
        they exist, and then uses the missing ones anyway, which raises BadAtom errors on an X
        server without a window manager; a host without an X error handler of its own is ended
        by Xlib's default one. Creating the atoms first (they live as long as the server, and
        creating an existing one changes nothing) keeps JUCE's requests valid. Elsewhere nothing. */
    void prepareForJuce() noexcept;
}

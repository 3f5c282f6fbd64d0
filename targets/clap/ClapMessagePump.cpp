#include "targets/clap/ClapMessagePump.h"

#include <juce_events/juce_events.h>

#if JUCE_LINUX || JUCE_BSD
 #include <juce_events/native/juce_linux_EventLoopInternal.h>
 #include <poll.h>
 #include <vector>
#endif

void ClapMessagePump::dispatchPendingMessages()
{
   #if JUCE_LINUX || JUCE_BSD
    // On Linux JUCE's loop is a set of file descriptors (its message queue, the X connection)
    // with callbacks. Both callbacks return at once when they have nothing to do, so the first
    // round runs them all: Xlib may already hold events it read while painting, which never
    // makes the socket readable again. Later rounds poll without waiting and run the ready ones,
    // so messages posted by the callbacks (repaints, async updates) run in the same tick; the
    // cap keeps a busy queue from holding the host's main thread.
    constexpr int maxRounds = 8;

    for (auto fd : juce::LinuxEventLoopInternal::getRegisteredFds())
        juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (fd);

    for (int round = 1; round < maxRounds; ++round)
    {
        std::vector<pollfd> descriptors;

        for (auto fd : juce::LinuxEventLoopInternal::getRegisteredFds())
            descriptors.push_back ({ fd, POLLIN, 0 });

        if (descriptors.empty() || ::poll (descriptors.data(), descriptors.size(), 0) <= 0)
            return;

        for (const auto& descriptor : descriptors)
            if (descriptor.revents != 0)
                juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (descriptor.fd);
    }
   #else
    // Elsewhere JUCE's messages ride on the host's own native event loop.
   #endif
}

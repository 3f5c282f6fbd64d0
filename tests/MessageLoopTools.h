#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace juce
{
    // The framework's own Linux message pump step (its plug-in wrappers declare it the same way).
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

/** Runs the message loop in tests, as a host's event loop would. */
namespace MessageLoopTools
{
    /** Delivers everything posted to the message queue so far. */
    inline void deliverPendingMessages()
    {
        while (juce::dispatchNextMessageOnSystemQueue (true)) {}
    }

    /** Delivers messages until the condition holds; the deadline only guards against a hang. */
    inline bool deliverUntil (const std::function<bool()>& condition, int giveUpAfterMs = 5000)
    {
        const auto giveUpAt = juce::Time::getMillisecondCounter() + (juce::uint32) giveUpAfterMs;

        while (! condition())
        {
            if (juce::Time::getMillisecondCounter() > giveUpAt)
                return false;

            deliverPendingMessages();
            juce::Thread::sleep (2);
        }

        return true;
    }
}

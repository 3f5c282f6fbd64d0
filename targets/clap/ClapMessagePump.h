#pragma once

/** Runs JUCE's message loop inside a host that owns the main thread. The host calls
    dispatchPendingMessages on its main thread (from a timer it drives); each call handles
    whatever JUCE's message queue and window-system connection have ready, and returns at once
    when nothing is pending. */
class ClapMessagePump final
{
public:
    static void dispatchPendingMessages();

    /** How often the host is asked to call in: fast enough for 60 Hz repaints. */
    static constexpr unsigned int periodMs = 15;

private:
    ClapMessagePump() = delete;
};

#pragma once

/** The JACK library reports a missing server on stderr each time JUCE looks for one ("Cannot
    connect to server socket", "jack server is not running...") and again when JUCE's probe
    client is torn down; on a machine without JACK that is a dozen lines of noise at every start.
    The program says itself which device it opened, so those reports go nowhere. (ALSA's are
    already silenced by JUCE's ALSA device type.) */
class AudioLibraryProbing final
{
public:
    /** Must run before JUCE first probes JACK; harmless when the JACK library is not installed. */
    static void silence();
};

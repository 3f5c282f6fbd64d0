// The VST3 build's editor as JUCE's own VST3 hosting shows it: in a real X window on a virtual
// display, with the host's run loop carrying the plug-in's events, opened, sized, resized within
// its limits and closed while an audio thread processes.

#include "tests/MessageLoopTools.h"
#include "tests/XErrorCounter.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace
{
    /** The host's event loop for a while: JUCE's own, which also serves the plug-in's run loop. */
    void runMessageLoop (int milliseconds)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;
        MessageLoopTools::deliverUntil ([end] { return juce::Time::getMillisecondCounter() >= end; }, milliseconds + 1000);
    }

    /** Audio through the instance on a thread of its own for as long as it lives. */
    class AudioThread final
    {
    public:
        explicit AudioThread (juce::AudioPluginInstance& instanceToUse)
            : instance (instanceToUse), thread ([this] { run(); })
        {
        }

        ~AudioThread()
        {
            stop = true;
            thread.join();
        }

        std::atomic<int> blocks { 0 };
        std::atomic<bool> allFinite { true };

    private:
        void run()
        {
            juce::AudioBuffer<float> buffer (2, 512);
            juce::MidiBuffer midi;

            while (! stop)
            {
                for (int channel = 0; channel < 2; ++channel)
                    for (int i = 0; i < buffer.getNumSamples(); ++i)
                        buffer.setSample (channel, i, 0.3f * std::sin (0.05f * (float) (blocks * 512 + i)));

                instance.processBlock (buffer, midi);

                for (int channel = 0; channel < 2; ++channel)
                    for (int i = 0; i < buffer.getNumSamples(); ++i)
                        if (! std::isfinite (buffer.getSample (channel, i)))
                            allFinite = false;

                ++blocks;
                std::this_thread::sleep_for (std::chrono::milliseconds (2));
            }
        }

        juce::AudioPluginInstance& instance;
        std::atomic<bool> stop { false };
        std::thread thread;
    };

    /** How many pixels of the window on screen are the editor's accent cyan (0xff00d2ff). */
    int accentPixelsOf (juce::Component& window)
    {
        auto* display = XOpenDisplay (nullptr);

        if (display == nullptr)
            return -1;

        const auto handle = (::Window) (juce::pointer_sized_uint) window.getWindowHandle();
        XWindowAttributes attributes {};
        XGetWindowAttributes (display, handle, &attributes);
        auto* image = XGetImage (display, handle, 0, 0, (unsigned) attributes.width, (unsigned) attributes.height, AllPlanes, ZPixmap);
        int count = 0;

        for (int y = 0; image != nullptr && y < image->height; ++y)
            for (int x = 0; x < image->width; ++x)
            {
                const auto pixel = XGetPixel (image, x, y);
                const auto red = (int) ((pixel >> 16) & 0xff), green = (int) ((pixel >> 8) & 0xff), blue = (int) (pixel & 0xff);

                if (red < 40 && std::abs (green - 0xd2) < 40 && blue > 215)
                    ++count;
            }

        if (image != nullptr)
            XDestroyImage (image);

        XCloseDisplay (display);
        return count;
    }
}

TEST (Vst3Editor, OpensResizesWithinItsLimitsAndClosesWhileAudioRuns)
{
    // JUCE 7's own windows (the host's here) raise BadAtom errors on a server without a window
    // manager; like a host, keep Xlib from ending the process over them.
    XErrorCounter::install();

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> descriptions;
    format.findAllTypesForFile (descriptions, TESSALINE_VST3_PATH);
    ASSERT_EQ (descriptions.size(), 1);

    juce::String error;
    auto instance = format.createInstanceFromDescription (*descriptions[0], 48000.0, 512, error);
    ASSERT_NE (instance, nullptr) << error;
    instance->prepareToPlay (48000.0, 512);

    {
        AudioThread audio (*instance);
        std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);

        juce::DocumentWindow window ("VST3 host", juce::Colours::black, 0);
        window.setContentNonOwned (editor.get(), true);
        window.setTopLeftPosition (10, 10);
        window.setVisible (true);
        runMessageLoop (2000);

        EXPECT_EQ (editor->getWidth(), 920);
        EXPECT_EQ (editor->getHeight(), 414);
        const auto accent = accentPixelsOf (window);
        EXPECT_GT (accent, 500) << "the window does not show the editor";
        std::cout << "accent pixels in the host's window: " << accent << std::endl;

        // Each size the host asks for is brought within the editor's limits and aspect ratio (to the
        // pixel: JUCE's VST3 wrapper rounds the width of a constrained size up).
        const struct { int width, height, expectedWidth, expectedHeight; } sizes[] = {
            { 1380, 621, 1380, 621 },
            { 3000, 3000, 1380, 621 },
            { 100, 100, 800, 360 },
            { 920, 414, 920, 414 },
        };

        for (const auto& size : sizes)
        {
            editor->setSize (size.width, size.height);
            runMessageLoop (500);
            EXPECT_NEAR (editor->getWidth(), size.expectedWidth, 1) << "asked " << size.width << " x " << size.height;
            EXPECT_EQ (editor->getHeight(), size.expectedHeight) << "asked " << size.width << " x " << size.height;
        }

        window.clearContentComponent();
        editor.reset();
        runMessageLoop (300);
        EXPECT_GT (audio.blocks.load(), 20);
        EXPECT_TRUE (audio.allFinite);
    }

    instance->releaseResources();
}

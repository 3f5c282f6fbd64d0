// An audio thread processes without pause while the main thread does everything a user and a
// host do at the same time: moves parameters, applies presets, undoes and redoes, saves and
// loads state, opens and closes the editor. Built under ThreadSanitizer by
// scripts/ci-tsan.sh, where any data race fails the run; in the normal build it checks that
// the audio stays finite and that the last state the main thread set is the one that holds.
//
// Each test does its rounds and then goes on with more until it has run for
// TESSALINE_THREAD_TEST_SECONDS (unset: no more than the rounds), so the TSan stage can give
// races the time to show while the normal build's run stays short.

#include "presets/PresetLibrary.h"
#include "processor/DecimalText.h"
#include "processor/ParameterIds.h"
#include "tests/MessageLoopTools.h"
#include "tests/ProcessorTestTools.h"
#include "tests/clap/ClapTestEventList.h"
#include "tests/clap/ClapTestHooks.h"
#include "tests/clap/ClapTestHost.h"
#include "tests/clap/ClapTestInputStream.h"
#include "tests/clap/ClapTestLibrary.h"
#include "tests/clap/ClapTestOutputStream.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
    constexpr int rounds = 40;

    /** Whether a test should do another round: until it has done its rounds, then until
        TESSALINE_THREAD_TEST_SECONDS have passed since it began. */
    struct Duration
    {
        explicit Duration (int atLeast) : minimumRounds (atLeast) {}

        bool wantsRound (int round) const
        {
            return round < minimumRounds || std::chrono::steady_clock::now() < end;
        }

        static std::chrono::steady_clock::duration fromEnvironment()
        {
            const auto* variable = std::getenv ("TESSALINE_THREAD_TEST_SECONDS");
            const std::string text = variable != nullptr ? variable : "";
            const auto seconds = juce::jlimit (0.0, 86400.0, DecimalText::leadingNumber (text.data(), text.size()));
            return std::chrono::duration_cast<std::chrono::steady_clock::duration> (std::chrono::duration<double> (seconds));
        }

        const int minimumRounds;
        const std::chrono::steady_clock::time_point end = std::chrono::steady_clock::now() + fromEnvironment();
    };

    /** Counts the blocks the audio thread got through and the samples it saw that were not
        finite, from the audio thread; read on the main thread. */
    struct AudioTally
    {
        std::atomic<int> blocks { 0 };
        std::atomic<int> nonFinite { 0 };
        std::atomic<bool> stop { false };

        /** Waits (without a clock) until the audio thread has done more blocks, so every step
            of the main thread overlaps processing. */
        void waitForBlocks (int count) const
        {
            const auto target = blocks.load() + count;

            while (blocks.load() < target && ! stop.load())
                std::this_thread::yield();
        }
    };

    void fillInput (std::vector<float>& channel, juce::Random& random)
    {
        for (auto& sample : channel)
            sample = random.nextFloat() * 1.6f - 0.8f;
    }

    int countNonFinite (const float* samples, size_t count)
    {
        int found = 0;

        for (size_t i = 0; i < count; ++i)
            found += std::isfinite (samples[i]) ? 0 : 1;

        return found;
    }
}

//==============================================================================
TEST (ThreadSafety, ProcessorKeepsProcessingWhileTheMainThreadChangesEverything)
{
    TessalineAudioProcessor processor;
    ProcessorTestTools::prepare (processor, 48000.0, 256);
    juce::ComboBox bankBox, presetBox;
    PresetLibrary library (processor.apvts, bankBox, presetBox, [] {});
    library.initialisePresets();
    ASSERT_GE (library.getFactoryPresets().size(), 2);

    AudioTally tally;

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> buffer (2, 256);
        std::vector<float> input (256);
        juce::Random random (7);
        juce::MidiBuffer midi;

        while (! tally.stop.load())
        {
            fillInput (input, random);
            buffer.copyFrom (0, 0, input.data(), 256);
            buffer.copyFrom (1, 0, input.data(), 256);
            processor.processBlock (buffer, midi);
            tally.nonFinite += countNonFinite (buffer.getReadPointer (0), 256) + countNonFinite (buffer.getReadPointer (1), 256);
            ++tally.blocks;
        }
    });

    juce::MemoryBlock lastSaved;
    tally.waitForBlocks (1);
    const Duration duration (rounds);

    for (int round = 0; duration.wantsRound (round); ++round)
    {
        // A knob gesture, recorded for undo, then every parameter moved as a host would.
        library.pushUndoSnapshot();
        ProcessorTestTools::setRaw (processor, ParameterIds::cutoff, 40.0f + 500.0f * (float) (round % 7));

        for (auto* parameter : processor.getParameters())
            parameter->setValueNotifyingHost ((float) ((round * 3 + parameter->getParameterIndex()) % 11) / 10.0f);

        tally.waitForBlocks (1);

        const auto& factory = library.getFactoryPresets();
        library.applyPreset (factory.getReference (round % factory.size()), true);
        tally.waitForBlocks (1);
        library.undo();
        library.redo();
        library.undo();

        processor.getStateInformation (lastSaved);
        processor.setStateInformation (lastSaved.getData(), (int) lastSaved.getSize());
        tally.waitForBlocks (1);

        // The editor opens, takes its timers' turns, and closes again.
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        editor->setSize (editor->getWidth(), editor->getHeight());
        MessageLoopTools::deliverPendingMessages();
        tally.waitForBlocks (1);
        processor.editorBeingDeleted (editor.get());
        editor.reset();

        // Oversampling switched from the main thread while the audio thread is inside a block.
        ProcessorTestTools::setRaw (processor, ParameterIds::oversampling, (float) (round % 2));
        tally.waitForBlocks (1);
    }

    processor.setStateInformation (lastSaved.getData(), (int) lastSaved.getSize());
    tally.waitForBlocks (2);
    tally.stop = true;
    audio.join();

    EXPECT_EQ (tally.nonFinite.load(), 0);
    EXPECT_GT (tally.blocks.load(), rounds * 5);

    juce::MemoryBlock finalState;
    processor.getStateInformation (finalState);
    EXPECT_EQ (finalState, lastSaved);
}

//==============================================================================
namespace
{
    /** A host window for the editor on the display the program runs under. */
    struct HostWindow
    {
        HostWindow()
        {
            display = XOpenDisplay (nullptr);

            if (display != nullptr)
            {
                window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1000, 800, 0, 0, 0);
                XMapWindow (display, window);
                XSync (display, False);
            }
        }

        ~HostWindow()
        {
            if (display != nullptr)
            {
                XDestroyWindow (display, window);
                XCloseDisplay (display);
            }
        }

        Display* display = nullptr;
        Window window = 0;
    };
}

TEST (ThreadSafety, ClapPluginKeepsProcessingWhileTheHostAndTheEditorChangeEverything)
{
    HostWindow hostWindow;
    ASSERT_NE (hostWindow.display, nullptr) << "no X display (run under xvfb-run)";

    ClapTestLibrary library { TESSALINE_CLAP_TEST_HOOKS_PATH };
    ASSERT_TRUE (library.isLoaded()) << library.getError();
    ClapTestHost host { library };
    ASSERT_TRUE (host.createPlugin());
    auto* plugin = host.plugin();
    const auto& params = *host.extension<clap_plugin_params_t> (CLAP_EXT_PARAMS);
    const auto& state = *host.extension<clap_plugin_state_t> (CLAP_EXT_STATE);
    const auto& gui = *host.extension<clap_plugin_gui_t> (CLAP_EXT_GUI);
    const auto* hooks = host.extension<tessaline_clap_test_hooks_t> (tessalineClapTestHooksId);
    ASSERT_NE (hooks, nullptr);

    constexpr uint32_t blockSize = 256;
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, blockSize));

    std::vector<clap_id> ids;

    for (uint32_t index = 0; index < params.count (plugin); ++index)
    {
        clap_param_info_t info {};
        params.get_info (plugin, index, &info);
        ids.push_back (info.id);
    }

    AudioTally tally;

    auto audio = host.startAudioThread ([&]
    {
        plugin->start_processing (plugin);
        std::vector<float> left (blockSize), right (blockSize), outLeft (blockSize), outRight (blockSize);
        juce::Random random (11);
        ClapTestEventList events;

        for (int block = 0; ! tally.stop.load(); ++block)
        {
            fillInput (left, random);
            fillInput (right, random);

            // Host automation inside the block, every block, alternating in place and separate buffers.
            events.clear();
            events.addValue (ids[(size_t) block % ids.size()], (double) (block % 10) / 9.0, (uint32_t) (block * 37) % blockSize);

            float* inChannels[] = { left.data(), right.data() };
            float* outChannels[] = { outLeft.data(), outRight.data() };
            clap_audio_buffer_t in { inChannels, nullptr, 2, 0, 0 };
            clap_audio_buffer_t out { block % 2 == 0 ? inChannels : outChannels, nullptr, 2, 0, 0 };
            auto context = ClapTestHost::processContext (in, out, blockSize, events.input(), events.output(), block * (int64_t) blockSize);
            plugin->process (plugin, &context);

            tally.nonFinite += countNonFinite (out.data32[0], blockSize) + countNonFinite (out.data32[1], blockSize);
            ++tally.blocks;
        }

        plugin->stop_processing (plugin);
    });

    std::vector<uint8_t> lastSaved;
    tally.waitForBlocks (1);
    const Duration duration (rounds / 4);

    for (int round = 0; duration.wantsRound (round); ++round)
    {
        // The editor opens in the host's window and is used while it is open.
        clap_window_t window {};
        window.api = CLAP_WINDOW_API_X11;
        window.x11 = hostWindow.window;
        ASSERT_TRUE (gui.create (plugin, CLAP_WINDOW_API_X11, false));
        ASSERT_TRUE (gui.set_parent (plugin, &window));
        ASSERT_TRUE (gui.show (plugin));

        for (int step = 0; step < 4; ++step)
        {
            host.runTimers();
            EXPECT_TRUE (hooks->edit_parameter (plugin, (uint32_t) (round + step) % (uint32_t) ids.size(), (double) step / 3.0));
            EXPECT_TRUE (hooks->drag_parameter (plugin, (uint32_t) step % (uint32_t) ids.size(), 5));

            double value = 0.0;
            char text[64];
            EXPECT_TRUE (params.get_value (plugin, ids[(size_t) step], &value));
            EXPECT_TRUE (params.value_to_text (plugin, ids[(size_t) step], value, text, sizeof (text)));
            tally.waitForBlocks (1);
        }

        ClapTestOutputStream out;
        ASSERT_TRUE (state.save (plugin, out.get()));
        lastSaved = out.bytes;
        ClapTestInputStream in (lastSaved);
        ASSERT_TRUE (state.load (plugin, in.get()));
        host.runTimers();
        tally.waitForBlocks (1);

        gui.hide (plugin);
        gui.destroy (plugin);
        host.runTimers();
        tally.waitForBlocks (1);
    }

    tally.stop = true;
    audio.join();
    plugin->deactivate (plugin);

    EXPECT_EQ (tally.nonFinite.load(), 0);
    EXPECT_GT (tally.blocks.load(), rounds);

    for (const auto& entry : host.takeLog())
        ADD_FAILURE() << "plug-in logged: " << entry.message;
}

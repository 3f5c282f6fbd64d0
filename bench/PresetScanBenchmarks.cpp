// Cost of opening the editor with a well-filled presets folder (1,000 preset files and 20 bank
// files of 10 presets each) against opening it with an empty one, in the same run: the
// difference is the folder scan the user waits for. Read the rows as a ratio.

#include "editor/TessalineAudioProcessorEditor.h"
#include "presets/PresetFiles.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{
    /** A HOME of its own for one benchmark, with the presets folder filled or left empty. */
    struct TemporaryPresetFolder
    {
        explicit TemporaryPresetFolder (int presetFiles, int bankFiles)
        {
            setenv ("HOME", home.getFile().getFullPathName().toRawUTF8(), 1);
            unsetenv ("XDG_CONFIG_HOME");
            [[maybe_unused]] const auto created = getPresetFolder().createDirectory();

            for (int i = 0; i < presetFiles; ++i)
            {
                Preset preset;
                preset.name = "Preset " + juce::String (i);
                preset.cutoff = 20.0f + (float) i;
                savePresetToFolder (preset);
            }

            for (int b = 0; b < bankFiles; ++b)
            {
                juce::Array<Preset> bank;

                for (int i = 0; i < 10; ++i)
                {
                    Preset preset;
                    preset.name = "Bank " + juce::String (b) + " Preset " + juce::String (i);
                    bank.add (preset);
                }

                writeBankFile (getPresetFolder().getChildFile ("Bank " + juce::String (b)), bank);
            }
        }

        ~TemporaryPresetFolder()   { [[maybe_unused]] const auto removed = home.getFile().deleteRecursively(); }

        juce::TemporaryFile home;
    };

    void openEditor (benchmark::State& state, int presetFiles, int bankFiles)
    {
        juce::ScopedJuceInitialiser_GUI framework;
        const TemporaryPresetFolder folder (presetFiles, bankFiles);
        TessalineAudioProcessor processor;

        for (auto _ : state)
        {
            std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
            benchmark::DoNotOptimize (editor.get());
            processor.editorBeingDeleted (editor.get());
        }
    }

    void openEditorWithEmptyPresetFolder (benchmark::State& state)   { openEditor (state, 0, 0); }
    void openEditorWithFullPresetFolder (benchmark::State& state)    { openEditor (state, 1000, 20); }
}

BENCHMARK (openEditorWithEmptyPresetFolder)->Unit (benchmark::kMillisecond);
BENCHMARK (openEditorWithFullPresetFolder)->Unit (benchmark::kMillisecond);

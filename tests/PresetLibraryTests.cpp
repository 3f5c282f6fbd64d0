#include "PresetTestTools.h"
#include "ProcessorTestTools.h"
#include "presets/PresetLibrary.h"
#include "processor/ParameterIds.h"

using namespace PresetTestTools;
using ProcessorTestTools::raw;
using ProcessorTestTools::setRaw;

namespace
{
    /** Counts the gestures and values the host is told about. */
    struct HostListener final : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override                { ++values; }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override              {}
        void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override     { begun.add (index); }
        void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override       { ended.add (index); }

        juce::Array<int> begun, ended;
        int values = 0;
    };

    /** A library over a processor and two boxes, as an editor holds it, with no window. */
    struct LibraryFixture : EmptyPresetFolder
    {
        TessalineAudioProcessor processor;
        juce::ComboBox bankBox, presetBox;
        int refreshes = 0;
        std::function<void()> duringRefresh;

        std::unique_ptr<PresetLibrary> library;

        void open()
        {
            library = std::make_unique<PresetLibrary> (processor.apvts, bankBox, presetBox, [this]
            {
                ++refreshes;

                if (duringRefresh != nullptr)
                    duringRefresh();
            });
            bankBox.onChange = [this] { library->bankBoxChanged(); };
            presetBox.onChange = [this] { library->presetBoxChanged(); };
            library->initialisePresets();
        }

        Preset present() const                           { return library->capturePreset ("now"); }
        juce::StringArray presetItems() const
        {
            juce::StringArray items;

            for (int i = 0; i < presetBox.getNumItems(); ++i)
                items.add (presetBox.getItemText (i));

            return items;
        }

        /** As the user picks an item: a change notification only when the selection changes. */
        void chooseInPresetBox (int id)                  { presetBox.setSelectedId (id, juce::sendNotificationSync); }
        void chooseBank (int id)                         { bankBox.setSelectedId (id, juce::sendNotificationSync); }

        /** One recorded step, as a knob gesture makes it: a snapshot, then a new value. */
        void recordedStep (float cutoff)
        {
            library->pushUndoSnapshot();
            setRaw (processor, ParameterIds::cutoff, cutoff);
        }
    };

    using PresetLibraryTest = LibraryFixture;
}

//==============================================================================
TEST_F (PresetLibraryTest, StartsWithTheFactoryBankShownAndNothingApplied)
{
    setRaw (processor, ParameterIds::cutoff, 777.0f);
    open();

    const struct { const char* name; float cutoff, resonance, drive, makeup; int mode, slope, oversampling; } table[] = {
        { "Init",         20000.0f, 0.0f,  1.0f, 0.0f, 0, 2, 1 },
        { "Warm LPF",     1200.0f,  0.28f, 1.8f, 3.0f, 0, 2, 1 },
        { "Acid Bass",    650.0f,   0.62f, 3.2f, 3.0f, 0, 1, 1 },
        { "Low Boom",     60.0f,    0.72f, 1.4f, 3.0f, 0, 2, 1 },
        { "Kick Cleanup", 38.0f,    0.0f,  1.0f, 0.0f, 1, 1, 0 },
        { "Drum Radio",   950.0f,   0.44f, 2.5f, 2.0f, 2, 1, 0 },
    };

    const auto& factory = library->getFactoryPresets();
    ASSERT_EQ (factory.size(), 6);

    for (int i = 0; i < 6; ++i)
    {
        const auto& row = table[i];
        Preset expected;
        expected.name = row.name;
        expected.cutoff = row.cutoff; expected.resonance = row.resonance; expected.drive = row.drive; expected.makeupGain = row.makeup;
        expected.mode = row.mode; expected.slope = row.slope; expected.oversampling = row.oversampling;
        EXPECT_TRUE (samePreset (factory[i], expected)) << row.name;
    }

    EXPECT_EQ (bankBox.getNumItems(), 2);
    EXPECT_EQ (bankBox.getItemText (0), "Factory");
    EXPECT_EQ (bankBox.getItemText (1), "User");
    EXPECT_EQ (bankBox.getSelectedId(), 1);
    EXPECT_EQ (presetItems(), namesOf (factory));
    EXPECT_EQ (presetBox.getText(), "Init");
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 777.0f);
    EXPECT_EQ (refreshes, 0);
}

TEST_F (PresetLibraryTest, ReadsBanksFirstThenSinglePresetsAndTheFirstBankNamesTheUserBank)
{
    writeToFolder ("b1.tslb", *makeBank ("First Bank", { makePreset ("B1a", 100.0f), makePreset ("B1b", 110.0f) }));
    writeToFolder ("b2.tslb", *makeBank ("", { makePreset ("B2a", 200.0f) }));   // no name attribute
    writeToFolder ("single.tslp", *createPresetXml (makePreset ("Single", 300.0f)));
    writeToFolder ("legacy.tslpreset", *createPresetXml (makePreset ("Legacy", 400.0f)));
    writeToFolder ("ignored.xml", *createPresetXml (makePreset ("Ignored", 500.0f)));
    [[maybe_unused]] const auto sub = folder().getChildFile ("sub.tslp").createDirectory();

    open();

    // The listing's order is the directory's own; nothing sorts it.
    const auto banks = folder().findChildFiles (juce::File::findFiles, false, "*.tslb");
    ASSERT_EQ (banks.size(), 2);
    const auto firstIsB1 = banks[0].getFileName() == "b1.tslb";

    const auto expected = firstIsB1 ? juce::StringArray { "B1a", "B1b", "B2a", "Single", "Legacy" }
                                    : juce::StringArray { "B2a", "B1a", "B1b", "Single", "Legacy" };
    EXPECT_EQ (namesOf (library->getUserPresets()), expected);
    EXPECT_EQ (library->getUserBankName(), firstIsB1 ? "First Bank" : "b2");

    chooseBank (2);
    EXPECT_EQ (bankBox.getText(), library->getUserBankName());
    EXPECT_EQ (presetItems(), expected);
}

TEST_F (PresetLibraryTest, DamagedAndOddFilesInTheFolderAreSkippedOrKeptAsStated)
{
    writeToFolder ("good.tslp", *createPresetXml (makePreset ("Good", 300.0f)));
    writeToFolder ("empty.tslp", "");
    writeToFolder ("malformed.tslb", "<TessalineBank><TessalinePreset");
    writeToFolder ("foreign.tslb", "<Other><TessalinePreset name=\"inside\"/></Other>");
    writeToFolder ("bank-as-preset.tslp", makeBank ("Wrong", { makePreset ("W", 1.0f) })->toString());
    writeToFolder ("wild.tslp", "<TessalinePreset name=\"Wild\" cutoff=\"1e30\" mode=\"99\" drive=\"nonsense\"/>");

    const auto before = snapshotOfFolder();
    open();

    EXPECT_EQ (library->getUserPresets().size(), 2);
    EXPECT_EQ (library->getUserBankName(), "User");
    EXPECT_EQ (snapshotOfFolder(), before);

    for (const auto& preset : library->getUserPresets())
    {
        if (preset.name == "Wild")
        {
            EXPECT_EQ (preset.mode, 99) << "kept as read; clamped only when applied";
        }
    }
}

TEST_F (PresetLibraryTest, WithNoFolderTheUserBankIsEmptyAndStaysUncreated)
{
    open();
    chooseBank (2);

    EXPECT_EQ (bankBox.getText(), "User");
    EXPECT_EQ (presetItems(), juce::StringArray { "No Presets" });

    const auto before = present();
    chooseInPresetBox (1);
    EXPECT_TRUE (sameValues (present(), before));
    EXPECT_EQ (refreshes, 0);
    EXPECT_FALSE (folder().exists());
}

//==============================================================================
TEST_F (PresetLibraryTest, ApplyingSetsEveryParameterInItsOwnGestureSnappedAndClamped)
{
    open();
    HostListener host;
    processor.addListener (&host);

    struct Case { Preset preset; float cutoff, resonance, drive, makeup; int mode, slope, oversampling; };
    auto wild = makePreset ("far above", 1.0e9f, 5.0f, 7);
    wild.drive = 100.0f; wild.makeupGain = 99.0f; wild.slope = 7; wild.oversampling = 7;
    auto low = makePreset ("far below", -1.0e9f, -5.0f, -1);
    low.drive = -3.0f; low.makeupGain = -99.0f; low.slope = -1; low.oversampling = -1;
    auto nan = makePreset ("not a number", std::numeric_limits<float>::quiet_NaN(), 0.5f);
    auto steps = makePreset ("between steps", 1000.04f, 0.5f, 1);

    const Case cases[] = {
        { wild,  20000.0f, 0.75f, 10.0f, 6.0f, 2, 2, 1 },
        { low,   20.0f,    0.0f,  1.0f,  0.0f, 0, 0, 0 },
        { nan,   20.0f,    0.5f,  2.0f,  1.5f, 0, 1, 0 },
        { steps, 1000.0f,  0.5f,  2.0f,  1.5f, 1, 1, 0 },
    };

    for (const auto& c : cases)
    {
        host.begun.clear(); host.ended.clear();
        library->applyPreset (c.preset, false);

        const auto name = c.preset.name;
        EXPECT_NEAR (raw (processor, ParameterIds::cutoff), c.cutoff, 0.01f) << name;
        EXPECT_NEAR (raw (processor, ParameterIds::resonance), c.resonance, 1.0e-6f) << name;
        EXPECT_NEAR (raw (processor, ParameterIds::drive), c.drive, 1.0e-5f) << name;
        EXPECT_NEAR (raw (processor, ParameterIds::makeupGain), c.makeup, 1.0e-5f) << name;
        EXPECT_EQ (raw (processor, ParameterIds::mode), (float) c.mode) << name;
        EXPECT_EQ (raw (processor, ParameterIds::slope), (float) c.slope) << name;
        EXPECT_EQ (raw (processor, ParameterIds::oversampling), (float) c.oversampling) << name;

        EXPECT_EQ (host.begun, juce::Array<int> ({ 0, 1, 2, 3, 4, 5, 6 })) << name;
        EXPECT_EQ (host.ended, host.begun) << name;
    }

    EXPECT_EQ (refreshes, 4);
    processor.removeListener (&host);
}

TEST_F (PresetLibraryTest, NothingIsRecordedWhileAPresetIsBeingAppliedEvenByNestedCalls)
{
    open();
    int nested = 0;

    // The editor's refresh runs inside applyPreset; a nested apply must leave the guard on.
    duringRefresh = [&]
    {
        if (nested++ == 0)
            library->applyPreset (makePreset ("inner", 500.0f), true);

        library->pushUndoSnapshot();
    };

    library->applyPreset (makePreset ("outer", 900.0f), true);

    EXPECT_EQ (library->getUndoHistory().size(), 1);   // the outer apply's own step only
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 500.0f);

    duringRefresh = nullptr;
    library->pushUndoSnapshot();
    EXPECT_EQ (library->getUndoHistory().size(), 2) << "the guard is off again afterwards";
}

//==============================================================================
TEST_F (PresetLibraryTest, UndoAndRedoStepThroughSixtyFourRecordedSteps)
{
    open();

    for (int step = 1; step <= 65; ++step)
        recordedStep (100.0f + (float) step);

    EXPECT_EQ (library->getUndoHistory().size(), 64);

    for (int undo = 1; undo <= 64; ++undo)
    {
        library->undo();
        EXPECT_EQ (raw (processor, ParameterIds::cutoff), 100.0f + (float) (65 - undo)) << undo;
    }

    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 101.0f) << "the oldest state was trimmed away";
    library->undo();
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 101.0f);
    EXPECT_EQ (library->getRedoHistory().size(), 64);

    for (int redo = 1; redo <= 64; ++redo)
        library->redo();

    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 165.0f);
    library->redo();
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 165.0f);
    EXPECT_LE (library->getUndoHistory().size() + library->getRedoHistory().size(), 64);
}

TEST_F (PresetLibraryTest, UndoThenRedoReturnsAndANewStepForgetsTheRedoHistory)
{
    open();
    chooseInPresetBox (3);   // Acid Bass, one step
    const auto acid = present();
    chooseInPresetBox (6);   // Drum Radio, another
    const auto drum = present();

    library->undo();
    EXPECT_TRUE (sameValues (present(), acid));
    EXPECT_EQ (presetBox.getText(), "Drum Radio") << "undo leaves the boxes alone";

    library->redo();
    EXPECT_TRUE (sameValues (present(), drum));

    library->undo();
    ASSERT_EQ (library->getRedoHistory().size(), 1);
    recordedStep (5000.0f);
    EXPECT_TRUE (library->getRedoHistory().isEmpty());

    library->redo();
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 5000.0f);
}

//==============================================================================
TEST_F (PresetLibraryTest, ChoosingPresetsAppliesThemAndSwitchingBanksAppliesNothing)
{
    savePresetToFolder (makePreset ("Mine", 2222.0f));
    open();

    chooseInPresetBox (3);
    EXPECT_TRUE (sameValues (present(), library->getFactoryPresets()[2]));
    EXPECT_EQ (library->getUndoHistory().size(), 1);

    const auto before = present();
    chooseBank (2);
    EXPECT_EQ (presetBox.getText(), "Mine");
    chooseBank (1);
    EXPECT_TRUE (sameValues (present(), before));
    EXPECT_EQ (presetBox.getText(), "Init");
    EXPECT_EQ (library->getUndoHistory().size(), 1);

    chooseBank (2);
    chooseInPresetBox (1);   // already selected: no change
    EXPECT_TRUE (sameValues (present(), before));
}

TEST_F (PresetLibraryTest, InitAppliesTheFirstFactoryPresetFromAnyBank)
{
    savePresetToFolder (makePreset ("Mine", 2222.0f));
    open();
    chooseBank (2);
    setRaw (processor, ParameterIds::cutoff, 2222.0f);

    library->resetToInit();

    EXPECT_EQ (bankBox.getSelectedId(), 1);
    EXPECT_EQ (presetBox.getText(), "Init");
    EXPECT_TRUE (sameValues (present(), library->getFactoryPresets()[0]));
    ASSERT_EQ (library->getUndoHistory().size(), 1);
    EXPECT_EQ (library->getUndoHistory()[0].cutoff, 2222.0f);
}

TEST_F (PresetLibraryTest, APresetWithoutANameHasNoItemButKeepsItsPlace)
{
    writeToFolder ("bank.tslb", *makeBank ("Gaps", { makePreset ("", 100.0f), makePreset ("Named", 200.0f) }));
    open();
    chooseBank (2);

    EXPECT_EQ (presetItems(), juce::StringArray { "Named" });
    EXPECT_EQ (presetBox.getItemId (0), 2);
    chooseInPresetBox (2);
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 200.0f);
}

//==============================================================================
TEST_F (PresetLibraryTest, SavingAddsThePresentValuesToTheUserBankAndTheFolder)
{
    open();
    setRaw (processor, ParameterIds::cutoff, 1234.5f);

    library->addSavedPreset ("My Bank", "Lead.Wide");
    library->addSavedPreset ("My Bank", "Lead.Narrow");

    EXPECT_EQ (library->getUserBankName(), "My Bank");
    EXPECT_EQ (bankBox.getSelectedId(), 2);
    EXPECT_EQ (bankBox.getText(), "My Bank");
    EXPECT_EQ (presetItems(), juce::StringArray ({ "Lead.Wide", "Lead.Narrow" }));
    EXPECT_EQ (presetBox.getSelectedId(), 2);
    EXPECT_TRUE (library->getUndoHistory().isEmpty());
    EXPECT_EQ (refreshes, 0) << "nothing is applied";

    for (const auto* file : { "Lead.Wide.tslp", "Lead.Narrow.tslp" })
    {
        Preset read;
        ASSERT_TRUE (readPresetFile (folder().getChildFile (file), read)) << file;
        EXPECT_EQ (read.cutoff, 1234.5f);
    }
}

TEST_F (PresetLibraryTest, LoadingAPresetFileTwiceAddsTwoEntriesAndOneCopy)
{
    const auto outside = juce::File::createTempFile ("outside.tslp");
    ASSERT_TRUE (createPresetXml (makePreset ("Outside", 4321.0f))->writeTo (outside));

    open();
    library->addLoadedPreset (outside);
    library->addLoadedPreset (outside);

    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 4321.0f);
    EXPECT_EQ (library->getUndoHistory().size(), 2);
    EXPECT_EQ (namesOf (library->getUserPresets()), juce::StringArray ({ "Outside", "Outside" }));
    EXPECT_EQ (presetBox.getSelectedId(), 2);
    EXPECT_EQ (folder().findChildFiles (juce::File::findFiles, false).size(), 1);
    EXPECT_TRUE (folder().getChildFile ("Outside.tslp").existsAsFile());

    // A file that is not a preset changes nothing.
    const auto bank = juce::File::createTempFile ("bank.tslb");
    ASSERT_TRUE (makeBank ("B", { makePreset ("x", 1.0f) })->writeTo (bank));
    library->addLoadedPreset (bank);
    EXPECT_EQ (library->getUserPresets().size(), 2);
    EXPECT_EQ (library->getUndoHistory().size(), 2);

    EXPECT_TRUE (outside.deleteFile());
    EXPECT_TRUE (bank.deleteFile());
}

TEST_F (PresetLibraryTest, ImportingThenExportingElsewhereLeavesWhatTheFolderHolds)
{
    savePresetToFolder (makePreset ("On Disk", 111.0f));
    const auto elsewhere = juce::File::createTempFile ("elsewhere");
    ASSERT_TRUE (elsewhere.createDirectory());
    const auto imported = elsewhere.getChildFile ("Imported.tslb");
    ASSERT_TRUE (makeBank ("Imported Bank", { makePreset ("I1", 600.0f), makePreset ("I2", 700.0f) })->writeTo (imported));

    open();
    library->importBank (imported);

    EXPECT_EQ (library->getUserBankName(), "Imported Bank");
    EXPECT_EQ (namesOf (library->getUserPresets()), juce::StringArray ({ "I1", "I2" }));
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 600.0f);
    EXPECT_EQ (presetBox.getText(), "I1");
    EXPECT_FALSE (folder().getChildFile ("Imported.tslb").exists()) << "an import is not copied";

    library->exportBank (elsewhere.getChildFile ("Out"), library->presetsToExport());

    EXPECT_TRUE (elsewhere.getChildFile ("Out.tslb").existsAsFile());
    EXPECT_EQ (namesOf (library->getUserPresets()), juce::StringArray { "On Disk" });
    EXPECT_EQ (bankBox.getText(), "Imported Bank") << "the bank box keeps the former name";
    EXPECT_EQ (presetItems(), juce::StringArray { "On Disk" });
    EXPECT_TRUE (elsewhere.deleteRecursively());
}

TEST_F (PresetLibraryTest, ExportingAnEmptyUserBankWritesThePresentValues)
{
    open();
    setRaw (processor, ParameterIds::drive, 4.5f);
    const auto target = folder().getChildFile ("Empty Export.tslb");
    ASSERT_TRUE (folder().createDirectory());

    library->exportBank (target, library->presetsToExport());

    juce::Array<Preset> written;
    juce::String name;
    ASSERT_TRUE (readBankFile (target, written, name));
    ASSERT_EQ (written.size(), 1);
    EXPECT_EQ (written[0].name, "User Preset");
    EXPECT_TRUE (sameValues (written[0], present()));

    // Exported into the presets folder, the bank is read back as the user bank.
    EXPECT_EQ (namesOf (library->getUserPresets()), juce::StringArray { "User Preset" });
}

TEST_F (PresetLibraryTest, RenameAndClearChangeOnlyTheSession)
{
    savePresetToFolder (makePreset ("Kept", 111.0f));
    open();

    library->renameUserBank ("Renamed");
    EXPECT_EQ (bankBox.getText(), "Renamed");
    library->renameUserBank ("");
    EXPECT_EQ (bankBox.getText(), "User");

    library->clearUserBank();
    EXPECT_TRUE (library->getUserPresets().isEmpty());
    EXPECT_EQ (bankBox.getText(), "User");
    EXPECT_EQ (presetItems(), juce::StringArray { "No Presets" });
    EXPECT_TRUE (folder().getChildFile ("Kept.tslp").existsAsFile());

    open();   // the next editor
    EXPECT_EQ (namesOf (library->getUserPresets()), juce::StringArray { "Kept" });
}

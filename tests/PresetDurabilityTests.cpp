// Presets are never lost: a write that fails or is cut short (a full disk, a read-only folder, a
// writer killed part way) leaves the file that was there before, and a presets folder full of
// files, damaged files and odd names is read without a crash. Each failing writer runs in a
// child process of its own, so its limits and its death touch nothing else.

#include "PresetTestTools.h"
#include "presets/PresetLibrary.h"
#include "processor/TessalineAudioProcessor.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace PresetTestTools;

namespace
{
    /** Runs the work in a forked child and gives its exit status, or -signal when a signal ended it. */
    int inChildProcess (const std::function<int()>& work)
    {
        // Nothing buffered is copied into the child, where it would be written twice or lost.
        std::fflush (nullptr);
        const auto child = fork();

        if (child < 0)
            return -1000;

        if (child == 0)
            _exit (work());

        int status = 0;

        if (waitpid (child, &status, 0) != child)
            return -1001;

        return WIFEXITED (status) ? WEXITSTATUS (status) : -WTERMSIG (status);
    }

    /** A preset whose file is many times larger than a few bytes, whatever its values. */
    Preset largePreset (const juce::String& name, float cutoff)
    {
        return makePreset (name, cutoff, 0.5f, 1);
    }

    juce::Array<Preset> largeBank (int numPresets, float cutoff)
    {
        juce::Array<Preset> presets;

        for (int i = 0; i < numPresets; ++i)
            presets.add (makePreset ("Preset number " + juce::String (i) + " of a large bank", cutoff + (float) i, 0.25f, i % 3));

        return presets;
    }

    /** The files in the folder other than the one named. */
    juce::StringArray otherFilesIn (const juce::File& folder, const juce::File& except)
    {
        juce::StringArray names;

        for (const auto& file : folder.findChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, false))
            if (file != except)
                names.add (file.getFileName());

        return names;
    }

    using PresetDurability = EmptyPresetFolder;
}

//==============================================================================
TEST_F (PresetDurability, AFailedWriteLeavesThePreviousFileWhole)
{
    struct Case
    {
        const char* what;
        std::function<void()> limitTheWriter;   // runs in the child, before it writes
    };

    const Case cases[] = {
        { "disk full (file size limit below the new file's size)", []
          {
              std::signal (SIGXFSZ, SIG_IGN);   // the write fails with EFBIG instead of ending the child
              const rlimit limit { 40, 40 };
              setrlimit (RLIMIT_FSIZE, &limit);
          } },
        { "disk full at the first byte", []
          {
              std::signal (SIGXFSZ, SIG_IGN);
              const rlimit limit { 0, 0 };
              setrlimit (RLIMIT_FSIZE, &limit);
          } },
        { "read-only folder", []
          {
              chmod (getPresetFolder().getFullPathName().toRawUTF8(), 0555);

              // Root writes anywhere: become nobody, as a user without rights to the folder is.
              if (geteuid() == 0)
              {
                  [[maybe_unused]] const auto changed = setgid (65534) == 0 && setuid (65534) == 0;
              }
          } },
    };

    for (const auto& c : cases)
    {
        [[maybe_unused]] const auto cleared = folder().deleteRecursively();
        const auto before = largePreset ("Keeper", 440.0f);
        savePresetToFolder (before);
        const auto target = getPresetFileFor ("Keeper");
        const auto bankTarget = folder().getChildFile ("Bank.tslb");
        writeBankFile (bankTarget, largeBank (3, 100.0f));
        const auto presetText = target.loadFileAsString();
        const auto bankText = bankTarget.loadFileAsString();
        ASSERT_TRUE (presetText.contains ("Keeper")) << c.what;

        const auto status = inChildProcess ([&]
        {
            c.limitTheWriter();
            savePresetToFolder (largePreset ("Keeper", 9999.0f));
            writeBankFile (bankTarget, largeBank (200, 5000.0f));
            return 0;
        });

        EXPECT_EQ (status, 0) << c.what;
        [[maybe_unused]] const auto restored = chmod (folder().getFullPathName().toRawUTF8(), 0755);
        EXPECT_EQ (target.loadFileAsString(), presetText) << c.what;
        EXPECT_EQ (bankTarget.loadFileAsString(), bankText) << c.what;

        Preset read;
        EXPECT_TRUE (readPresetFile (target, read)) << c.what;
        EXPECT_EQ (read.cutoff, 440.0f) << c.what;

        // Nothing half-written is left beside them.
        const auto others = otherFilesIn (folder(), target);
        EXPECT_EQ (others, juce::StringArray ("Bank.tslb")) << c.what << ": " << others.joinIntoString (", ");
    }
}

TEST_F (PresetDurability, AWriterKilledPartWayLeavesTheOldFileOrTheNewOneNeverAPiece)
{
    const auto target = folder().getChildFile ("Big.tslb");
    [[maybe_unused]] const auto created = folder().createDirectory();
    const auto oldPresets = largeBank (500, 100.0f);
    writeBankFile (target, oldPresets);
    const auto oldText = target.loadFileAsString();
    const auto newPresets = largeBank (4000, 7000.0f);
    int killedWhileWriting = 0, piecesLeft = 0;

    for (int round = 0; round < 5; ++round)
    {
        const auto status = inChildProcess ([&]
        {
            // A watcher ends the child the moment the writer's temporary file holds part of the
            // new bank: a kill in the middle of the write, whatever the disk's speed.
            std::thread watcher ([&]
            {
                for (;;)
                    for (const auto& file : folder().findChildFiles (juce::File::findFiles, false))
                        if (file != target && file.getSize() > 0)
                            kill (getpid(), SIGKILL);
            });
            watcher.detach();

            for (;;)
                writeBankFile (target, newPresets);

            return 0;
        });

        EXPECT_EQ (status, -SIGKILL) << "round " << round;
        killedWhileWriting += status == -SIGKILL ? 1 : 0;

        // The bank reads whole: the old one until a write completed, then the new one.
        juce::Array<Preset> read;
        juce::String name;
        ASSERT_TRUE (readBankFile (target, read, name)) << "round " << round;
        EXPECT_TRUE (read.size() == oldPresets.size() || read.size() == newPresets.size()) << read.size();

        if (read.size() == oldPresets.size())
        {
            EXPECT_EQ (target.loadFileAsString(), oldText);
        }

        // What the killed writer left behind is a piece of the new bank, which the library
        // never takes for a bank: it reads the target's presets and nothing more.
        piecesLeft += otherFilesIn (folder(), target).size();

        TessalineAudioProcessor processor;
        juce::ComboBox bankBox, presetBox;
        PresetLibrary library (processor.apvts, bankBox, presetBox, [] {});
        library.initialisePresets();
        EXPECT_EQ (library.getUserPresets().size(), read.size()) << "round " << round;

        for (const auto& file : folder().findChildFiles (juce::File::findFiles, false))
        {
            if (file != target)
            {
                [[maybe_unused]] const auto removed = file.deleteFile();
            }
        }
    }

    // At least one kill landed in the middle of a write (it left a piece behind).
    EXPECT_GE (piecesLeft, 1);
    EXPECT_EQ (killedWhileWriting, 5);
}

//==============================================================================
TEST_F (PresetDurability, AFolderOfHundredsOfFilesDamagedFilesAndOddNamesLoadsWithoutACrash)
{
    [[maybe_unused]] const auto created = folder().createDirectory();
    int goodPresets = 0;

    // Hundreds of good presets, some under odd names.
    for (int i = 0; i < 400; ++i)
    {
        savePresetToFolder (makePreset ("Preset " + juce::String (i), 100.0f + (float) i));
        ++goodPresets;
    }

    const char* const oddNames[] = {
        "~tilde", "-dash", " leading space", "trailing space ", "new\nline", "tab\there", "quote\"s", "back\\slash",
        "percent %s %n", "dots...", ".hidden", "\xc3\xa9t\xc3\xa9 \xe6\xbc\xa2\xe5\xad\x97", "emoji \xf0\x9f\x8e\xb9",
        "control \x01\x02\x1f", "*?<>|:", "CON", "..",
    };

    for (const auto* name : oddNames)
    {
        const auto file = juce::File (folder().getFullPathName() + "/" + juce::String::fromUTF8 (name) + ".tslp");
        EXPECT_TRUE (file.replaceWithText (createPresetXml (makePreset (juce::String::fromUTF8 (name), 500.0f))->toString()));
        ++goodPresets;
    }

    const auto valid = createPresetXml (makePreset ("Whole", 300.0f))->toString();
    const auto validBank = [] { juce::XmlElement bank ("TessalineBank"); bank.addChildElement (createPresetXml (makePreset ("In bank", 1.0f)).release()); return bank.toString(); }();

    // Damaged files of every kind, none of which may add a preset.
    const std::pair<const char*, juce::MemoryBlock> damaged[] = {
        { "empty.tslp", {} },
        { "truncated.tslp", juce::MemoryBlock (valid.toRawUTF8(), (size_t) valid.length() / 2) },
        { "truncated bank.tslb", juce::MemoryBlock (validBank.toRawUTF8(), (size_t) validBank.length() - 20) },
        { "binary.tslp", [] { juce::MemoryBlock b (3000); juce::Random r (1); r.fillBitsRandomly (b.getData(), b.getSize()); return b; }() },
        { "nul bytes.tslb", juce::MemoryBlock (1000, true) },
        { "wrong root.tslp", juce::MemoryBlock ("<Other name=\"x\"/>", 17) },
        { "bank as preset.tslp", juce::MemoryBlock (validBank.toRawUTF8(), (size_t) validBank.length()) },
        { "deep.tslb", [] { juce::String s; for (int i = 0; i < 20000; ++i) s << "<a>"; return juce::MemoryBlock (s.toRawUTF8(), (size_t) s.length()); }() },
        { "too large.tslp", [] { juce::MemoryBlock b ((size_t) PresetFiles::maxDocumentBytes + 100, true); b.fillWith ((juce::uint8) ' '); return b; }() },
    };

    for (const auto& [name, bytes] : damaged)
        EXPECT_TRUE (folder().getChildFile (name).replaceWithData (bytes.getData(), bytes.getSize())) << name;

    // Things that are no files: a folder, a link to nowhere, a link to itself, a named pipe.
    EXPECT_TRUE (folder().getChildFile ("a folder.tslp").createDirectory());
    EXPECT_EQ (symlink ("/nonexistent/target.tslp", folder().getChildFile ("dangling.tslp").getFullPathName().toRawUTF8()), 0);
    EXPECT_EQ (symlink ("loop.tslb", folder().getChildFile ("loop.tslb").getFullPathName().toRawUTF8()), 0);
    EXPECT_EQ (mkfifo (folder().getChildFile ("pipe.tslp").getFullPathName().toRawUTF8(), 0644), 0);
    EXPECT_EQ (mkfifo (folder().getChildFile ("pipe.tslb").getFullPathName().toRawUTF8(), 0644), 0);

    TessalineAudioProcessor processor;
    juce::ComboBox bankBox, presetBox;
    PresetLibrary library (processor.apvts, bankBox, presetBox, [] {});
    library.initialisePresets();

    EXPECT_EQ (library.getUserPresets().size(), goodPresets);

    // The odd names come back as they were written.
    juce::StringArray names;

    for (const auto& preset : library.getUserPresets())
        names.add (preset.name);

    for (const auto* name : oddNames)
        EXPECT_TRUE (names.contains (juce::String::fromUTF8 (name))) << name;
}

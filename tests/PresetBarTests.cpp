#include "MessageLoopTools.h"
#include "PresetTestTools.h"
#include "XErrorCounter.h"
#include "ProcessorTestTools.h"
#include "editor/TessalineAudioProcessorEditor.h"
#include "presets/PresetBar.h"
#include "processor/ParameterIds.h"

using namespace PresetTestTools;
using ProcessorTestTools::raw;
using ProcessorTestTools::setRaw;
using Editor = TessalineAudioProcessorEditor;
using MessageLoopTools::deliverPendingMessages;
using MessageLoopTools::deliverUntil;

/** The editor's preset bar and its controls, as the tests drive them. */
struct TessalineAudioProcessorEditorInspector
{
    static PresetBar& bar (Editor& e)                  { return e.presetBar; }
    static PresetLibrary& library (Editor& e)          { return e.presetLibrary; }
    static juce::ComboBox& bankBox (Editor& e)         { return e.bankBox; }
    static juce::ComboBox& presetBox (Editor& e)       { return e.presetBox; }
    static juce::TextButton& previous (Editor& e)      { return e.prevPresetButton; }
    static juce::TextButton& next (Editor& e)          { return e.nextPresetButton; }
    static juce::TextButton& save (Editor& e)          { return e.savePresetButton; }
    static juce::TextButton& load (Editor& e)          { return e.loadPresetButton; }
    static juce::TextButton& menu (Editor& e)          { return e.menuButton; }
};

using Inspect = TessalineAudioProcessorEditorInspector;

namespace
{
    template <typename ComponentType>
    ComponentType* findChild (juce::Component& parent)
    {
        for (auto* child : parent.getChildren())
        {
            if (auto* found = dynamic_cast<ComponentType*> (child))
                return found;

            if (auto* found = findChild<ComponentType> (*child))
                return found;
        }

        return nullptr;
    }

    template <typename ComponentType>
    ComponentType* modal()
    {
        return dynamic_cast<ComponentType*> (juce::Component::getCurrentlyModalComponent());
    }

    /** Waits for a modal window of the type and returns it. */
    template <typename ComponentType>
    ComponentType* awaitModal()
    {
        deliverUntil ([] { return modal<ComponentType>() != nullptr; });
        return modal<ComponentType>();
    }

    /** Ends a modal window as its button would and lets its completion run. */
    void finishModal (juce::Component& window, int result)
    {
        const juce::Component::SafePointer<juce::Component> safe (&window);
        window.exitModalState (result);
        deliverUntil ([safe] { return safe == nullptr || ! safe->isCurrentlyModal(); });
        deliverPendingMessages();
    }

    struct OpenChooser
    {
        juce::FileChooserDialogBox* box = nullptr;
        juce::FileBrowserComponent* browser = nullptr;
    };

    OpenChooser awaitChooser()
    {
        OpenChooser chooser;
        chooser.box = awaitModal<juce::FileChooserDialogBox>();

        if (chooser.box != nullptr)
            chooser.browser = findChild<juce::FileBrowserComponent> (*chooser.box);

        return chooser;
    }

    /** Types a path into the framework's own file browser and confirms it. */
    void pick (const juce::File& file)
    {
        const auto chooser = awaitChooser();
        ASSERT_NE (chooser.browser, nullptr);
        chooser.browser->setFileName (file.getFullPathName());
        finishModal (*chooser.box, 1);
    }

    juce::StringArray buttonTextsOf (juce::Component& window)
    {
        juce::StringArray texts;

        for (auto* child : window.getChildren())
            if (auto* button = dynamic_cast<juce::TextButton*> (child))
                texts.add (button->getButtonText());

        return texts;
    }

    juce::StringArray itemsOf (const juce::PopupMenu& menu)
    {
        juce::StringArray items;

        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        {
            const auto& item = it.getItem();
            items.add (item.isSeparator ? juce::String ("---")
                                        : juce::String (item.itemID) + " " + item.text + (item.isEnabled ? "" : " (disabled)"));
        }

        return items;
    }

    struct PresetBarFixture : EmptyPresetFolder
    {
        void SetUp() override
        {
            XErrorCounter::install();
            EmptyPresetFolder::SetUp();
            openEditor();
        }

        void TearDown() override
        {
            closeEditor();
            EmptyPresetFolder::TearDown();
        }

        /** Opens a new editor, closing the one before; the library reads the folder afresh. */
        void openEditor()
        {
            closeEditor();
            editor.reset (dynamic_cast<Editor*> (processor.createEditorIfNeeded()));
            editor->addToDesktop (0);
            editor->setVisible (true);
        }

        /** Closes the editor as the wrappers do. */
        void closeEditor()
        {
            if (editor == nullptr)
                return;

            processor.editorBeingDeleted (editor.get());
            editor.reset();
            deliverPendingMessages();
        }

        PresetBar& bar()              { return Inspect::bar (*editor); }
        PresetLibrary& library()      { return Inspect::library (*editor); }
        juce::ComboBox& presetBox()   { return Inspect::presetBox (*editor); }
        juce::ComboBox& bankBox()     { return Inspect::bankBox (*editor); }

        juce::AlertWindow& openSaveDialog()
        {
            Inspect::save (*editor).onClick();
            auto* dialog = bar().getActiveDialog();
            EXPECT_NE (dialog, nullptr);
            EXPECT_TRUE (dialog->isCurrentlyModal());
            return *dialog;
        }

        /** Presses a key in the dialog as the user would and waits for its completion. */
        void press (juce::AlertWindow& dialog, int keyCode)
        {
            EXPECT_TRUE (static_cast<juce::Component&> (dialog).keyPressed (juce::KeyPress (keyCode)));
            deliverUntil ([&dialog] { return ! dialog.isCurrentlyModal(); });
            deliverPendingMessages();
        }

        TessalineAudioProcessor processor;
        std::unique_ptr<Editor> editor;
    };

    using PresetBarTest = PresetBarFixture;
}

//==============================================================================
TEST_F (PresetBarTest, PreviousAndNextWrapAroundTheShownBankAndApply)
{
    ASSERT_EQ (presetBox().getText(), "Init");

    Inspect::previous (*editor).onClick();
    EXPECT_EQ (presetBox().getText(), "Drum Radio");
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 950.0f);
    EXPECT_EQ (raw (processor, ParameterIds::mode), 2.0f);

    Inspect::next (*editor).onClick();
    EXPECT_EQ (presetBox().getText(), "Init");
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 20000.0f);

    Inspect::next (*editor).onClick();
    EXPECT_EQ (presetBox().getText(), "Warm LPF");
    EXPECT_EQ (library().getUndoHistory().size(), 3);
}

TEST_F (PresetBarTest, PreviousAndNextDoNothingInAnEmptyUserBank)
{
    bankBox().setSelectedId (PresetLibrary::userBankId, juce::sendNotificationSync);
    setRaw (processor, ParameterIds::cutoff, 500.0f);

    Inspect::previous (*editor).onClick();
    Inspect::next (*editor).onClick();

    EXPECT_EQ (presetBox().getText(), "No Presets");
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 500.0f);
    EXPECT_TRUE (library().getUndoHistory().isEmpty());
}

//==============================================================================
TEST_F (PresetBarTest, MenusHoldTheirItemsAndOpenOnTheirButtons)
{
    EXPECT_EQ (itemsOf (PresetBar::makeLoadMenu()), juce::StringArray ({ "1 Load Preset (.tslp)", "2 Load Bank (.tslb)" }));
    EXPECT_EQ (itemsOf (PresetBar::makeMainMenu()),
               juce::StringArray ({ "1 About", "---", "2 Import Expansion", "3 Export Expansion", "4 Rename Expansion", "5 Delete Expansion" }));

    for (auto* button : { &Inspect::load (*editor), &Inspect::menu (*editor) })
    {
        button->onClick();
        EXPECT_TRUE (deliverUntil ([] { return juce::PopupMenu::dismissAllActiveMenus(); })) << button->getButtonText();
        deliverPendingMessages();
        EXPECT_EQ (bar().getFileChooser(), nullptr) << "a dismissed menu runs nothing";
        EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
    }
}

TEST_F (PresetBarTest, MenuChoicesRunTheirCommands)
{
    struct Case { int loadItem, mainItem; const char* title; };
    const Case choosers[] = {
        { PresetBar::loadPresetItem, 0, "Load Tessaline preset" },
        { PresetBar::loadBankItem, 0, "Load Tessaline bank" },
        { 0, PresetBar::importExpansionItem, "Load Tessaline bank" },   // the same command as "Load Bank"
        { 0, PresetBar::exportExpansionItem, "Save Tessaline bank" },
    };

    for (const auto& c : choosers)
    {
        if (c.loadItem != 0)
            bar().loadMenuChosen (c.loadItem);
        else
            bar().mainMenuChosen (c.mainItem);

        const auto chooser = awaitChooser();
        ASSERT_NE (chooser.box, nullptr) << c.title;
        EXPECT_EQ (chooser.box->getName(), c.title);
        finishModal (*chooser.box, 0);
    }

    bar().mainMenuChosen (PresetBar::aboutItem);
    auto* about = awaitModal<juce::AlertWindow>();
    ASSERT_NE (about, nullptr);
    EXPECT_EQ (about->getName(), "About Tessaline");
    finishModal (*about, 0);

    bar().mainMenuChosen (PresetBar::renameExpansionItem);
    ASSERT_NE (bar().getActiveDialog(), nullptr);
    EXPECT_EQ (bar().getActiveDialog()->getName(), "Rename Expansion");
    press (*bar().getActiveDialog(), juce::KeyPress::escapeKey);

    bar().mainMenuChosen (PresetBar::deleteExpansionItem);
    auto* confirmation = awaitModal<juce::AlertWindow>();
    ASSERT_NE (confirmation, nullptr);
    EXPECT_EQ (confirmation->getName(), "Delete Expansion");
    finishModal (*confirmation, 0);

    for (const auto result : { 0, 99 })
    {
        bar().loadMenuChosen (result);
        bar().mainMenuChosen (result);
        EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr) << result;
    }
}

//==============================================================================
TEST_F (PresetBarTest, SaveDialogOffersNamesFromWhatIsShown)
{
    savePresetToFolder (makePreset ("Mine", 700.0f));
    openEditor();
    library().renameUserBank ("My Bank");   // shows the user bank

    struct Case { std::function<void()> show; const char* bank; const char* preset; };
    const Case cases[] = {
        { [this] { bankBox().setSelectedId (1, juce::sendNotificationSync); }, "User", "Init" },
        { [this] { bankBox().setSelectedId (2, juce::sendNotificationSync); }, "My Bank", "Mine" },
        { [this] { library().clearUserBank(); library().renameUserBank ("Cleared"); }, "Cleared", "User Preset" },   // "No Presets"
    };

    for (const auto& c : cases)
    {
        c.show();
        auto& dialog = openSaveDialog();
        EXPECT_EQ (dialog.getName(), "Save Preset");
        EXPECT_EQ (dialog.getTextEditorContents ("bankName"), c.bank);
        EXPECT_EQ (dialog.getTextEditorContents ("presetName"), c.preset);

        auto* target = dialog.getComboBoxComponent ("bankTarget");
        ASSERT_NE (target, nullptr);
        EXPECT_EQ (target->getNumItems(), 1);
        EXPECT_EQ (target->getItemText (0), library().getShownUserBankName());

        EXPECT_EQ (buttonTextsOf (dialog), juce::StringArray ({ "Save", "Cancel" }));
        press (dialog, juce::KeyPress::escapeKey);
        EXPECT_FALSE (dialog.isVisible());
    }

    EXPECT_EQ (folder().getNumberOfChildFiles (juce::File::findFiles), 1) << "Escape saves nothing";
}

TEST_F (PresetBarTest, SaveOnReturnStoresTrimmedNamesInTheUserBank)
{
    struct Case { const char* bankTyped; const char* presetTyped; const char* bankName; const char* presetName; };
    const Case cases[] = {
        { "  Live  ", "  Lead.Wide ", "Live", "Lead.Wide" },
        { "", "   ", "User", "User Preset" },
    };

    for (const auto& c : cases)
    {
        setRaw (processor, ParameterIds::cutoff, 1500.0f);
        auto& dialog = openSaveDialog();
        dialog.getTextEditor ("bankName")->setText (c.bankTyped);
        dialog.getTextEditor ("presetName")->setText (c.presetTyped);
        dialog.getComboBoxComponent ("bankTarget")->addItem ("Elsewhere", 2);
        dialog.getComboBoxComponent ("bankTarget")->setSelectedId (2);   // read by nobody

        press (dialog, juce::KeyPress::returnKey);

        EXPECT_EQ (library().getUserBankName(), c.bankName);
        EXPECT_EQ (bankBox().getText(), c.bankName);
        EXPECT_EQ (presetBox().getText(), c.presetName);

        Preset written;
        ASSERT_TRUE (readPresetFile (getPresetFileFor (c.presetName), written)) << c.presetName;
        EXPECT_EQ (written.name, c.presetName);
        EXPECT_EQ (written.cutoff, 1500.0f);
    }
}

TEST_F (PresetBarTest, RenameTrimsAndCancelPathsChangeNothing)
{
    bar().showRenameDialog();
    auto* dialog = bar().getActiveDialog();
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (dialog->getTextEditorContents ("bankName"), "User");
    dialog->getTextEditor ("bankName")->setText ("   ");
    press (*dialog, juce::KeyPress::returnKey);
    EXPECT_EQ (bankBox().getText(), "User");

    bar().showRenameDialog();
    bar().getActiveDialog()->getTextEditor ("bankName")->setText (" Drums ");
    press (*bar().getActiveDialog(), juce::KeyPress::returnKey);
    EXPECT_EQ (library().getUserBankName(), "Drums");

    bar().showRenameDialog();
    bar().getActiveDialog()->getTextEditor ("bankName")->setText ("Not This");
    finishModal (*bar().getActiveDialog(), 0);   // "Cancel"
    EXPECT_EQ (library().getUserBankName(), "Drums");
}

TEST_F (PresetBarTest, DeleteExpansionClearsTheSessionBankOnYesOnly)
{
    savePresetToFolder (makePreset ("Kept", 300.0f));
    openEditor();
    library().renameUserBank ("Named");

    bar().confirmDeleteExpansion();
    auto* confirmation = awaitModal<juce::AlertWindow>();
    ASSERT_NE (confirmation, nullptr);
    EXPECT_EQ (buttonTextsOf (*confirmation), juce::StringArray ({ "Yes", "No" }));
    finishModal (*confirmation, 0);
    EXPECT_EQ (library().getUserPresets().size(), 1);

    bar().confirmDeleteExpansion();
    finishModal (*awaitModal<juce::AlertWindow>(), 1);
    EXPECT_TRUE (library().getUserPresets().isEmpty());
    EXPECT_EQ (bankBox().getText(), "User");
    EXPECT_EQ (presetBox().getText(), "No Presets");
    EXPECT_TRUE (folder().getChildFile ("Kept.tslp").existsAsFile());
}

//==============================================================================
TEST_F (PresetBarTest, ChoosersOpenInThePresetsFolderWithTheirFiltersAndModes)
{
    struct Case { std::function<void()> open; const char* title; bool saveMode; juce::StringArray suitable, unsuitable; };
    const Case cases[] = {
        { [this] { bar().showPresetChooser(); }, "Load Tessaline preset", false, { "a.tslp", "b.tslpreset" }, { "c.tslb", "d.xml" } },
        { [this] { bar().showBankChooser(); }, "Load Tessaline bank", false, { "c.tslb" }, { "a.tslp", "d.xml" } },
        { [this] { bar().showExportChooser(); }, "Save Tessaline bank", true, { "c.tslb" }, { "a.tslp" } },
    };

    for (const auto& c : cases)
    {
        ASSERT_TRUE (getPresetFolder().deleteRecursively());
        c.open();
        EXPECT_TRUE (getPresetFolder().isDirectory()) << "created before the chooser opens";

        const auto chooser = awaitChooser();
        ASSERT_NE (chooser.browser, nullptr) << c.title;
        EXPECT_EQ (chooser.box->getName(), c.title);
        EXPECT_EQ (chooser.browser->getRoot(), getPresetFolder());
        EXPECT_EQ (chooser.browser->isSaveMode(), c.saveMode);

        for (const auto& name : c.suitable)
            EXPECT_TRUE (chooser.browser->isFileSuitable (folder().getChildFile (name))) << c.title << " " << name;

        for (const auto& name : c.unsuitable)
            EXPECT_FALSE (chooser.browser->isFileSuitable (folder().getChildFile (name))) << c.title << " " << name;

        if (c.saveMode)
        {
            EXPECT_EQ (chooser.browser->getSelectedFile (0), folder().getChildFile ("User.tslb"));
        }

        finishModal (*chooser.box, 0);   // cancelled: nothing happens
    }

    EXPECT_TRUE (library().getUserPresets().isEmpty());
    EXPECT_EQ (folder().getNumberOfChildFiles (juce::File::findFiles), 0);
}

TEST_F (PresetBarTest, LoadingThroughTheChoosersAppliesAndImports)
{
    const auto outside = juce::File::createTempFile ("outside");
    ASSERT_TRUE (outside.createDirectory());
    const auto presetFile = outside.getChildFile ("Picked.tslp");
    const auto bankFile = outside.getChildFile ("Picked.tslb");
    ASSERT_TRUE (createPresetXml (makePreset ("Picked", 2345.0f))->writeTo (presetFile));
    ASSERT_TRUE (makeBank ("Picked Bank", { makePreset ("P1", 111.0f), makePreset ("P2", 222.0f) })->writeTo (bankFile));

    Inspect::load (*editor).onClick();   // the menu is skipped: its choice runs the same command
    juce::PopupMenu::dismissAllActiveMenus();
    bar().loadMenuChosen (PresetBar::loadPresetItem);
    pick (presetFile);

    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 2345.0f);
    EXPECT_TRUE (folder().getChildFile ("Picked.tslp").existsAsFile()) << "copied into the presets folder";
    EXPECT_EQ (presetBox().getText(), "Picked");

    bar().mainMenuChosen (PresetBar::importExpansionItem);
    pick (bankFile);

    EXPECT_EQ (bankBox().getText(), "Picked Bank");
    EXPECT_EQ (raw (processor, ParameterIds::cutoff), 111.0f);
    EXPECT_TRUE (outside.deleteRecursively());
}

TEST_F (PresetBarTest, ExportWritesTheBankAsItWasWhenTheCommandStarted)
{
    library().addSavedPreset ("Bank", "Before");
    const auto target = juce::File::createTempFile ("exported");   // picked without extension

    bar().showExportChooser();
    library().addSavedPreset ("Bank", "After");
    pick (target);

    juce::Array<Preset> written;
    juce::String name;
    ASSERT_TRUE (readBankFile (target.withFileExtension (".tslb"), written, name));
    EXPECT_EQ (namesOf (written), juce::StringArray { "Before" });
    EXPECT_EQ (name, target.getFileNameWithoutExtension());
    EXPECT_TRUE (target.withFileExtension (".tslb").deleteFile());
}

//==============================================================================
TEST_F (PresetBarTest, ClosingTheEditorWithAnythingOpenIsSafeAndLateCompletionsDoNothing)
{
    struct Case { const char* what; std::function<void (PresetBar&)> open; };
    const Case cases[] = {
        { "load menu", [] (PresetBar& b) { b.showLoadMenu(); } },
        { "main menu", [] (PresetBar& b) { b.showMainMenu(); } },
        { "save dialog", [] (PresetBar& b) { b.showSavePresetDialog(); } },
        { "rename dialog", [] (PresetBar& b) { b.showRenameDialog(); } },
        { "delete confirmation", [] (PresetBar& b) { b.confirmDeleteExpansion(); } },
        { "preset chooser", [] (PresetBar& b) { b.showPresetChooser(); } },
        { "export chooser", [] (PresetBar& b) { b.showExportChooser(); } },
    };

    for (const auto& c : cases)
    {
        openEditor();
        c.open (bar());
        deliverPendingMessages();
        const auto before = snapshotOfFolder();

        closeEditor();

        // Whatever the framework still holds open is answered "yes" after the editor has gone.
        if (auto* stillModal = juce::Component::getCurrentlyModalComponent())
            finishModal (*stillModal, 1);

        juce::PopupMenu::dismissAllActiveMenus();
        deliverPendingMessages();

        EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr) << c.what;
        EXPECT_EQ (snapshotOfFolder(), before) << c.what;
    }
}

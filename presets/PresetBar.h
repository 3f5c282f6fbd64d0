#pragma once

#include "presets/PresetLibrary.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The preset bar's commands: stepping through the shown bank, the Load and main menus, the Save
    Preset and Rename Expansion dialogs, the Delete Expansion confirmation and the three file
    choosers. Every menu, dialog and chooser is asynchronous and ends in an operation of the
    preset library. A completion that arrives after the bar (and so its editor) has gone does
    nothing. Message thread only. */
class PresetBar
{
public:
    /** The components the menus and the confirmation are shown against; `showAboutBox` runs
        for the main menu's "About". */
    struct Anchors
    {
        juce::Component& loadButton;
        juce::Component& menuButton;
        juce::Component& editor;
    };

    PresetBar (PresetLibrary&, juce::ComboBox& presetBox, Anchors, std::function<void()> showAboutBox);
    ~PresetBar();

    //==============================================================================
    void selectPreviousPreset();
    void selectNextPreset();

    void showLoadMenu();
    void showMainMenu();

    void showSavePresetDialog();
    void showRenameDialog();
    void confirmDeleteExpansion();

    void showPresetChooser();
    void showBankChooser();
    void showExportChooser();

    //==============================================================================
    enum LoadMenuItem { loadPresetItem = 1, loadBankItem = 2 };
    enum MainMenuItem { aboutItem = 1, importExpansionItem = 2, exportExpansionItem = 3, renameExpansionItem = 4, deleteExpansionItem = 5 };

    static juce::PopupMenu makeLoadMenu();
    static juce::PopupMenu makeMainMenu();

    /** What a menu's result runs; 0 (dismissed) runs nothing. */
    void loadMenuChosen (int result);
    void mainMenuChosen (int result);

    juce::AlertWindow* getActiveDialog() const noexcept   { return activeDialog.get(); }
    juce::FileChooser* getFileChooser() const noexcept    { return fileChooser.get(); }

private:
    struct DialogField { const char* name; juce::String initialText; const char* label; };
    using DialogResult = std::function<void (juce::AlertWindow&)>;

    void openDialog (const juce::String& title, const juce::String& message, std::initializer_list<DialogField> fields,
                     const juce::StringArray& comboItems, DialogResult onSave);
    void launchChooser (const juce::String& title, const juce::File& initialLocation, const juce::String& filter, int flags,
                        std::function<void (const juce::File&)> onFileChosen);
    void showMenu (juce::PopupMenu, juce::Component& target, void (PresetBar::* onChosen) (int));

    juce::String initialPresetName() const;

    PresetLibrary& library;
    juce::ComboBox& presetBox;
    Anchors anchors;
    std::function<void()> showAboutBox;

    std::unique_ptr<juce::FileChooser> fileChooser;
    std::unique_ptr<juce::AlertWindow> activeDialog;

    JUCE_DECLARE_WEAK_REFERENCEABLE (PresetBar)
    JUCE_DECLARE_NON_COPYABLE (PresetBar)
};

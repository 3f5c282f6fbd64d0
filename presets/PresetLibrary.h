#pragma once

#include "presets/Preset.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

/** The editor's working set of presets: the factory bank, the user bank read from the presets
    folder, and the undo and redo histories of parameter states. It fills the editor's bank and
    preset boxes and reaches the parameters only through the parameter state. It lives as long
    as the editor that owns it; only the files it writes outlast it. Message thread only. */
class PresetLibrary
{
public:
    /** `onPresetApplied` runs right after a preset has set the parameters, so the editor can
        show the new values at once. */
    PresetLibrary (juce::AudioProcessorValueTreeState& parameters, juce::ComboBox& bankBox, juce::ComboBox& presetBox,
                   std::function<void()> onPresetApplied);

    //==============================================================================
    /** Fills the factory bank, reads the user bank and the boxes; applies nothing. */
    void initialisePresets();
    void loadUserPresets();
    void refreshBankBox();
    void refreshPresetBox();

    //==============================================================================
    Preset capturePreset (const juce::String& name) const;
    void applyPreset (const Preset&, bool recordUndo);

    void pushUndoSnapshot();
    void undo();
    void redo();

    //==============================================================================
    void presetBoxChanged();
    void bankBoxChanged();
    void resetToInit();

    //==============================================================================
    // The user bank, changed once the user has confirmed a dialog or picked a file.
    void addSavedPreset (const juce::String& bankText, const juce::String& presetText);
    void addLoadedPreset (const juce::File&);
    void importBank (const juce::File&);
    void exportBank (const juce::File& target, const juce::Array<Preset>& presets);
    void renameUserBank (const juce::String& name);
    void clearUserBank();

    /** What exporting the user bank writes: the user bank, or the present values as one
        "User Preset" when the bank is empty. */
    juce::Array<Preset> presetsToExport() const;

    //==============================================================================
    static constexpr int factoryBankId = 1;
    static constexpr int userBankId = 2;
    static constexpr int maxUndoSteps = 64;

    const juce::Array<Preset>& getFactoryPresets() const noexcept   { return factoryPresets; }
    const juce::Array<Preset>& getUserPresets() const noexcept      { return userPresets; }
    const juce::Array<Preset>& getUndoHistory() const noexcept      { return undoHistory; }
    const juce::Array<Preset>& getRedoHistory() const noexcept      { return redoHistory; }
    const juce::String& getUserBankName() const noexcept            { return userBankName; }

    /** The user bank's name as the boxes and dialogs show it. */
    juce::String getShownUserBankName() const;
    bool isUserBankSelected() const;

private:
    const juce::Array<Preset>& selectedBank() const;
    void showUserBank();
    void showUserBankSelecting (int presetId);

    juce::AudioProcessorValueTreeState& apvts;
    juce::ComboBox& bankBox;
    juce::ComboBox& presetBox;
    std::function<void()> onPresetApplied;

    juce::Array<Preset> factoryPresets, userPresets, undoHistory, redoHistory;
    juce::String userBankName { defaultUserBankName };
    bool applyingPreset = false, rebuildingPresetList = false;

    static constexpr const char* defaultUserBankName = "User";
    static constexpr const char* snapshotName = "Current";

    JUCE_DECLARE_NON_COPYABLE (PresetLibrary)
};

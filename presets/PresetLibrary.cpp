#include "presets/PresetLibrary.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"
#include "processor/ParameterIds.h"

namespace
{
    constexpr const char* noPresetsText = "No Presets";

    /** The normalised value a record's value sets: snapped into the range and onto its steps.
        A NaN read from a file goes to the bottom of the range, as the processor clamps it. */
    float normalisedValueFor (const juce::RangedAudioParameter& parameter, float value)
    {
        if (std::isnan (value))
            return 0.0f;

        const auto normalised = parameter.convertTo0to1 (value);
        return std::isnan (normalised) ? 0.0f : juce::jlimit (0.0f, 1.0f, normalised);
    }

    void appendAll (juce::Array<Preset>& list, const juce::Array<juce::File>& files)
    {
        for (const auto& file : files)
        {
            Preset preset;

            if (readPresetFile (file, preset))
                list.add (preset);
        }
    }
}

//==============================================================================
PresetLibrary::PresetLibrary (juce::AudioProcessorValueTreeState& parameters, juce::ComboBox& bankBoxToFill,
                              juce::ComboBox& presetBoxToFill, std::function<void()> presetApplied)
    : apvts (parameters), bankBox (bankBoxToFill), presetBox (presetBoxToFill), onPresetApplied (std::move (presetApplied))
{
}

void PresetLibrary::initialisePresets()
{
    factoryPresets = makeFactoryPresets();
    loadUserPresets();
    refreshBankBox();
    bankBox.setSelectedId (factoryBankId, juce::dontSendNotification);
    refreshPresetBox();
}

void PresetLibrary::loadUserPresets()
{
    userPresets.clear();

    const auto folder = getPresetFolder();

    if (! folder.isDirectory())
        return;

    for (const auto& file : folder.findChildFiles (juce::File::findFiles, false, PresetFiles::bankFileFilter))
    {
        juce::Array<Preset> bank;
        juce::String bankName;

        if (! readBankFile (file, bank, bankName))
            continue;

        // Only the first bank read names the user bank.
        if (userBankName == defaultUserBankName)
            userBankName = bankName;

        userPresets.addArray (bank);
    }

    auto presetFiles = folder.findChildFiles (juce::File::findFiles, false, juce::String ("*") + PresetFiles::presetExtension);
    presetFiles.addArray (folder.findChildFiles (juce::File::findFiles, false, juce::String ("*") + PresetFiles::legacyPresetExtension));
    appendAll (userPresets, presetFiles);
}

void PresetLibrary::refreshBankBox()
{
    const auto selected = bankBox.getSelectedId() != 0 ? bankBox.getSelectedId() : factoryBankId;

    bankBox.clear (juce::dontSendNotification);
    bankBox.addItem ("Factory", factoryBankId);
    bankBox.addItem (getShownUserBankName(), userBankId);
    bankBox.setSelectedId (selected, juce::dontSendNotification);
}

void PresetLibrary::refreshPresetBox()
{
    const juce::ScopedValueSetter<bool> rebuilding (rebuildingPresetList, true);

    presetBox.clear (juce::dontSendNotification);

    const auto& bank = selectedBank();

    // addItem skips an empty text, so a preset without a name has no item (its id is missing).
    for (int i = 0; i < bank.size(); ++i)
        if (bank.getReference (i).name.isNotEmpty())
            presetBox.addItem (bank.getReference (i).name, i + 1);

    if (bank.isEmpty())
        presetBox.addItem (noPresetsText, 1);

    presetBox.setSelectedId (1, juce::dontSendNotification);
}

//==============================================================================
Preset PresetLibrary::capturePreset (const juce::String& name) const
{
    Preset preset;
    preset.name = name;

    for (const auto& field : Preset::fields())
    {
        const auto value = apvts.getRawParameterValue (field.parameterId)->load();

        if (field.isChoice())
            preset.*field.choice = ParameterIds::truncatedChoiceIndex (value);
        else
            preset.*field.real = value;
    }

    return preset;
}

void PresetLibrary::applyPreset (const Preset& preset, bool recordUndo)
{
    if (recordUndo)
        pushUndoSnapshot();

    {
        // Restores the outer value, so a nested call leaves an outer guard in force.
        const juce::ScopedValueSetter<bool> applying (applyingPreset, true);

        for (const auto& field : Preset::fields())
        {
            auto* parameter = apvts.getParameter (field.parameterId);

            if (parameter == nullptr)
                continue;

            // One gesture per parameter: the host sees seven in a row.
            parameter->beginChangeGesture();
            parameter->setValueNotifyingHost (normalisedValueFor (*parameter, field.valueIn (preset)));
            parameter->endChangeGesture();
        }

        if (onPresetApplied != nullptr)
            onPresetApplied();
    }
}

void PresetLibrary::pushUndoSnapshot()
{
    if (applyingPreset)
        return;

    undoHistory.add (capturePreset (snapshotName));

    if (undoHistory.size() > maxUndoSteps)
        undoHistory.remove (0);

    redoHistory.clear();
}

void PresetLibrary::undo()
{
    if (undoHistory.isEmpty())
        return;

    redoHistory.add (capturePreset (snapshotName));
    applyPreset (undoHistory.removeAndReturn (undoHistory.size() - 1), false);
}

void PresetLibrary::redo()
{
    if (redoHistory.isEmpty())
        return;

    // The undo history only grows back to what undo took from it, so it stays within bounds.
    undoHistory.add (capturePreset (snapshotName));
    applyPreset (redoHistory.removeAndReturn (redoHistory.size() - 1), false);
}

//==============================================================================
void PresetLibrary::presetBoxChanged()
{
    if (rebuildingPresetList)
        return;

    const auto index = presetBox.getSelectedId() - 1;
    const auto& bank = selectedBank();

    if (index >= 0 && index < bank.size())
        applyPreset (bank[index], true);
}

void PresetLibrary::bankBoxChanged()
{
    refreshPresetBox();
}

void PresetLibrary::resetToInit()
{
    if (factoryPresets.isEmpty())
        return;

    bankBox.setSelectedId (factoryBankId, juce::dontSendNotification);
    refreshPresetBox();
    presetBox.setSelectedId (1, juce::dontSendNotification);
    applyPreset (factoryPresets.getFirst(), true);
}

//==============================================================================
void PresetLibrary::addSavedPreset (const juce::String& bankText, const juce::String& presetText)
{
    userBankName = bankText;

    const auto preset = capturePreset (presetText);
    userPresets.add (preset);
    savePresetToFolder (preset);

    refreshBankBox();
    showUserBankSelecting (userPresets.size());
}

void PresetLibrary::addLoadedPreset (const juce::File& file)
{
    Preset preset;

    if (! readPresetFile (file, preset))
        return;

    applyPreset (preset, true);
    userPresets.add (preset);
    savePresetToFolder (preset);

    refreshBankBox();
    showUserBankSelecting (userPresets.size());
}

void PresetLibrary::importBank (const juce::File& file)
{
    juce::Array<Preset> bank;
    juce::String bankName;

    if (! readBankFile (file, bank, bankName))
        return;

    userBankName = bankName;
    userPresets.swapWith (bank);

    refreshBankBox();
    showUserBank();

    if (userPresets.isEmpty())
        return;

    presetBox.setSelectedId (1, juce::dontSendNotification);
    applyPreset (userPresets.getFirst(), true);
}

void PresetLibrary::exportBank (const juce::File& target, const juce::Array<Preset>& presets)
{
    writeBankFile (target, presets);
    loadUserPresets();

    // The bank box is not refilled: a name the reload gave the user bank shows from the next
    // operation that refills it.
    showUserBank();
}

void PresetLibrary::renameUserBank (const juce::String& name)
{
    userBankName = name.isEmpty() ? juce::String (defaultUserBankName) : name;
    refreshBankBox();
    showUserBank();
}

void PresetLibrary::clearUserBank()
{
    // Only the session's list: the files stay and come back with the next editor.
    userPresets.clear();
    userBankName = defaultUserBankName;
    refreshBankBox();
    showUserBank();
}

juce::Array<Preset> PresetLibrary::presetsToExport() const
{
    if (userPresets.isEmpty())
        return { capturePreset (PresetFiles::defaultPresetName) };

    return userPresets;
}

//==============================================================================
juce::String PresetLibrary::getShownUserBankName() const
{
    return userBankName.isEmpty() ? juce::String (defaultUserBankName) : userBankName;
}

bool PresetLibrary::isUserBankSelected() const
{
    return bankBox.getSelectedId() == userBankId;
}

const juce::Array<Preset>& PresetLibrary::selectedBank() const
{
    return isUserBankSelected() ? userPresets : factoryPresets;
}

void PresetLibrary::showUserBank()
{
    bankBox.setSelectedId (userBankId, juce::dontSendNotification);
    refreshPresetBox();
}

void PresetLibrary::showUserBankSelecting (int presetId)
{
    showUserBank();
    presetBox.setSelectedId (presetId, juce::dontSendNotification);
}

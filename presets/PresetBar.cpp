#include "presets/PresetBar.h"
#include "presets/PresetFiles.h"

namespace
{
    constexpr const char* defaultBankName = "User";
    constexpr const char* noPresetsText = "No Presets";

    juce::String trimmedOr (const juce::String& text, const char* fallback)
    {
        const auto trimmed = text.trim();
        return trimmed.isEmpty() ? juce::String (fallback) : trimmed;
    }

    /** The user's pick, or nothing when the chooser was cancelled. */
    void forwardResult (const juce::FileChooser& chooser, const std::function<void (const juce::File&)>& onFileChosen)
    {
        const auto file = chooser.getResult();

        if (file != juce::File())
            onFileChosen (file);
    }
}

//==============================================================================
PresetBar::PresetBar (PresetLibrary& libraryToUse, juce::ComboBox& presetBoxToStep, Anchors anchorsToUse,
                      std::function<void()> aboutBox)
    : library (libraryToUse), presetBox (presetBoxToStep), anchors (anchorsToUse), showAboutBox (std::move (aboutBox))
{
}

PresetBar::~PresetBar() = default;

//==============================================================================
// The notification applies the preset at once (with an undo step), and only when the selection
// really changes, so a box of one item stays put.
void PresetBar::selectPreviousPreset()
{
    const auto count = presetBox.getNumItems();

    if (count == 0)
        return;

    const auto selected = presetBox.getSelectedId();
    presetBox.setSelectedId (selected > 1 ? selected - 1 : count, juce::sendNotificationSync);
}

void PresetBar::selectNextPreset()
{
    const auto count = presetBox.getNumItems();

    if (count == 0)
        return;

    const auto selected = presetBox.getSelectedId();
    presetBox.setSelectedId (selected < count ? selected + 1 : 1, juce::sendNotificationSync);
}

//==============================================================================
juce::PopupMenu PresetBar::makeLoadMenu()
{
    juce::PopupMenu menu;
    menu.addItem (loadPresetItem, "Load Preset (.tslp)");
    menu.addItem (loadBankItem, "Load Bank (.tslb)");
    return menu;
}

juce::PopupMenu PresetBar::makeMainMenu()
{
    juce::PopupMenu menu;
    menu.addItem (aboutItem, "About");
    menu.addSeparator();
    menu.addItem (importExpansionItem, "Import Expansion");
    menu.addItem (exportExpansionItem, "Export Expansion");
    menu.addItem (renameExpansionItem, "Rename Expansion");
    menu.addItem (deleteExpansionItem, "Delete Expansion");
    return menu;
}

void PresetBar::showLoadMenu()   { showMenu (makeLoadMenu(), anchors.loadButton, &PresetBar::loadMenuChosen); }
void PresetBar::showMainMenu()   { showMenu (makeMainMenu(), anchors.menuButton, &PresetBar::mainMenuChosen); }

void PresetBar::showMenu (juce::PopupMenu menu, juce::Component& target, void (PresetBar::* onChosen) (int))
{
    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&target),
                        [bar = juce::WeakReference<PresetBar> (this), onChosen] (int result)
                        {
                            if (bar != nullptr)
                                (bar.get()->*onChosen) (result);
                        });
}

void PresetBar::loadMenuChosen (int result)
{
    if (result == loadPresetItem)
        showPresetChooser();
    else if (result == loadBankItem)
        showBankChooser();
}

void PresetBar::mainMenuChosen (int result)
{
    switch (result)
    {
        case aboutItem:            if (showAboutBox != nullptr) showAboutBox(); break;
        case importExpansionItem:  showBankChooser(); break;
        case exportExpansionItem:  showExportChooser(); break;
        case renameExpansionItem:  showRenameDialog(); break;
        case deleteExpansionItem:  confirmDeleteExpansion(); break;
        default:                   break;
    }
}

//==============================================================================
void PresetBar::showSavePresetDialog()
{
    const auto bankText = library.isUserBankSelected() ? library.getUserBankName() : juce::String (defaultBankName);

    openDialog ("Save Preset", "Edit the target bank and preset name.",
                { { "bankName", bankText, "Bank:" }, { "presetName", initialPresetName(), "Preset:" } },
                { library.getShownUserBankName() },
                [this] (juce::AlertWindow& dialog)
                {
                    // Whatever bank was shown, the preset goes to the user bank, which takes the
                    // typed bank name; the bank target box is not read.
                    library.addSavedPreset (trimmedOr (dialog.getTextEditorContents ("bankName"), defaultBankName),
                                            trimmedOr (dialog.getTextEditorContents ("presetName"), PresetFiles::defaultPresetName));
                });
}

void PresetBar::showRenameDialog()
{
    openDialog ("Rename Expansion", "Edit the current expansion name.",
                { { "bankName", library.getShownUserBankName(), "Bank:" } }, {},
                [this] (juce::AlertWindow& dialog)
                {
                    library.renameUserBank (dialog.getTextEditorContents ("bankName").trim());
                });
}

juce::String PresetBar::initialPresetName() const
{
    const auto shown = presetBox.getText();
    return (shown.isEmpty() || shown == noPresetsText) ? juce::String (PresetFiles::defaultPresetName) : shown;
}

void PresetBar::openDialog (const juce::String& title, const juce::String& message, std::initializer_list<DialogField> fields,
                            const juce::StringArray& comboItems, DialogResult onSave)
{
    activeDialog = std::make_unique<juce::AlertWindow> (title, message, juce::MessageBoxIconType::QuestionIcon);

    for (const auto& field : fields)
        activeDialog->addTextEditor (field.name, field.initialText, field.label, false);

    if (! comboItems.isEmpty())
        activeDialog->addComboBox ("bankTarget", comboItems, "Bank:");

    activeDialog->addButton ("Save", 1, juce::KeyPress (juce::KeyPress::returnKey));
    activeDialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));

    activeDialog->enterModalState (true, juce::ModalCallbackFunction::create (
        [bar = juce::WeakReference<PresetBar> (this), dialog = juce::Component::SafePointer<juce::AlertWindow> (activeDialog.get()),
         onSave = std::move (onSave)] (int result)
        {
            // A dialog deleted with its bar, or replaced by a later one, completes with nothing to do.
            if (bar == nullptr || dialog == nullptr)
                return;

            dialog->exitModalState (result);
            dialog->setVisible (false);

            if (result == 1)
                onSave (*dialog);
        }), false);
}

void PresetBar::confirmDeleteExpansion()
{
    juce::AlertWindow::showOkCancelBox (juce::MessageBoxIconType::WarningIcon, "Delete Expansion",
                                        "Delete the current user expansion from this session?", "Yes", "No", &anchors.editor,
                                        juce::ModalCallbackFunction::create ([bar = juce::WeakReference<PresetBar> (this)] (int result)
                                        {
                                            if (bar != nullptr && result == 1)
                                                bar->library.clearUserBank();
                                        }));
}

//==============================================================================
void PresetBar::showPresetChooser()
{
    launchChooser ("Load Tessaline preset", getPresetFolder(), PresetFiles::presetFileFilter,
                   juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                   [this] (const juce::File& file) { library.addLoadedPreset (file); });
}

void PresetBar::showBankChooser()
{
    launchChooser ("Load Tessaline bank", getPresetFolder(), PresetFiles::bankFileFilter,
                   juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                   [this] (const juce::File& file) { library.importBank (file); });
}

void PresetBar::showExportChooser()
{
    // What is written is the user bank as it was when the command started.
    const auto presets = library.presetsToExport();

    // The bank name is used as it stands, characters a file name cannot hold included.
    const juce::File initialFile (getPresetFolder().getFullPathName() + juce::File::getSeparatorString()
                                  + library.getShownUserBankName() + PresetFiles::bankExtension);

    launchChooser ("Save Tessaline bank", initialFile, PresetFiles::bankFileFilter,
                   juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles,
                   [this, presets] (const juce::File& file) { library.exportBank (file, presets); });
}

void PresetBar::launchChooser (const juce::String& title, const juce::File& initialLocation, const juce::String& filter, int flags,
                               std::function<void (const juce::File&)> onFileChosen)
{
    // The chooser opens in the presets folder, so it must exist first.
    [[maybe_unused]] const auto created = getPresetFolder().createDirectory();

    fileChooser = std::make_unique<juce::FileChooser> (title, initialLocation, filter, true, false, nullptr);
    fileChooser->launchAsync (flags, [bar = juce::WeakReference<PresetBar> (this), onFileChosen = std::move (onFileChosen)] (const juce::FileChooser& chooser)
    {
        if (bar != nullptr)
            forwardResult (chooser, onFileChosen);
    });
}

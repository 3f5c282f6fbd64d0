// The test-hooks extension, linked only into the test build of the plug-in in place of the
// product's empty ClapExtraExtensions.

#include "editor/TessalineAudioProcessorEditor.h"
#include "targets/clap/ClapEntryGuard.h"
#include "targets/clap/ClapPluginExtensions.h"
#include "tests/clap/ClapTestHooks.h"

#include <cstring>
#include <stdexcept>

/** Reaches the editor's preset library, which a host cannot see. */
struct TessalineAudioProcessorEditorInspector
{
    static const PresetLibrary& library (TessalineAudioProcessorEditor& editor)   { return editor.presetLibrary; }
};

namespace
{
    juce::AudioProcessorParameter* parameterAt (ClapPluginInstance& instance, uint32_t index)
    {
        const auto& parameters = instance.getProcessor().getParameters();
        return index < (uint32_t) parameters.size() ? parameters[(int) index] : nullptr;
    }

    bool CLAP_ABI editParameter (const clap_plugin_t* plugin, uint32_t index, double normalisedValue)
    {
        return guarded (plugin, { "test_hooks.edit_parameter" }, false, [=] (ClapPluginInstance& instance)
        {
            auto* parameter = parameterAt (instance, index);

            if (parameter == nullptr)
                return false;

            parameter->beginChangeGesture();
            parameter->setValueNotifyingHost (static_cast<float> (normalisedValue));
            parameter->endChangeGesture();
            return true;
        });
    }

    bool CLAP_ABI resizeEditor (const clap_plugin_t* plugin, uint32_t width, uint32_t height)
    {
        return guarded (plugin, { "test_hooks.resize_editor" }, false, [=] (ClapPluginInstance& instance)
        {
            auto* editor = instance.getProcessor().getActiveEditor();

            if (editor == nullptr)
                return false;

            // The corner hands the dragged bounds to the editor's constrainer, which applies them.
            if (auto* constrainer = editor->getConstrainer())
                constrainer->setBoundsForComponent (editor, editor->getBounds().withSize ((int) width, (int) height),
                                                    false, false, true, true);
            else
                editor->setSize ((int) width, (int) height);

            return true;
        });
    }

    bool CLAP_ABI dragParameter (const clap_plugin_t* plugin, uint32_t index, uint32_t numSteps)
    {
        return guarded (plugin, { "test_hooks.drag_parameter" }, false, [=] (ClapPluginInstance& instance)
        {
            auto* parameter = parameterAt (instance, index);

            if (parameter == nullptr || numSteps == 0)
                return false;

            parameter->beginChangeGesture();

            for (uint32_t step = 1; step <= numSteps; ++step)
                parameter->setValueNotifyingHost (static_cast<float> (step) / static_cast<float> (numSteps));

            parameter->endChangeGesture();
            return true;
        });
    }

    bool CLAP_ABI isMessageThread (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "test_hooks.is_message_thread", ClapThread::any }, false,
                        [] (ClapPluginInstance&) { return juce::MessageManager::existsAndIsCurrentThread(); });
    }

    bool CLAP_ABI openOnEditor (const clap_plugin_t* plugin, tessaline_clap_test_hooks_open what)
    {
        return guarded (plugin, { "test_hooks.open_on_editor" }, false, [=] (ClapPluginInstance& instance)
        {
            auto* editor = instance.getProcessor().getActiveEditor();

            if (editor == nullptr)
                return false;

            // The callbacks touch the editor, as an editor's own would: through a pointer that
            // knows when the editor has gone, since they may run after it.
            const juce::Component::SafePointer<juce::Component> editorPointer (editor);
            const auto repaintEditor = [editorPointer] (int)
            {
                if (auto* stillThere = editorPointer.getComponent())
                    stillThere->repaint();
            };

            switch (what)
            {
                case TESSALINE_TEST_OPEN_POPUP_MENU:
                {
                    juce::PopupMenu menu;
                    menu.addItem (1, "One");
                    menu.addItem (2, "Two");
                    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (editor),
                                        repaintEditor);
                    return true;
                }

                case TESSALINE_TEST_OPEN_ALERT_WINDOW:
                {
                    auto* alert = new juce::AlertWindow ("Name", "A name, please", juce::MessageBoxIconType::NoIcon, editor);
                    alert->addTextEditor ("name", "untitled");
                    alert->addButton ("OK", 1);
                    alert->addButton ("Cancel", 0);
                    alert->enterModalState (true, juce::ModalCallbackFunction::create (repaintEditor), true);
                    return true;
                }

                case TESSALINE_TEST_OPEN_MODAL_CHILD:
                {
                    // A modal component inside the editor, as a file chooser panel would be.
                    auto* child = new juce::Label ("modal", "modal");
                    editor->addAndMakeVisible (child);
                    child->setBounds (10, 10, 100, 20);
                    child->enterModalState (true, juce::ModalCallbackFunction::create (repaintEditor), true);
                    return true;
                }
            }

            return false;
        });
    }

    uint32_t CLAP_ABI countModal (const clap_plugin_t* plugin)
    {
        // Popup menus are modal components too.
        return guarded (plugin, { "test_hooks.count_modal" }, 0u, [] (ClapPluginInstance&)
        {
            return (uint32_t) juce::ModalComponentManager::getInstance()->getNumModalComponents();
        });
    }

    bool CLAP_ABI throwFromInside (const clap_plugin_t* plugin)
    {
        return guarded (plugin, { "test_hooks.throw_from_inside", ClapThread::any }, false, [] (ClapPluginInstance&) -> bool
        {
            throw std::runtime_error ("thrown on purpose");
        });
    }

    bool CLAP_ABI userBankNames (const clap_plugin_t* plugin, char* buffer, uint32_t capacity)
    {
        return guarded (plugin, { "test_hooks.user_bank_names" }, false, [=] (ClapPluginInstance& instance)
        {
            auto* editor = dynamic_cast<TessalineAudioProcessorEditor*> (instance.getProcessor().getActiveEditor());

            if (editor == nullptr || buffer == nullptr || capacity == 0)
                return false;

            juce::StringArray names;

            for (const auto& preset : TessalineAudioProcessorEditorInspector::library (*editor).getUserPresets())
                names.add (preset.name);

            names.joinIntoString ("\n").copyToUTF8 (buffer, capacity);
            return true;
        });
    }

    const tessaline_clap_test_hooks_t testHooks { editParameter, resizeEditor, dragParameter, isMessageThread,
                                                  openOnEditor, countModal, throwFromInside, userBankNames };
}

const void* ClapExtraExtensions::find (const char* id) noexcept
{
    return id != nullptr && std::strcmp (id, tessalineClapTestHooksId) == 0 ? &testHooks : nullptr;
}

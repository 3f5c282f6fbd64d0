#pragma once

#include "targets/clap/ClapAbi.h"

// An extension only the test build of the plug-in offers: it lets a test host play the
// editor's part, which a host cannot otherwise reach from outside the library.
static CLAP_CONSTEXPR const char tessalineClapTestHooksId[] = "com.quillfen.tessaline.test-hooks";

typedef enum tessaline_clap_test_hooks_open
{
    TESSALINE_TEST_OPEN_POPUP_MENU,   // an asynchronous popup menu on the editor
    TESSALINE_TEST_OPEN_ALERT_WINDOW, // a modal dialog window of its own, as the editor's dialogs are
    TESSALINE_TEST_OPEN_MODAL_CHILD,  // a modal component inside the editor
} tessaline_clap_test_hooks_open;

typedef struct tessaline_clap_test_hooks
{
    /** Changes parameter `index` as the editor does: gesture begin, the normalised value,
        gesture end, all on the calling thread (the message thread). */
    bool (CLAP_ABI* edit_parameter) (const clap_plugin_t* plugin, uint32_t index, double normalisedValue);

    /** Resizes the open editor from inside, as its resize corner does. */
    bool (CLAP_ABI* resize_editor) (const clap_plugin_t* plugin, uint32_t width, uint32_t height);

    /** Drags parameter `index` as the editor does: gesture begin, `numSteps` values rising
        to 1, gesture end. */
    bool (CLAP_ABI* drag_parameter) (const clap_plugin_t* plugin, uint32_t index, uint32_t numSteps);

    /** Whether the calling thread is JUCE's message thread inside the plug-in. */
    bool (CLAP_ABI* is_message_thread) (const clap_plugin_t* plugin);

    /** Opens a popup menu or modal component on the open editor; its callback touches the editor. */
    bool (CLAP_ABI* open_on_editor) (const clap_plugin_t* plugin, tessaline_clap_test_hooks_open what);

    /** How many modal components (popup menus among them) are open in the library. */
    uint32_t (CLAP_ABI* count_modal) (const clap_plugin_t* plugin);

    /** An entry point whose work throws, as a failing allocation would. */
    bool (CLAP_ABI* throw_from_inside) (const clap_plugin_t* plugin);

    /** The names of the open editor's user bank, one per line, into the buffer (always
        terminated); false without an open editor. */
    bool (CLAP_ABI* user_bank_names) (const clap_plugin_t* plugin, char* buffer, uint32_t capacity);
} tessaline_clap_test_hooks_t;

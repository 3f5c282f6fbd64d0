#include "targets/clap/ClapEditorHost.h"

#include "targets/clap/ClapMessagePump.h"

#include <cmath>
#include <cstring>
#include <numeric>

ClapEditorHost::ClapEditorHost (juce::AudioProcessor& processorToUse, const ClapHostAccess& hostToUse)
    : processor (processorToUse),
      host (hostToUse)
{
}

ClapEditorHost::~ClapEditorHost()
{
    destroy();
}

const char* ClapEditorHost::nativeWindowApi() noexcept
{
   #if JUCE_WINDOWS
    return CLAP_WINDOW_API_WIN32;
   #elif JUCE_MAC
    return CLAP_WINDOW_API_COCOA;
   #else
    return CLAP_WINDOW_API_X11;
   #endif
}

bool ClapEditorHost::isApiSupported (const char* api, bool isFloating) noexcept
{
    return ! isFloating && api != nullptr && std::strcmp (api, nativeWindowApi()) == 0;
}

//==============================================================================
bool ClapEditorHost::create (const char* api, bool isFloating)
{
    if (! isApiSupported (api, isFloating))
        return false;

    if (editor != nullptr)
    {
        host.reportMisbehaviour ("clap_plugin_gui.create called while the editor already exists");
        return false;
    }

    editor.reset (processor.createEditorIfNeeded());

    if (editor == nullptr)
        return false;

    editor->addComponentListener (this);
    return true;
}

void ClapEditorHost::destroy()
{
    if (editor == nullptr)
        return;

    editor->removeComponentListener (this);

    // As JUCE's own plug-in wrappers do before an editor goes: no popup menu, dialog or file
    // chooser of it may outlive it. Their callbacks (which may touch the editor) run now, while
    // it still exists, rather than from the message loop after it is gone.
    juce::PopupMenu::dismissAllActiveMenus();

    if (auto* modal = juce::ModalComponentManager::getInstanceWithoutCreating())
        if (modal->cancelAllModalComponents())
            ClapMessagePump::dispatchPendingMessages();

    processor.editorBeingDeleted (editor.get());
    editor.reset();
}

bool ClapEditorHost::exists() const noexcept
{
    return editor != nullptr;
}

//==============================================================================
bool ClapEditorHost::getSize (uint32_t& width, uint32_t& height) const
{
    if (editor == nullptr)
        return false;

    width = static_cast<uint32_t> (editor->getWidth());
    height = static_cast<uint32_t> (editor->getHeight());
    return true;
}

bool ClapEditorHost::canResize() const
{
    if (editor == nullptr || ! editor->isResizable())
        return false;

    const auto limits = getLimits();
    return limits.minWidth < limits.maxWidth || limits.minHeight < limits.maxHeight;
}

bool ClapEditorHost::getResizeHints (clap_gui_resize_hints_t& hints) const
{
    if (editor == nullptr)
        return false;

    const auto limits = getLimits();
    const auto resizable = canResize();

    hints.can_resize_horizontally = resizable && limits.minWidth < limits.maxWidth;
    hints.can_resize_vertically = resizable && limits.minHeight < limits.maxHeight;
    hints.preserve_aspect_ratio = resizable && limits.aspectRatio > 0.0;
    hints.aspect_ratio_width = 0;
    hints.aspect_ratio_height = 0;

    if (hints.preserve_aspect_ratio)
    {
        // Express the ratio in small whole numbers: exactly the editor's own size reduced when
        // that size has the ratio (920 x 414 gives 20 : 9), else to four decimals.
        auto ratioWidth = editor->getWidth();
        auto ratioHeight = editor->getHeight();

        if (ratioHeight <= 0 || std::abs ((double) ratioWidth / ratioHeight - limits.aspectRatio) > 1.0e-3)
        {
            ratioWidth = juce::roundToInt (limits.aspectRatio * 10000.0);
            ratioHeight = 10000;
        }

        const auto divisor = std::max (1, std::gcd (ratioWidth, ratioHeight));
        hints.aspect_ratio_width = static_cast<uint32_t> (ratioWidth / divisor);
        hints.aspect_ratio_height = static_cast<uint32_t> (ratioHeight / divisor);
    }

    return true;
}

bool ClapEditorHost::adjustSize (uint32_t& width, uint32_t& height) const
{
    if (editor == nullptr)
        return false;

    const auto legal = nearestLegalSize (static_cast<int> (std::min (width, 1u << 20)),
                                         static_cast<int> (std::min (height, 1u << 20)));
    width = static_cast<uint32_t> (legal.x);
    height = static_cast<uint32_t> (legal.y);
    return true;
}

bool ClapEditorHost::setSize (uint32_t width, uint32_t height)
{
    auto legalWidth = width, legalHeight = height;

    if (! adjustSize (legalWidth, legalHeight) || legalWidth != width || legalHeight != height)
        return false;

    const juce::ScopedValueSetter<bool> resizing (hostIsResizing, true);
    editor->setSize (static_cast<int> (width), static_cast<int> (height));
    return true;
}

//==============================================================================
bool ClapEditorHost::setParent (const clap_window_t& window)
{
    if (editor == nullptr || window.api == nullptr || std::strcmp (window.api, nativeWindowApi()) != 0)
        return false;

   #if JUCE_WINDOWS || JUCE_MAC
    auto* nativeParent = window.ptr;
   #else
    auto* nativeParent = reinterpret_cast<void*> (static_cast<juce::pointer_sized_uint> (window.x11));
   #endif

    if (nativeParent == nullptr)
        return false;

    editor->setOpaque (true);
    editor->setVisible (true);
    editor->addToDesktop (0, nativeParent);
    return true;
}

bool ClapEditorHost::show()
{
    if (editor == nullptr)
        return false;

    editor->setVisible (true);
    return true;
}

bool ClapEditorHost::hide()
{
    if (editor == nullptr)
        return false;

    editor->setVisible (false);
    return true;
}

//==============================================================================
ClapEditorHost::Limits ClapEditorHost::getLimits() const
{
    // Without a constrainer the editor's current size is the only legal one.
    auto* constrainer = editor->getConstrainer();

    if (constrainer == nullptr)
        return { editor->getWidth(), editor->getHeight(), editor->getWidth(), editor->getHeight(), 0.0 };

    // An editor without a real maximum (JUCE's default is about 2^30) would otherwise follow a
    // host's request for any size and try to allocate its backing image: such a side grows no
    // further than the screens in use. A maximum the editor set itself is kept as it is.
    constexpr int unboundedSide = 1 << 16;
    const auto screens = juce::Desktop::getInstance().getDisplays().getTotalBounds (false);

    const auto capOf = [] (int maximum, int current, int screenSide)
    {
        return maximum < unboundedSide ? maximum : juce::jmax (current, screenSide > 0 ? screenSide : 8192);
    };

    const auto widthCap = capOf (constrainer->getMaximumWidth(), editor->getWidth(), screens.getWidth());
    const auto heightCap = capOf (constrainer->getMaximumHeight(), editor->getHeight(), screens.getHeight());

    const auto minWidth = juce::jlimit (1, juce::jmax (1, widthCap), constrainer->getMinimumWidth());
    const auto minHeight = juce::jlimit (1, juce::jmax (1, heightCap), constrainer->getMinimumHeight());

    return { minWidth, minHeight,
             juce::jmax (minWidth, widthCap),
             juce::jmax (minHeight, heightCap),
             constrainer->getFixedAspectRatio() };
}

juce::Point<int> ClapEditorHost::nearestLegalSize (int width, int height) const
{
    if (! canResize())
        return { editor->getWidth(), editor->getHeight() };

    const auto limits = getLimits();
    const auto isWithinLimits = limits.minWidth <= width && width <= limits.maxWidth
                             && limits.minHeight <= height && height <= limits.maxHeight;

    // The editor's resize corner rounds one side from the other; every size it can produce
    // (and so every size this returns) is legal as it is.
    if (limits.aspectRatio > 0.0 && isWithinLimits
        && (height == juce::roundToInt (width / limits.aspectRatio) || width == juce::roundToInt (height * limits.aspectRatio)))
        return { width, height };

    width = juce::jlimit (limits.minWidth, limits.maxWidth, width);
    height = juce::jlimit (limits.minHeight, limits.maxHeight, height);

    if (limits.aspectRatio <= 0.0)
        return { width, height };

    // The largest size of the editor's shape that fits the requested area, kept in limits.
    if (width <= height * limits.aspectRatio)
        height = juce::roundToInt (width / limits.aspectRatio);
    else
        width = juce::roundToInt (height * limits.aspectRatio);

    width = juce::jlimit (limits.minWidth, limits.maxWidth, width);
    height = juce::jlimit (limits.minHeight, limits.maxHeight, juce::roundToInt (width / limits.aspectRatio));
    return { width, height };
}

void ClapEditorHost::componentMovedOrResized (juce::Component& component, bool, bool wasResized)
{
    // The editor resized itself (its corner, a scale change): ask the host to follow.
    if (wasResized && ! hostIsResizing)
        host.requestResize (static_cast<uint32_t> (component.getWidth()),
                            static_cast<uint32_t> (component.getHeight()));
}

#include "targets/clap/ClapEditorHost.h"

#include "targets/clap/ClapMessagePump.h"

#include <cmath>
#include <cstring>
#include <numeric>

/** What goes into the host's window: the editor, magnified by the host's scale, and black where
    a rounded-up editor size leaves nothing to cover. */
class ClapEditorHost::Frame final : public juce::Component
{
public:
    Frame()
    {
        setOpaque (true);
    }

    void paint (juce::Graphics& g) override
    {
        g.fillAll (juce::Colours::black);
    }

    /** The scale JUCE applies to this window itself (the desktop's, from the X settings). */
    double getPlatformScale() const
    {
        if (auto* peer = getPeer())
            return peer->getPlatformScaleFactor();

        if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
            return display->scale;

        return 1.0;
    }
};

//==============================================================================
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

    frame = std::make_unique<Frame>();
    frame->addAndMakeVisible (*editor);
    editor->setTopLeftPosition (0, 0);
    physicalSize = physicalSizeOf ({ editor->getWidth(), editor->getHeight() });
    applyScale();

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
    frame.reset();
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

    width = static_cast<uint32_t> (physicalSize.x);
    height = static_cast<uint32_t> (physicalSize.y);
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

    physicalSize = { static_cast<int> (width), static_cast<int> (height) };
    applyScale();
    return true;
}

bool ClapEditorHost::setScale (double scale)
{
    if (editor == nullptr || ! std::isfinite (scale) || scale < 0.5 || scale > 4.0)
        return false;

    if (scale == hostScale)
        return true;

    // The editor keeps its own size; the window it needs grows or shrinks with the scale.
    hostScale = scale;
    physicalSize = physicalSizeOf ({ editor->getWidth(), editor->getHeight() });
    applyScale();

    if (frame->isOnDesktop())
        host.requestResize (static_cast<uint32_t> (physicalSize.x), static_cast<uint32_t> (physicalSize.y));

    return true;
}

juce::Point<int> ClapEditorHost::physicalSizeOf (juce::Point<int> editorSize) const noexcept
{
    return { juce::roundToInt (editorSize.x * hostScale), juce::roundToInt (editorSize.y * hostScale) };
}

void ClapEditorHost::applyScale()
{
    // JUCE already magnifies its windows by the desktop's scale; the editor adds what is left of
    // the host's. An editor size that gives the window's size is kept; otherwise it is the
    // size rounded up, so the editor covers the whole window.
    const auto platformScale = frame->getPlatformScale();
    auto editorSize = juce::Point<int> (editor->getWidth(), editor->getHeight());

    if (physicalSizeOf (editorSize) != physicalSize)
        editorSize = { (int) std::ceil (physicalSize.x / hostScale - 1.0e-6), (int) std::ceil (physicalSize.y / hostScale - 1.0e-6) };

    const juce::ScopedValueSetter<bool> resizing (hostIsResizing, true);
    editor->setScaleFactor ((float) (hostScale / platformScale));
    editor->setBounds (0, 0, editorSize.x, editorSize.y);
    frame->setSize (juce::roundToInt (physicalSize.x / platformScale), juce::roundToInt (physicalSize.y / platformScale));
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
    frame->setVisible (true);
    frame->addToDesktop (0, nativeParent);

    // The window's own scale is known for certain once it exists.
    applyScale();
    return true;
}

bool ClapEditorHost::show()
{
    if (editor == nullptr)
        return false;

    frame->setVisible (true);
    return true;
}

bool ClapEditorHost::hide()
{
    if (editor == nullptr)
        return false;

    frame->setVisible (false);
    return true;
}

//==============================================================================
ClapEditorHost::Limits ClapEditorHost::getLimits() const
{
    const auto limits = getEditorLimits();
    const auto minimum = physicalSizeOf ({ limits.minWidth, limits.minHeight });
    const auto maximum = physicalSizeOf ({ limits.maxWidth, limits.maxHeight });
    return { minimum.x, minimum.y, maximum.x, maximum.y, limits.aspectRatio };
}

ClapEditorHost::Limits ClapEditorHost::getEditorLimits() const
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
        return physicalSize;

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
    // The editor resized itself (its corner): the window follows, and the host is asked to.
    if (! wasResized || hostIsResizing)
        return;

    physicalSize = physicalSizeOf ({ component.getWidth(), component.getHeight() });
    applyScale();
    host.requestResize (static_cast<uint32_t> (physicalSize.x), static_cast<uint32_t> (physicalSize.y));
}

#pragma once

#include "targets/clap/ClapAbi.h"
#include "targets/clap/ClapHostAccess.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** The processor's editor inside a window the host owns. Sizes follow the editor's own resize
    limits and fixed aspect ratio; floating windows are not offered. */
class ClapEditorHost final : private juce::ComponentListener
{
public:
    ClapEditorHost (juce::AudioProcessor&, const ClapHostAccess&);
    ~ClapEditorHost() override;

    /** The window API of this platform: "x11", "win32" or "cocoa". */
    static const char* nativeWindowApi() noexcept;
    static bool isApiSupported (const char* api, bool isFloating) noexcept;

    //==============================================================================
    bool create (const char* api, bool isFloating);
    void destroy();
    bool exists() const noexcept;

    bool getSize (uint32_t& width, uint32_t& height) const;
    bool canResize() const;
    bool getResizeHints (clap_gui_resize_hints_t&) const;
    bool adjustSize (uint32_t& width, uint32_t& height) const;
    bool setSize (uint32_t width, uint32_t height);

    bool setParent (const clap_window_t&);
    bool show();
    bool hide();

private:
    struct Limits
    {
        int minWidth, minHeight, maxWidth, maxHeight;
        double aspectRatio; // width / height, 0 when free
    };

    Limits getLimits() const;
    juce::Point<int> nearestLegalSize (int width, int height) const;

    void componentMovedOrResized (juce::Component&, bool wasMoved, bool wasResized) override;

    //==============================================================================
    juce::AudioProcessor& processor;
    const ClapHostAccess& host;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    bool hostIsResizing = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapEditorHost)
};

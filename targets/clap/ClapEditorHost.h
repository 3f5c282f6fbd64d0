#pragma once

#include "targets/clap/ClapAbi.h"
#include "targets/clap/ClapHostAccess.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** The processor's editor inside a window the host owns. Sizes follow the editor's own resize
    limits and fixed aspect ratio; floating windows are not offered.

    The editor sits in a frame that goes into the host's window and draws it magnified by the
    host's GUI scale (clap.gui set_scale). Every size exchanged with the host is in the window's
    physical pixels: the editor's own size times that scale. */
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

    /** The host's scale (1.5 for 150 %): taken while the editor exists, from 0.5 to 4. */
    bool setScale (double scale);
    double getScale() const noexcept   { return hostScale; }

    bool setParent (const clap_window_t&);
    bool show();
    bool hide();

private:
    struct Limits
    {
        int minWidth, minHeight, maxWidth, maxHeight;
        double aspectRatio; // width / height, 0 when free
    };

    class Frame;

    Limits getEditorLimits() const;
    Limits getLimits() const;
    juce::Point<int> nearestLegalSize (int width, int height) const;
    juce::Point<int> physicalSizeOf (juce::Point<int> editorSize) const noexcept;
    void applyScale();

    void componentMovedOrResized (juce::Component&, bool wasMoved, bool wasResized) override;

    //==============================================================================
    juce::AudioProcessor& processor;
    const ClapHostAccess& host;
    std::unique_ptr<Frame> frame;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    juce::Point<int> physicalSize;
    double hostScale = 1.0;
    bool hostIsResizing = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapEditorHost)
};

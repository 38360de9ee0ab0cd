#pragma once
// A private X server for one GUI test: Xvfb on a display number it picks
// itself, optionally with a window manager (openbox), driven by xdotool and
// photographed with ImageMagick's import. DISPLAY points at it while it runs.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uitoolkit/render/DrawEngine.h"

namespace testsupport {

class GuiDisplay {
public:
    GuiDisplay() = default;
    ~GuiDisplay();
    GuiDisplay(const GuiDisplay&) = delete;
    GuiDisplay& operator=(const GuiDisplay&) = delete;

    // Starts Xvfb (1024x768, 24 bits, black root); with windowManager also
    // openbox, with compositor also xcompmgr, returning once they are at work.
    bool Start(bool windowManager, bool compositor = false);
    const std::string& Name() const { return name_; }

    // Runs xdotool with args against the display; true when it succeeded.
    bool Xdotool(const std::vector<std::string>& args) const;
    // Starts xdotool without waiting; Finish() waits for it.
    bool XdotoolInBackground(const std::vector<std::string>& args);
    bool FinishBackground();

    // The whole screen as pixels (opaque ARGB), through import -window root.
    std::optional<ZembraUI::LoadedImage> Screenshot() const;
    // True once another client (the window manager) holds the pointer grab.
    bool PointerGrabbedElsewhere() const;

private:
    void Stop();

    std::string name_;
    pid_t server_ = -1;
    pid_t windowManager_ = -1;
    pid_t compositor_ = -1;
    pid_t background_ = -1;
    std::string previousDisplay_;
    bool hadDisplay_ = false;
};

// The colour at (x, y), or 0 outside the picture.
std::uint32_t PixelOf(const ZembraUI::LoadedImage& image, int x, int y);

}  // namespace testsupport

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/GuiTest.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/window/HostWindow.h"

namespace {

using ZembraUI::CDrawEngine;
using ZembraUI::CHostWindow;
using ZembraUI::CPaintSurface;
using ZembraUI::HostWindowOptions;
using ZembraUI::MouseInput;
using ZembraUI::UIPoint;
using ZembraUI::UIRect;
using testsupport::PixelOf;

constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kGreen = 0xFF00FF00;

// Paints its left half in one colour and its right half in another.
class TwoToneWindow : public CHostWindow {
public:
    TwoToneWindow(std::uint32_t left, std::uint32_t right) : left_(left), right_(right) {}

    int paints = 0;
    int drags = 0;
    std::vector<MouseInput> buttons;
    UIRect clickable;  // a control that stays clickable inside the caption band

protected:
    void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) override {
        const int middle = surface.Width() / 2;
        for (const UIRect& area : areas) {
            cairo_t* cr = surface.BeginPaint(area);
            CDrawEngine::DrawColor(cr, {0, 0, middle, surface.Height()}, left_);
            CDrawEngine::DrawColor(cr, {middle, 0, surface.Width(), surface.Height()}, right_);
            cairo_destroy(cr);
        }
        ++paints;
    }
    void OnMouseButton(const MouseInput& input) override { buttons.push_back(input); }
    void OnCaptionDrag() override { ++drags; }
    bool IsDragArea(const UIPoint& point) override {
        return !(point.x >= clickable.left && point.x < clickable.right && point.y >= clickable.top &&
                 point.y < clickable.bottom);
    }

private:
    std::uint32_t left_;
    std::uint32_t right_;
};

HostWindowOptions At(int x, int y, int width, int height, bool perPixelAlpha = false) {
    HostWindowOptions options;
    options.title = "gui test";
    options.x = x;
    options.y = y;
    options.width = width;
    options.height = height;
    options.perPixelAlpha = perPixelAlpha;
    return options;
}

class WindowGuiTest : public testsupport::GuiTest {
protected:
    bool ShowAndPaint(TwoToneWindow& window) {
        window.Show(true);
        return PumpUntil([&] { return window.paints > 0; });
    }
    bool Drag(const UIPoint& from, const UIPoint& to) {
        return display_.XdotoolInBackground({"mousemove", "--sync", std::to_string(from.x), std::to_string(from.y),
                                             "mousedown", "1", "mousemove", "--sync", std::to_string(to.x),
                                             std::to_string(to.y), "mouseup", "1"});
    }
};

TEST_F(WindowGuiTest, PresentedSurfaceShowsWithRoundedCornersAtEverySize) {
    TwoToneWindow window(kRed, kBlue);
    ASSERT_TRUE(window.Create(At(50, 60, 200, 100)));
    window.SetRoundCorner(30, 30);
    ASSERT_TRUE(ShowAndPaint(window));

    auto shot = ScreenshotWhen([](const auto& image) { return PixelOf(image, 60, 110) == kRed; });
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(PixelOf(*shot, 60, 110), kRed);
    EXPECT_EQ(PixelOf(*shot, 149, 60), kRed);
    EXPECT_EQ(PixelOf(*shot, 240, 110), kBlue);
    EXPECT_EQ(PixelOf(*shot, 51, 61), kBlack);    // cut off by the rounded corner
    EXPECT_EQ(PixelOf(*shot, 248, 158), kBlack);
    EXPECT_EQ(PixelOf(*shot, 45, 110), kBlack);   // beside the window

    // A new size is painted whole and gets its own rounded corners.
    const int paintsBefore = window.paints;
    window.Resize(300, 150);
    ASSERT_TRUE(PumpUntil([&] { return window.paints > paintsBefore; }));
    shot = ScreenshotWhen([](const auto& image) { return PixelOf(image, 50 + 285, 60 + 140) == kBlue; });
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(PixelOf(*shot, 50 + 285, 60 + 140), kBlue);
    EXPECT_EQ(PixelOf(*shot, 50 + 299, 60 + 149), kBlack);
    EXPECT_EQ(PixelOf(*shot, 50 + 150, 60 + 149), kBlue);
}

TEST_F(WindowGuiTest, WithoutACompositorTransparentPixelsAreCutFromTheShape) {
    TwoToneWindow below(kGreen, kGreen);
    ASSERT_TRUE(below.Create(At(100, 100, 200, 100)));
    ASSERT_TRUE(ShowAndPaint(below));
    TwoToneWindow glass(0x00000000, kRed);
    ASSERT_TRUE(glass.Create(At(100, 100, 200, 100, true)));
    EXPECT_FALSE(glass.HasAlphaVisual());
    ASSERT_TRUE(ShowAndPaint(glass));

    // The window below shows its green again once it has handled the expose.
    const auto shot = ScreenshotWhen([](const auto& image) { return PixelOf(image, 110, 150) == kGreen; });
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(PixelOf(*shot, 110, 150), kGreen);
    EXPECT_EQ(PixelOf(*shot, 290, 150), kRed);
}

TEST_F(WindowGuiTest, CaptionDragMovesTheWindowWhileControlsInTheBandStayClickable) {
    TwoToneWindow window(kRed, kBlue);
    ASSERT_TRUE(window.Create(At(100, 100, 300, 200)));
    window.SetCaption({0, 0, 0, 40});
    window.clickable = {200, 0, 260, 40};
    ASSERT_TRUE(ShowAndPaint(window));
    ASSERT_FALSE(window.WindowManagerRunning());

    ASSERT_TRUE(display_.XdotoolInBackground({"mousemove", "--sync", "330", "120", "click", "1"}));
    ASSERT_TRUE(PumpUntil([&] { return window.buttons.size() == 2; }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.buttons[0].point, (UIPoint{230, 20}));
    EXPECT_EQ(window.drags, 0);

    ASSERT_TRUE(Drag({150, 120}, {250, 200}));
    const UIRect moved{200, 180, 500, 380};
    EXPECT_TRUE(PumpUntil([&] { return window.ScreenRect() == moved && window.drags == 1; }));
    ASSERT_TRUE(display_.FinishBackground());
    EXPECT_EQ(window.ScreenRect(), moved);
    EXPECT_EQ(window.buttons.size(), 2u);  // the drag's press reached no control
}

class CompositorGuiTest : public WindowGuiTest {
protected:
    bool NeedsCompositor() const override { return true; }
};

TEST_F(CompositorGuiTest, TranslucentPixelsBlendWithWhatLiesBelow) {
    TwoToneWindow below(kGreen, kGreen);
    ASSERT_TRUE(below.Create(At(100, 100, 200, 100)));
    ASSERT_TRUE(ShowAndPaint(below));
    TwoToneWindow glass(0x00000000, 0x80FF0000);
    ASSERT_TRUE(glass.Create(At(100, 100, 200, 100, true)));
    EXPECT_TRUE(glass.HasAlphaVisual());
    ASSERT_TRUE(ShowAndPaint(glass));

    const auto blended = [](std::uint32_t pixel) {
        const int red = int((pixel >> 16) & 0xFF);
        const int green = int((pixel >> 8) & 0xFF);
        return red > 100 && red < 160 && green > 100 && green < 160;
    };
    const auto shot = ScreenshotWhen([&](const auto& image) {
        return PixelOf(image, 110, 150) == kGreen && blended(PixelOf(image, 290, 150));
    });
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(PixelOf(*shot, 110, 150), kGreen);
    EXPECT_TRUE(blended(PixelOf(*shot, 290, 150))) << std::hex << PixelOf(*shot, 290, 150);
}

class WindowManagerGuiTest : public WindowGuiTest {
protected:
    bool NeedsWindowManager() const override { return true; }
};

TEST_F(WindowManagerGuiTest, CaptionDragIsHandedToTheWindowManager) {
    TwoToneWindow window(kRed, kBlue);
    ASSERT_TRUE(window.Create(At(100, 100, 300, 200)));
    window.SetCaption({0, 0, 0, 40});
    ASSERT_TRUE(ShowAndPaint(window));
    ASSERT_TRUE(window.WindowManagerRunning());
    const UIRect start = window.ScreenRect();

    const UIPoint press{start.left + 50, start.top + 20};
    ASSERT_TRUE(display_.Xdotool(
        {"mousemove", "--sync", std::to_string(press.x), std::to_string(press.y), "mousedown", "1"}));
    // The press goes to the window manager, which then holds the pointer.
    ASSERT_TRUE(PumpUntil([&] { return window.drags == 1; }));
    ASSERT_TRUE(PumpUntil([&] { return display_.PointerGrabbedElsewhere(); }));
    ASSERT_TRUE(display_.Xdotool(
        {"mousemove", "--sync", std::to_string(press.x + 100), std::to_string(press.y + 80)}));
    ASSERT_TRUE(display_.Xdotool({"mouseup", "1"}));
    const UIRect moved{start.left + 100, start.top + 80, start.right + 100, start.bottom + 80};
    EXPECT_TRUE(PumpUntil([&] { return window.ScreenRect() == moved; }));
    EXPECT_EQ(window.ScreenRect(), moved);
    EXPECT_TRUE(window.buttons.empty());
}

}  // namespace

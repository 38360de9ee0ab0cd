// Scroll bars under the pointer, shortcut keys and the window attributes'
// value ranges.
#include <gtest/gtest.h>

#include "uitoolkit/controls/ScrollBarUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/manager/WindowAttributes.h"
#include "unit/uitoolkit/UiTestSupport.h"

namespace {

using UiTests::TestWindow;
using Strings = std::vector<std::string>;

TEST(ScrollAndShortcutTest, ScrollBarButtonsRailAndThumbMoveTheContent) {
    TestWindow t(R"(<Window><VerticalLayout name="list" vscrollbar="true">
        <Control name="a" height="150" /><Control name="b" height="150" />
    </VerticalLayout></Window>)");
    ZembraUI::CScrollBarUI* bar = static_cast<ZembraUI::CContainerUI*>(t["list"])->VerticalScrollBar();
    ASSERT_EQ(bar->Range(), 200);
    const ZembraUI::UIRect down = bar->Button2Rect();
    t.window.Click({down.left + 2, down.top + 2});
    EXPECT_EQ(bar->ScrollPos(), bar->LineSize());
    // A press on the rail below the thumb pages down.
    const ZembraUI::UIRect thumb = bar->ThumbRect();
    t.window.Click({thumb.left + 2, thumb.bottom + 2});
    EXPECT_EQ(bar->ScrollPos(), bar->LineSize() + 100);
    // Dragging the thumb to the bottom scrolls to the end.
    const ZembraUI::UIRect moved = bar->ThumbRect();
    t.window.Press({moved.left + 2, moved.top + 2});
    t.window.MoveTo({moved.left + 2, 400});
    t.window.Release({moved.left + 2, 400});
    EXPECT_EQ(bar->ScrollPos(), 200);
    t.window.Pump();
    EXPECT_EQ(t.Pos("b").bottom, 100);
}

TEST(ScrollAndShortcutTest, ShortcutKeysFocusAndFireTheirControl) {
    TestWindow t(R"(<Window><VerticalLayout>
        <Button name="save" text="Save" height="20" shortcut="s" />
        <Label name="caption" text="Name" height="20" shortcut="n" />
        <Button name="after" height="20" />
        <TabLayout name="tabs" height="20"><Control /><Control /></TabLayout>
    </VerticalLayout></Window>)");
    ZembraUI::UIMessage key;
    key.kind = ZembraUI::UIMessageKind::SysChar;
    key.character = U's';
    t.window.Send(key);
    EXPECT_EQ(t.recorder.Seen("click"), Strings{"click:save"});
    // A label hands its shortcut to the next control of the search, which
    // runs from the last child to the first.
    key.character = U'N';
    t.window.Send(key);
    EXPECT_EQ(t.window.Manager().FocusedControl(), t["save"]);
    EXPECT_EQ(t.recorder.Seen("click"), (Strings{"click:save", "click:save"}));
    key.character = U'q';
    EXPECT_FALSE(t.window.Manager().HandleEvent(key));
}

TEST(ScrollAndShortcutTest, WindowAttributesRefuseValuesOutOfRange) {
    ZembraUI::WindowAttributes window;
    EXPECT_TRUE(ZembraUI::ApplyWindowAttribute(window, "shadowsize", "30"));
    EXPECT_EQ(window.shadow.size, 0);
    ZembraUI::ApplyWindowAttribute(window, "shadowsize", "-20");
    ZembraUI::ApplyWindowAttribute(window, "shadowposition", "3,21");
    ZembraUI::ApplyWindowAttribute(window, "shadowdarkness", "256");
    EXPECT_EQ(window.shadow.size, -20);
    EXPECT_EQ(window.shadow.offset, (ZembraUI::UIPoint{0, 0}));
    EXPECT_EQ(window.shadow.darkness, 150);

    ZembraUI::ApplyWindowAttribute(window, "alpha", "120");
    EXPECT_TRUE(window.constantAlpha);
    EXPECT_EQ(window.opacity, 120);
    ZembraUI::ApplyWindowAttribute(window, "alpha", "300");
    EXPECT_FALSE(window.constantAlpha);
    ZembraUI::ApplyWindowAttribute(window, "defaultfontcolor", "not a colour");
    EXPECT_EQ(window.defaultTextColor, 0u);
    EXPECT_FALSE(ZembraUI::ApplyWindowAttribute(window, "animation_direction", "left"));
}

}  // namespace

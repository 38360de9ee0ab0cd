// Size distribution of the vertical, horizontal and tab layouts.
#include <gtest/gtest.h>

#include "uitoolkit/controls/ScrollBarUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "unit/uitoolkit/UiTestSupport.h"

namespace {

using UiTests::TestWindow;
using ZembraUI::UIRect;

TEST(BoxLayoutTest, VerticalLayoutSharesWhatFixedChildrenLeave) {
    TestWindow t(R"(<Window><VerticalLayout childpadding="10">
        <Control name="fixed" height="30" /><Control name="rest" />
    </VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("fixed"), (UIRect{0, 0, 200, 30}));
    // 100 - 10 of child padding - 30 fixed.
    EXPECT_EQ(t.Pos("rest"), (UIRect{0, 40, 200, 100}));
}

TEST(BoxLayoutTest, IntegerSharesLeaveTheRemainderUnused) {
    TestWindow t(R"(<Window><VerticalLayout>
        <Control name="a" /><Control name="b" /><Control name="c" />
    </VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("a"), (UIRect{0, 0, 200, 33}));
    EXPECT_EQ(t.Pos("b"), (UIRect{0, 33, 200, 66}));
    EXPECT_EQ(t.Pos("c"), (UIRect{0, 66, 200, 99}));
}

TEST(BoxLayoutTest, PaddingInsetAndLimitsShapeEachChild) {
    TestWindow t(R"(<Window><VerticalLayout inset="2,3,4,5">
        <Control name="padded" padding="5,5,5,5" height="20" />
        <Control name="narrow" width="50" height="10" />
        <Control name="capped" maxheight="15" />
        <Control name="grown" height="5" minheight="12" minwidth="250" />
    </VerticalLayout></Window>)");
    // Inner width 200 - 2 - 4 = 194; the padded child loses 10 more.
    EXPECT_EQ(t.Pos("padded"), (UIRect{7, 8, 191, 28}));
    EXPECT_EQ(t.Pos("narrow"), (UIRect{2, 33, 52, 43}));
    EXPECT_EQ(t.Pos("capped").Height(), 15);
    EXPECT_EQ(t.Pos("grown").Height(), 12);
    EXPECT_EQ(t.Pos("grown").Width(), 250);
}

TEST(BoxLayoutTest, HorizontalLayoutIsTheSameAlongX) {
    TestWindow t(R"(<Window><HorizontalLayout childpadding="10">
        <Control name="fixed" width="30" /><Control name="rest" padding="0,5,0,5" />
        <Control name="gone" visible="false" width="40" />
    </HorizontalLayout></Window>)", {100, 50});
    EXPECT_EQ(t.Pos("fixed"), (UIRect{0, 0, 30, 50}));
    EXPECT_EQ(t.Pos("rest"), (UIRect{40, 5, 100, 45}));
}

TEST(BoxLayoutTest, FloatingChildrenSitAtTheirOwnPosition) {
    TestWindow t(R"(<Window><VerticalLayout inset="10,10,10,10">
        <Control name="first" height="20" />
        <Control name="floater" float="true" pos="5,6,25,16" />
        <Control name="corner" float="true" pos="-30,-20,-10,-5" />
        <Control name="second" height="20" />
    </VerticalLayout></Window>)");
    EXPECT_EQ(t.Pos("floater"), (UIRect{5, 6, 25, 16}));
    // A negative left or top counts from the right or bottom edge.
    EXPECT_EQ(t.Pos("corner"), (UIRect{170, 80, 190, 95}));
    // Floating children take no room in the flow.
    EXPECT_EQ(t.Pos("second").top, 30);
}

TEST(BoxLayoutTest, OverflowShowsTheScrollBarWithTheExcessAsRange) {
    TestWindow t(R"(<Window><VerticalLayout name="list" vscrollbar="true">
        <Control name="a" height="80" /><Control name="b" height="80" />
    </VerticalLayout></Window>)");
    auto* list = static_cast<ZembraUI::CContainerUI*>(t["list"]);
    ZembraUI::CScrollBarUI* bar = list->VerticalScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->Visible());
    EXPECT_EQ(bar->Range(), 60);
    EXPECT_EQ(t.Pos("a").Width(), 200 - ZembraUI::CScrollBarUI::kDefaultSize);

    list->PutScrollPos({0, 25});
    t.window.Pump();
    EXPECT_EQ(t.Pos("a").top, -25);
    // Scrolling past the end stops at the range.
    for (int turn = 0; turn < 10; ++turn) t.window.Wheel({10, 10}, -120);
    t.window.Pump();
    EXPECT_EQ(bar->ScrollPos(), 60);
    EXPECT_EQ(t.Pos("b").bottom, 100);
}

TEST(BoxLayoutTest, TabLayoutShowsOnePageAndAnnouncesChangesOnly) {
    TestWindow t(R"(<Window><TabLayout name="tabs" selectedid="1" inset="5,5,5,5">
        <Control name="p0" /><Control name="p1" padding="1,2,3,4" /><Control name="p2" />
    </TabLayout></Window>)");
    auto* tabs = static_cast<ZembraUI::CTabLayoutUI*>(t["tabs"]);
    EXPECT_EQ(tabs->CurrentSelection(), 1);
    EXPECT_FALSE(t["p0"]->Visible());
    EXPECT_EQ(t.Pos("p1"), (UIRect{6, 7, 192, 91}));

    t.recorder.all.clear();
    EXPECT_TRUE(tabs->SelectItem(1));
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_TRUE(t.recorder.all.empty());
    EXPECT_TRUE(tabs->SelectItem(2));
    ASSERT_EQ(t.recorder.Seen("tabselect").size(), 1u);
    EXPECT_EQ(t.recorder.all.back().wParam, 2u);
    EXPECT_EQ(t.recorder.all.back().lParam, 1);
    t.window.Pump();
    EXPECT_TRUE(t["p2"]->Visible());
    EXPECT_FALSE(t["p1"]->Visible());
    EXPECT_EQ(t.Pos("p2"), (UIRect{5, 5, 195, 95}));
}

}  // namespace

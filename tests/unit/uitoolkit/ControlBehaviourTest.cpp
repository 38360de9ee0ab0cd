// Leaf controls driven by synthetic input: buttons, options, check boxes,
// combos, progress bars, edits and text links.
#include <gtest/gtest.h>

#include "uitoolkit/controls/CheckBoxUI.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/controls/EditUI.h"
#include "uitoolkit/controls/ProgressUI.h"
#include "uitoolkit/controls/TextUI.h"
#include "unit/uitoolkit/UiTestSupport.h"

namespace {

using UiTests::TestWindow;
using ZembraUI::UIPoint;
using Strings = std::vector<std::string>;

TEST(ControlBehaviourTest, ButtonClicksOnlyWhenReleasedInside) {
    TestWindow t(R"(<Window><HorizontalLayout>
        <Button name="ok" width="50" /><Button name="off" width="50" enabled="false" /><Control />
    </HorizontalLayout></Window>)");
    t.window.Click({10, 10});
    t.window.Press({10, 10});
    t.window.MoveTo({150, 10});
    // Captured: the button still follows the pointer and drops its pushed state.
    EXPECT_EQ(static_cast<ZembraUI::CButtonUI*>(t["ok"])->State() & ZembraUI::ButtonState::kPushed, 0u);
    t.window.Release({150, 10});
    t.window.Click({60, 10});
    EXPECT_EQ(t.recorder.Seen("click"), Strings{"click:ok"});

    // Pressing the disabled button took the focus away; Space and Enter fire
    // the focused button.
    EXPECT_EQ(t.window.Manager().FocusedControl(), nullptr);
    t["ok"]->TakeFocus();
    t.window.PressKey(ZembraUI::KeyCode::kSpace);
    t.window.PressKey(ZembraUI::KeyCode::kReturn);
    EXPECT_EQ(t.recorder.Seen("click").size(), 3u);
}

TEST(ControlBehaviourTest, GroupedOptionsSelectOneAndReannounceARepeatedClick) {
    TestWindow t(R"(<Window><HorizontalLayout>
        <Option name="a" group="g" width="40" selected="true" /><Option name="b" group="g" width="40" />
        <CheckBox name="c" width="40" /><Control />
    </HorizontalLayout></Window>)");
    auto* a = static_cast<ZembraUI::COptionUI*>(t["a"]);
    auto* b = static_cast<ZembraUI::COptionUI*>(t["b"]);
    auto* c = static_cast<ZembraUI::CCheckBoxUI*>(t["c"]);
    t.window.Click({50, 10});
    EXPECT_TRUE(b->Selected());
    EXPECT_FALSE(a->Selected());
    t.window.Click({50, 10});
    EXPECT_TRUE(b->Selected());
    EXPECT_EQ(t.recorder.Seen("selectchanged"), (Strings{"selectchanged:b", "selectchanged:b"}));

    t.recorder.all.clear();
    t.window.Click({90, 10});
    t.window.Click({90, 10});
    EXPECT_FALSE(c->Checked());
    EXPECT_EQ(t.recorder.Seen("selectchanged"), (Strings{"selectchanged:c", "selectchanged:c"}));
    EXPECT_EQ(t.recorder.Seen("click").size(), 2u);
}

TEST(ControlBehaviourTest, ComboSelectionClampsAndRefusesHiddenItems) {
    TestWindow t(R"(<Window><Combo name="combo" height="20">
        <ListLabelElement name="i0" text="zero" /><ListLabelElement text="one" />
        <ListLabelElement name="hidden" text="two" visible="false" /><ListLabelElement text="three" />
        <ListLabelElement name="last" text="four" />
    </Combo></Window>)");
    auto* combo = static_cast<ZembraUI::CComboUI*>(t["combo"]);
    EXPECT_EQ(combo->CurrentSelection(), -1);
    EXPECT_TRUE(combo->SelectItem(7));
    EXPECT_EQ(combo->CurrentSelection(), 4);
    EXPECT_EQ(combo->Text(), "four");
    EXPECT_FALSE(combo->SelectItem(2));
    EXPECT_EQ(combo->CurrentSelection(), -1);
    ASSERT_EQ(t.recorder.Seen("itemselect").size(), 1u);
    EXPECT_EQ(t.recorder.all.back().lParam, -1);

    // A click opens the drop-down through the host; the wheel moves the
    // selection past the hidden item.
    t.window.Click({10, 10});
    EXPECT_EQ(t.window.Host().DropDown(), combo);
    EXPECT_EQ(t.recorder.Seen("dropdown").size(), 1u);
    combo->SelectItem(1);
    t.window.Wheel({10, 10}, -120);
    EXPECT_EQ(combo->CurrentSelection(), 3);

    // Pressing an item selects it through the combo; releasing sends itemclick.
    ZembraUI::ControlEvent press{ZembraUI::kEventButtonDown};
    t["i0"]->OnEvent(press);
    ZembraUI::ControlEvent release{ZembraUI::kEventButtonUp};
    t["i0"]->OnEvent(release);
    EXPECT_EQ(combo->CurrentSelection(), 0);
    EXPECT_EQ(t.recorder.Seen("itemclick"), Strings{"itemclick:i0"});
}

TEST(ControlBehaviourTest, ProgressClampsItsValueAndCropsTheFill) {
    TestWindow t(R"(<Window><VerticalLayout>
        <Progress name="over" width="200" height="10" value="150" />
        <Progress name="empty_range" width="200" height="10" min="0" max="0" value="1" />
        <Progress name="upright" width="20" height="80" hor="false" value="25" isstretchfore="true" />
    </VerticalLayout></Window>)");
    auto* over = static_cast<ZembraUI::CProgressUI*>(t["over"]);
    EXPECT_EQ(over->Value(), 100);
    EXPECT_EQ(over->FillModifier(), "dest='0,0,200,10' source='0,0,200,10'");
    auto* emptyRange = static_cast<ZembraUI::CProgressUI*>(t["empty_range"]);
    EXPECT_EQ(emptyRange->MaxValue(), 1);
    EXPECT_EQ(emptyRange->FillModifier(), "dest='0,0,200,10' source='0,0,200,10'");
    auto* upright = static_cast<ZembraUI::CProgressUI*>(t["upright"]);
    EXPECT_EQ(upright->FillModifier(), "dest='0,60,20,80'");
}

TEST(ControlBehaviourTest, EditKeepsItsLimitsWhileTyping) {
    TestWindow t(R"(<Window><VerticalLayout>
        <Edit name="digits" height="20" numberonly="true" maxchar="3" />
        <Edit name="secret" height="20" password="true" passwordchar="•" />
        <Edit name="fixed" height="20" readonly="true" text="kept" />
    </VerticalLayout></Window>)");
    auto* digits = static_cast<ZembraUI::CEditUI*>(t["digits"]);
    digits->TakeFocus();
    t.window.Type("1a2345");
    EXPECT_EQ(digits->Text(), "123");
    t.window.PressKey(ZembraUI::KeyCode::kBack);
    t.window.PressKey(ZembraUI::KeyCode::kReturn);
    EXPECT_EQ(digits->Text(), "12");
    EXPECT_EQ(t.recorder.Seen("textchanged").size(), 4u);
    EXPECT_EQ(t.recorder.Seen("return"), Strings{"return:digits"});

    auto* secret = static_cast<ZembraUI::CEditUI*>(t["secret"]);
    secret->TakeFocus();
    t.window.Type("pässe");
    EXPECT_EQ(secret->Text(), "pässe");
    EXPECT_EQ(secret->DisplayText(), "•••••");

    auto* fixed = static_cast<ZembraUI::CEditUI*>(t["fixed"]);
    fixed->TakeFocus();
    t.window.Type("x");
    t.window.PressKey(ZembraUI::KeyCode::kBack);
    EXPECT_EQ(fixed->Text(), "kept");
}

TEST(ControlBehaviourTest, TextLinksAnswerClicksAndTheHandCursor) {
    TestWindow t(R"(<Window><Text name="t" showhtml="true" text="{a first}one{/a} and {a}{u}two{/u}{/a}" /></Window>)",
                 {300, 40});
    auto* text = static_cast<ZembraUI::CTextUI*>(t["t"]);
    ASSERT_EQ(text->Links().size(), 2u);
    EXPECT_EQ(text->Links()[0].text, "first");
    const ZembraUI::UIRect second = text->Links()[1].rects.at(0);
    const UIPoint inside{(second.left + second.right) / 2, (second.top + second.bottom) / 2};

    t.window.Click(inside);
    t.window.Click({299, 39});
    ASSERT_EQ(t.recorder.Seen("link"), Strings{"link:t"});
    EXPECT_EQ(t.recorder.all.back().wParam, 1u);

    t.window.MoveTo(inside);
    ZembraUI::UIMessage cursor;
    cursor.kind = ZembraUI::UIMessageKind::SetCursor;
    t.window.Send(cursor);
    EXPECT_EQ(t.window.Host().Cursor(), ZembraUI::CursorShape::Hand);
}

}  // namespace

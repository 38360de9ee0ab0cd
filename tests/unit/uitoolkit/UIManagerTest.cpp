// The manager's routing, focus, notifications, timers and resources.
#include <gtest/gtest.h>

#include "uitoolkit/controls/ButtonUI.h"
#include "uitoolkit/controls/ContainerUI.h"
#include "unit/uitoolkit/UiTestSupport.h"

namespace {

using UiTests::TestWindow;
using ZembraUI::CControlUI;
using ZembraUI::CUIManager;
using Strings = std::vector<std::string>;

constexpr const char* kThreeButtons = R"(<Window><HorizontalLayout>
    <Button name="b1" width="40" /><Label name="l" width="40" /><Button name="b2" width="40" />
    <Button name="b3" width="40" /><Control />
</HorizontalLayout></Window>)";

// A control that records the events it receives.
class EventLog : public CControlUI {
public:
    void OnEvent(ZembraUI::ControlEvent& event) override {
        log->push_back(Name() + ":" + std::to_string(event.kind));
        CControlUI::OnEvent(event);
    }
    std::vector<std::string>* log = nullptr;
};

TEST(UIManagerTest, FirstPaintLaysOutAnnouncesTheTreeOnceAndFocusesTheFirstTabStop) {
    TestWindow t(kThreeButtons);
    EXPECT_EQ(t.recorder.Seen(), (Strings{"windowinit:", "setfocus:b1"}));
    t["b2"]->PutVisible(false);
    t.window.Resize({300, 100});
    t.window.Pump();
    EXPECT_EQ(t.recorder.Seen("windowinit").size(), 1u);
    EXPECT_EQ(t.Pos("b3").left, 80);
}

TEST(UIManagerTest, TabWrapsAroundBothWays) {
    TestWindow t(kThreeButtons);
    CUIManager& manager = t.window.Manager();
    t.window.PressKey(ZembraUI::KeyCode::kTab);
    EXPECT_EQ(manager.FocusedControl(), t["b2"]);
    t.window.PressKey(ZembraUI::KeyCode::kTab);
    t.window.PressKey(ZembraUI::KeyCode::kTab);
    EXPECT_EQ(manager.FocusedControl(), t["b1"]);
    t.window.PressKey(ZembraUI::KeyCode::kTab, ZembraUI::KeyState::kShift);
    EXPECT_EQ(manager.FocusedControl(), t["b3"]);
    // A disabled control is skipped and refuses the focus.
    t["b2"]->PutEnabled(false);
    t.window.PressKey(ZembraUI::KeyCode::kTab, ZembraUI::KeyState::kShift);
    EXPECT_EQ(manager.FocusedControl(), t["b1"]);
    manager.MoveFocus(t["b2"]);
    EXPECT_EQ(manager.FocusedControl(), nullptr);
}

TEST(UIManagerTest, TheFirstControlOfANameWins) {
    TestWindow t(R"(<Window><VerticalLayout>
        <Label name="twin" text="first" /><Label name="twin" text="second" /><Label name="Other" />
    </VerticalLayout></Window>)");
    CUIManager& manager = t.window.Manager();
    EXPECT_EQ(manager.ControlByName("twin")->Text(), "first");
    EXPECT_EQ(manager.ControlByName("other"), nullptr);
    EXPECT_EQ(manager.ControlByNameUnder(nullptr, "OTHER"), t["Other"]);
    // Forgetting the first hands the name to nobody, not to the second.
    manager.ForgetControl(manager.ControlByName("twin"));
    EXPECT_EQ(manager.ControlByName("twin"), nullptr);
}

TEST(UIManagerTest, PointerLeavesTheOldControlBeforeEnteringTheNewAndStaysCaptured) {
    std::vector<std::string> log;
    TestWindow t(R"(<Window><HorizontalLayout name="row" /></Window>)");
    auto* row = static_cast<ZembraUI::CContainerUI*>(t["row"]);
    for (const char* name : {"a", "b"}) {
        auto* control = new EventLog;
        control->PutName(name);
        control->PutWidth(50);
        control->log = &log;
        row->Add(control);
    }
    t.window.Pump();
    t.window.MoveTo({10, 10});
    t.window.MoveTo({60, 10});
    EXPECT_EQ(log, (Strings{"a:11", "a:9", "a:10", "b:11", "b:9"}));

    log.clear();
    t.window.Press({60, 10});
    t.window.MoveTo({190, 90});
    t.window.Release({190, 90});
    // The pressed control gets the moves outside it, then the release.
    EXPECT_EQ(log, (Strings{"b:9", "b:21", "b:13", "b:10", "b:9", "b:14"}));
    EXPECT_FALSE(t.window.Host().Captured());
}

TEST(UIManagerTest, RestingOnAControlShowsItsTooltip) {
    TestWindow t(R"(<Window><HorizontalLayout>
        <Control name="tipped" width="50" tooltip="Hello" /><Control name="plain" width="50" /><Control />
    </HorizontalLayout></Window>)");
    ZembraUI::UIMessage hover;
    hover.kind = ZembraUI::UIMessageKind::MouseHover;
    hover.point = {60, 10};
    t.window.MoveTo(hover.point);
    t.window.Send(hover);
    EXPECT_EQ(t.window.Host().TooltipText(), "");
    hover.point = {10, 10};
    t.window.MoveTo(hover.point);
    t.window.Send(hover);
    EXPECT_EQ(t.window.Host().TooltipText(), "Hello");
    EXPECT_EQ(t.window.Host().TooltipWidth(), 300);
    t.window.MoveTo({60, 10});
    EXPECT_EQ(t.window.Host().TooltipText(), "");
}

TEST(UIManagerTest, QueuedNotificationsWaitForTheNextMessage) {
    TestWindow t(kThreeButtons);
    CUIManager& manager = t.window.Manager();
    t.recorder.all.clear();
    Strings order;
    t["b1"]->AddNotifyDelegate([&](ZembraUI::tagTNotifyUI& n) {
        order.push_back("delegate:" + n.type);
        return false;
    });
    manager.SendNotification(t["b1"], "later", 7, 0, true);
    EXPECT_TRUE(t.recorder.all.empty());
    t.window.MoveTo({150, 50});
    ASSERT_EQ(t.recorder.Seen("later"), Strings{"later:b1"});
    EXPECT_EQ(t.recorder.all.front().wParam, 7u);
    EXPECT_EQ(order, Strings{"delegate:later"});

    // A queued notification whose sender is gone is dropped.
    manager.SendNotification(t["b2"], "orphan", 0, 0, true);
    static_cast<ZembraUI::CContainerUI*>(t["b2"]->Parent())->Remove(t["b2"]);
    t.window.Pump();
    t.window.MoveTo({150, 60});
    EXPECT_TRUE(t.recorder.Seen("orphan").empty());
    EXPECT_EQ(manager.ControlByName("b2"), nullptr);
}

TEST(UIManagerTest, TimersKeepTheirNativeIdAndWrapBelowTheCaretId) {
    TestWindow t(kThreeButtons);
    CUIManager& manager = t.window.Manager();
    CControlUI* button = t["b1"];
    ASSERT_TRUE(manager.StartTimer(button, 5, 100));
    EXPECT_FALSE(manager.StartTimer(button, 5, 10));
    EXPECT_EQ(manager.Timers().Records().front().nativeId, 17u);
    t.window.Host().AdvanceClock(250);
    ASSERT_EQ(t.recorder.Seen("timer").size(), 2u);
    EXPECT_EQ(t.recorder.all.back().wParam, 5u);

    EXPECT_TRUE(manager.StopTimer(button, 5));
    EXPECT_FALSE(manager.StopTimer(button, 5));
    EXPECT_FALSE(t.window.Host().TimerRunning(17));
    EXPECT_TRUE(manager.StartTimer(button, 5, 100));
    EXPECT_TRUE(t.window.Host().TimerRunning(17));

    // Ids count on from 17 modulo 240: the 224th timer (here the one of id
    // 224, since id 5 came first) gets 0, and no id reaches 241.
    for (unsigned id = 1; id < 240; ++id) {
        if (id != 5) manager.StartTimer(t["b2"], id, 1000);
    }
    for (const ZembraUI::ControlTimer& timer : manager.Timers().Records()) {
        ASSERT_LT(timer.nativeId, 240u);
        if (timer.id == 224) {
            EXPECT_EQ(timer.nativeId, 0u);
        }
    }
    manager.StopTimers(t["b2"]);
    EXPECT_EQ(manager.Timers().Records().size(), 1u);
}

TEST(UIManagerTest, ResourcesComeFromParentManagersAndRefuseBadInput) {
    CUIManager owner;
    CUIManager dropDown;
    owner.AddDefaultAttributeList("Button", "height=\"20\"");
    owner.AddFontEntry("Noto Sans", 14, true, false, false);
    ASSERT_TRUE(dropDown.SetParentManager(&owner));
    EXPECT_FALSE(owner.SetParentManager(&dropDown));
    EXPECT_EQ(dropDown.DefaultAttributeList("Button"), "height=\"20\"");
    EXPECT_EQ(dropDown.FontAt(0).size, 14);
    EXPECT_EQ(owner.FontAt(5), owner.DefaultFont());
    EXPECT_EQ(owner.AddFontEntry("Huge", 100000, false, false, false), nullptr);

    ZembraUI::LoadedImage picture;
    picture.width = 2;
    picture.height = 1;
    picture.pixels = {0xFFFF0000, 0xFF00FF00};
    EXPECT_NE(owner.AddBitmapImage("drawn", picture), nullptr);
    EXPECT_EQ(owner.AddBitmapImage("drawn", picture), nullptr);
    picture.height = 0;
    EXPECT_EQ(owner.AddBitmapImage("flat", picture), nullptr);
    EXPECT_EQ(dropDown.ImageByName("drawn")->pixels[1], 0xFF00FF00u);
    EXPECT_EQ(owner.ImageByName("no such picture.png"), nullptr);
}

}  // namespace

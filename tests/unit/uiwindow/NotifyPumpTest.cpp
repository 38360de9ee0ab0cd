#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uitoolkit/controls/ButtonUI.h"
#include "uitoolkit/window/NotifyPump.h"

namespace {

using ZembraUI::CButtonUI;
using ZembraUI::CNotifyPump;
using ZembraUI::NotifyMapEntry;
using ZembraUI::TNotifyUI;

// A pump with a base level and a derived level, recording which entry ran.
class Pump : public CNotifyPump {
public:
    explicit Pump(const std::string& tag) {
        AddNotifyMap({Entry("click", "", tag + ":base-any"), Entry("textchanged", "", tag + ":base-text")});
        AddNotifyMap({Entry("click", "ok", tag + ":ok"), Entry("click", "", tag + ":any")});
    }
    std::vector<std::string> calls;

private:
    NotifyMapEntry Entry(const std::string& type, const std::string& control, const std::string& label) {
        return NotifyMapEntry(type, control, NotifyMapEntry::ValueHandler([this, label](std::uintptr_t, std::intptr_t) {
                                  calls.push_back(label);
                              }));
    }
};

TNotifyUI Notification(const std::string& type, CButtonUI& sender, const std::string& virtualWindow = {}) {
    TNotifyUI notification;
    notification.type = type;
    notification.sender = &sender;
    notification.virtualWindow = virtualWindow;
    return notification;
}

TEST(NotifyPumpTest, NamedEntriesWinOverUnnamedAndDerivedLevelsOverTheBase) {
    Pump pump("w");
    CButtonUI ok;
    ok.PutName("ok");
    CButtonUI other;
    other.PutName("other");

    auto click = Notification("click", ok);
    EXPECT_TRUE(pump.NotifyPump(click));
    click = Notification("click", other);
    EXPECT_TRUE(pump.NotifyPump(click));
    auto text = Notification("textchanged", other);
    EXPECT_TRUE(pump.NotifyPump(text));
    auto unknown = Notification("itemselect", ok);
    EXPECT_FALSE(pump.NotifyPump(unknown));
    EXPECT_EQ(pump.calls, (std::vector<std::string>{"w:ok", "w:any", "w:base-text"}));
}

TEST(NotifyPumpTest, VirtualWindowsTakeTheirNotificationsByCaseInsensitiveName) {
    Pump window("w");
    Pump page("page");
    EXPECT_TRUE(window.AddVirtualWnd("Page", &page));
    EXPECT_FALSE(window.AddVirtualWnd("PAGE", &page));  // one pump per name
    EXPECT_FALSE(window.AddVirtualWnd("self", &window));
    CButtonUI ok;
    ok.PutName("ok");

    auto inPage = Notification("click", ok, "page");
    EXPECT_TRUE(window.NotifyPump(inPage));
    auto elsewhere = Notification("click", ok, "nowhere");
    EXPECT_TRUE(window.NotifyPump(elsewhere));
    EXPECT_EQ(page.calls, std::vector<std::string>{"page:ok"});
    EXPECT_EQ(window.calls, std::vector<std::string>{"w:ok"});

    EXPECT_TRUE(window.RemoveVirtualWnd("PAGE"));
    auto afterRemoval = Notification("click", ok, "page");
    EXPECT_TRUE(window.NotifyPump(afterRemoval));
    EXPECT_EQ(page.calls.size(), 1u);
}

}  // namespace

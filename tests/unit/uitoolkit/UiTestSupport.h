#pragma once
// What the control and manager tests share: a headless window built from
// inline markup and a listener that records notifications.
#include <string>
#include <string_view>
#include <vector>

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/headless/HeadlessWindow.h"
#include "uitoolkit/manager/NotifyUI.h"

namespace UiTests {

struct Recorded {
    std::string type;
    std::string sender;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class Recorder : public ZembraUI::INotifyUI {
public:
    void Notify(ZembraUI::tagTNotifyUI& notification) override;
    // "type:sender" of every notification, in order, optionally of one type.
    std::vector<std::string> Seen(std::string_view type = {}) const;
    std::vector<Recorded> all;
};

// A headless window of the given size showing the markup, laid out and
// painted once, with a recorder listening.
struct TestWindow {
    explicit TestWindow(std::string_view markup, ZembraUI::UISize size = {200, 100});
    ZembraUI::CControlUI* operator[](const std::string& name);
    ZembraUI::UIRect Pos(const std::string& name);

    ZembraUI::CHeadlessWindow window;
    Recorder recorder;
};

}  // namespace UiTests

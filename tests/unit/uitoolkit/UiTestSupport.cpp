#include "unit/uitoolkit/UiTestSupport.h"

#include <gtest/gtest.h>

namespace UiTests {

void Recorder::Notify(ZembraUI::tagTNotifyUI& notification) {
    all.push_back({notification.type, notification.sender != nullptr ? notification.sender->Name() : "",
                   notification.wParam, notification.lParam});
}

std::vector<std::string> Recorder::Seen(std::string_view type) const {
    std::vector<std::string> seen;
    for (const Recorded& entry : all) {
        if (type.empty() || entry.type == type) seen.push_back(entry.type + ":" + entry.sender);
    }
    return seen;
}

TestWindow::TestWindow(std::string_view markup, ZembraUI::UISize size) {
    window.Resize(size);
    EXPECT_TRUE(window.LoadMarkup(markup)) << window.LastError();
    window.Manager().AddListener(&recorder);
    window.Pump();
}

ZembraUI::CControlUI* TestWindow::operator[](const std::string& name) {
    ZembraUI::CControlUI* control = window.Manager().ControlByName(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

ZembraUI::UIRect TestWindow::Pos(const std::string& name) {
    ZembraUI::CControlUI* control = (*this)[name];
    return control != nullptr ? control->Pos() : ZembraUI::UIRect{};
}

}  // namespace UiTests

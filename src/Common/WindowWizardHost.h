#pragma once
// The wizard host with a display: makes the UI thread's message loop, the
// wizard window InstallUIMainWnd, and runs the loop until the window posts
// quit. The window object stays until the host goes (and for good when a
// thread of it was still running at exit).
#include <atomic>
#include <memory>

#include "Common/wWndMain.h"

namespace ZembraUI {
class CMessageLoop;
}
class InstallUIMainWnd;

class WindowWizardHost : public startup::IWizardHost {
public:
    WindowWizardHost();
    ~WindowWizardHost() override;

    bool RunWizard(const std::string& windowClassName) override;
    void ShowExistingWizard() override;
    void WaitForAllThreadExit() override;
    void ShowNotSupportSystemBox() override;

    // True when the program should show its wizard in a window: a display is
    // named and the settings do not ask for a run without one.
    static bool WindowWanted();

private:
    bool StartLoop();

    std::unique_ptr<ZembraUI::CMessageLoop> loop_;
    std::unique_ptr<InstallUIMainWnd> window_;
    std::atomic<InstallUIMainWnd*> shown_{nullptr};
    bool resendDue_ = false;
};

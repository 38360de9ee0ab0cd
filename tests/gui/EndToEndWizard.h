#pragma once
// The installer program as a user meets it: started in a sandbox on a
// private X server, its wizard window found and clicked with xdotool,
// photographed, and its log read. Control positions come from the skin's
// own layout, laid out as the window shows each page.
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/GuiDisplay.h"
#include "support/InstallerSandbox.h"
#include "uitoolkit/Geometry.h"

namespace testsupport {

// Where the wizard shows a control.
struct WizardPage {
    int mainTab = 0;  // 0 setting page, 1 running page
    int subPage = 0;  // of the setting page: 0 install, 1 finish or failure
    bool failure = false;  // the failure texts are shown
};

// The rectangle of a named control of InstallMainWnd.xml in window
// coordinates, with the window 650 x 360 on page; nullopt when the skin
// has no such control.
std::optional<ZembraUI::UIRect> WizardControlRect(const std::string& name, WizardPage page = {});
// The same for a control of MessageBox.xml at its own size.
std::optional<ZembraUI::UIRect> MessageBoxControlRect(const std::string& name);

// Percentage the progress bar shows in a screenshot of the running page
// whose window starts at origin: the share of the bar's track drawn in its
// fill colour.
int ProgressShown(const ZembraUI::LoadedImage& screen, ZembraUI::UIPoint origin);

class WizardProcess {
public:
    // Starts build/bin/ZembraMorvantaSetup with args on the display DISPLAY
    // names, its standard output kept in the sandbox.
    WizardProcess(const InstallerSandbox& sandbox, const std::vector<std::string>& args = {});
    // Ends the program (and leaves no zombie) when it still runs.
    ~WizardProcess();
    WizardProcess(const WizardProcess&) = delete;
    WizardProcess& operator=(const WizardProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // The exit code once it ended (within timeoutMs); nullopt while it runs.
    std::optional<int> WaitForExit(int timeoutMs);
    std::string Output() const;

    // The visible top-level window titled "Zembra Morvanta"; "" when none
    // showed within timeoutMs.
    std::string WaitForWindow(int timeoutMs = 30000);
    // True while a visible window of that title exists.
    bool WindowVisible() const;
    // Top-left corner of the window on the screen.
    std::optional<ZembraUI::UIPoint> WindowOrigin() const;
    // Moves the pointer onto the control's centre and clicks it.
    bool Click(const std::string& control, WizardPage page = {}) const;
    // Closes the window as the desktop does (the window manager's Alt+F4).
    bool CloseFromDesktop() const;
    // Answers the message box the wizard shows with its close button (the
    // answer 2); false when no box showed within timeoutMs or it stayed.
    bool DismissMessageBox(int timeoutMs = 30000) const;

    // This run's log (the first log the run created); "" before it exists.
    std::string Log() const;
    // Waits until the log holds text; false after timeoutMs.
    bool WaitForLog(const std::string& text, int timeoutMs = 60000) const;

private:
    const InstallerSandbox& sandbox_;
    std::vector<std::string> logsBefore_;
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
    mutable std::string window_;
    std::string outputPath_;
};

// Visible windows whose title matches the pattern title; their X ids.
std::vector<std::string> FindWindows(const std::string& title);
// The first such window to show within timeoutMs; "" when none did.
std::string WaitForWindowTitled(const std::string& title, int timeoutMs);

// Polls done every 50 ms until it holds; false after timeoutMs. For
// conditions only another process can change.
bool Eventually(const std::function<bool()>& done, int timeoutMs);

}  // namespace testsupport

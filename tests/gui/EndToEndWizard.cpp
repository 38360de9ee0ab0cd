#include "gui/EndToEndWizard.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/EmbeddedResources.h"
#include "platform/Process.h"
#include "support/TempDir.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/headless/HeadlessWindow.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace testsupport {
namespace {

constexpr const char* kWizardTitle = "^Zembra Morvanta$";
constexpr ZembraUI::UISize kCompactWizard{650, 360};
constexpr int kXdotoolTimeoutMs = 30000;

std::optional<std::string> Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    const platform::CapturedRun run = platform::RunForOutput(argv, kXdotoolTimeoutMs);
    if (!run.exited || run.exitCode != 0) return std::nullopt;
    return run.output;
}

bool SelectTab(ZembraUI::CHeadlessWindow& window, const char* name, int index) {
    auto* tab = window.Find<ZembraUI::CTabLayoutUI>(name);
    return tab != nullptr && tab->SelectItem(index);
}

std::vector<std::string> RunLogs(const InstallerSandbox& sandbox) {
    std::vector<std::string> logs;
    for (const auto& path : sandbox.LogFiles())
        if (path.find("/QKDownloader/logs/") != std::string::npos && path.find("_Setup_") == std::string::npos)
            logs.push_back(path);
    std::sort(logs.begin(), logs.end());
    return logs;
}

bool NearColour(std::uint32_t pixel, std::uint32_t colour) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int((pixel >> shift) & 0xFF);
        const int b = int((colour >> shift) & 0xFF);
        if (std::abs(a - b) > 24) return false;
    }
    return true;
}

// Moves the pointer onto the centre of rect in window and clicks.
bool ClickCentre(const std::string& window, const std::optional<ZembraUI::UIRect>& rect) {
    if (!rect) return false;
    const int x = (rect->left + rect->right) / 2;
    const int y = (rect->top + rect->bottom) / 2;
    return Xdotool({"mousemove", "--sync", "--window", window, std::to_string(x), std::to_string(y), "click", "1"})
        .has_value();
}

bool OpenEmbeddedSkin() {
    static const bool open = [] {
        const auto archive = platform::EmbeddedSkinArchive();
        return !archive.empty() && ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size());
    }();
    return open;
}

std::optional<ZembraUI::UIRect> LaidOutRect(ZembraUI::CHeadlessWindow& window, const std::string& name) {
    window.Pump();
    const ZembraUI::CControlUI* control = window.Manager().ControlByName(name);
    if (control == nullptr) return std::nullopt;
    return control->Pos();
}

}  // namespace

std::optional<ZembraUI::UIRect> WizardControlRect(const std::string& name, WizardPage page) {
    ZembraUI::CHeadlessWindow window;
    if (!OpenEmbeddedSkin() || !window.Load("InstallMainWnd.xml")) return std::nullopt;
    if (!SelectTab(window, "main_tablayout", page.mainTab) || !SelectTab(window, "page_layout", page.subPage))
        return std::nullopt;
    for (const char* name : {"text_fail_retry", "text_fail_advice", "img_warning"})
        if (auto* control = window.Manager().ControlByName(name)) control->PutVisible(page.failure);
    window.Resize(kCompactWizard);
    return LaidOutRect(window, name);
}

std::optional<ZembraUI::UIRect> MessageBoxControlRect(const std::string& name) {
    ZembraUI::CHeadlessWindow window;
    if (!OpenEmbeddedSkin() || !window.Load("MessageBox.xml")) return std::nullopt;
    return LaidOutRect(window, name);
}

int ProgressShown(const ZembraUI::LoadedImage& screen, ZembraUI::UIPoint origin) {
    static const auto bar = WizardControlRect("install_progress", {1, 0});
    if (!bar || bar->IsEmpty()) return -1;
    constexpr std::uint32_t kFill = 0x2563EB;
    const int y = origin.y + (bar->top + bar->bottom) / 2;
    int filled = 0;
    for (int x = bar->left; x < bar->right; ++x)
        filled += NearColour(PixelOf(screen, origin.x + x, y), kFill) ? 1 : 0;
    return filled * 100 / bar->Width();
}

WizardProcess::WizardProcess(const InstallerSandbox& sandbox, const std::vector<std::string>& args)
    : sandbox_(sandbox), logsBefore_(RunLogs(sandbox)) {
    outputPath_ = sandbox.root().str() + "/wizard-" + std::to_string(logsBefore_.size()) + ".out";
    // A shell only redirects standard output; the arguments pass through "$@" untouched.
    std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" > \"$ZEMBRA_TEST_STDOUT\" 2>&1",
                                  InstallerSandbox::InstallerPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::SpawnOptions options;
    options.extraEnvironment = sandbox.Environment();
    options.extraEnvironment.push_back("ZEMBRA_TEST_STDOUT=" + outputPath_);
    pid_ = platform::SpawnProcess(argv, options);
}

WizardProcess::~WizardProcess() {
    if (pid_ <= 0) return;
    if (!platform::WaitForProcess(pid_, 0).exited) {
        platform::TerminateProcess(pid_);
        platform::WaitForProcess(pid_, -1);
    }
}

std::optional<int> WizardProcess::WaitForExit(int timeoutMs) {
    if (pid_ <= 0) return exitCode_;
    const platform::WaitResult result = platform::WaitForProcess(pid_, timeoutMs);
    if (!result.exited) return std::nullopt;
    pid_ = -1;
    exitCode_ = result.exitCode;
    return exitCode_;
}

std::string WizardProcess::Output() const { return ReadFile(outputPath_); }

std::vector<std::string> FindWindows(const std::string& title) {
    const auto found = Xdotool({"search", "--onlyvisible", "--name", title});
    std::vector<std::string> windows;
    std::istringstream lines(found.value_or(""));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) windows.push_back(line);
    return windows;
}

std::string WaitForWindowTitled(const std::string& title, int timeoutMs) {
    std::string found;
    Eventually(
        [&] {
            const auto windows = FindWindows(title);
            found = windows.empty() ? "" : windows.front();
            return !found.empty();
        },
        timeoutMs);
    return found;
}

std::string WizardProcess::WaitForWindow(int timeoutMs) {
    window_ = WaitForWindowTitled(kWizardTitle, timeoutMs);
    return window_;
}

bool WizardProcess::WindowVisible() const { return !FindWindows(kWizardTitle).empty(); }

std::optional<ZembraUI::UIPoint> WizardProcess::WindowOrigin() const {
    if (window_.empty()) return std::nullopt;
    const auto geometry = Xdotool({"getwindowgeometry", window_});
    std::smatch match;
    static const std::regex position(R"(Position: (-?\d+),(-?\d+))");
    if (!geometry || !std::regex_search(*geometry, match, position)) return std::nullopt;
    return ZembraUI::UIPoint{std::stoi(match[1]), std::stoi(match[2])};
}

bool WizardProcess::Click(const std::string& control, WizardPage page) const {
    return !window_.empty() && ClickCentre(window_, WizardControlRect(control, page));
}

bool WizardProcess::DismissMessageBox(int timeoutMs) const {
    const std::string box = WaitForWindowTitled("^MSGUIDemo$", timeoutMs);
    if (box.empty()) return false;
    // A click that comes before the box takes input is lost: click until it goes.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!ClickCentre(box, MessageBoxControlRect("closebtn"))) return false;
        if (Eventually([] { return FindWindows("^MSGUIDemo$").empty(); }, 1000)) return true;
    }
    return false;
}

bool WizardProcess::CloseFromDesktop() const {
    if (window_.empty()) return false;
    return Xdotool({"windowactivate", "--sync", window_, "key", "--clearmodifiers", "alt+F4"}).has_value();
}

std::string WizardProcess::Log() const {
    for (const auto& path : RunLogs(sandbox_))
        if (std::find(logsBefore_.begin(), logsBefore_.end(), path) == logsBefore_.end()) return ReadFile(path);
    return "";
}

bool WizardProcess::WaitForLog(const std::string& text, int timeoutMs) const {
    return Eventually([&] { return Log().find(text) != std::string::npos; }, timeoutMs);
}

bool Eventually(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace testsupport

#pragma once
// The launch splash: a small transparent window that plays a waiting
// animation while a thread of its own starts the installed product. It
// closes once the product's window shows, or when the configured time has
// passed since the start, or at once when the product could not be started.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "EnumLanguage.h"
#include "uitoolkit/window/WindowImplBase.h"

class CAlientWnd : public ZembraUI::WindowImplBase {
public:
    static constexpr unsigned kFrameTimer = 1000;
    static constexpr unsigned kFrameIntervalMs = 50;
    static constexpr int kWaitingFrames = 21;
    // Close codes: the product was started, or it could not be.
    static constexpr int kProductStarted = 1;
    static constexpr int kProductNotStarted = 0;
    static constexpr int kClosedByUser = 2;

    // How the splash tells the user that the product did not start (a plain
    // system message box); tests replace it.
    using FailureNotice = void (*)(const std::string& text);
    static void SetFailureNotice(FailureNotice notice);

    CAlientWnd(int adminFlag, std::string exePath, std::string version, std::string productName, int gifDuration,
               EnumLanguage language);
    ~CAlientWnd() override;
    // Runs the splash modally until the product started (and gifDuration seconds passed) or failed; answers the close code.
    int ShowModal();

    // The version the splash names: its first three dot-separated parts.
    static std::string ShortVersion(const std::string& version);
    // The waiting frame shown at the counter's value.
    static std::string WaitingFrameName(unsigned counter);
    const std::string& ShownFrame() const { return shownFrame_; }
    int FramesShown() const { return framesShown_; }
    // The product's window appeared before the time was up.
    bool EndedByProductWindow() const { return endedByWindow_; }

    std::string WindowClassName() const override { return "CALIENTWND_UI_Frame"; }
    unsigned ClassStyle() const override { return 0x80B; }
    std::string SkinFolder() const override { return "skin/"; }
    std::string SkinFile() const override { return "transWnd.xml"; }
    ZembraUI::SkinResourceKind ResourceKind() const override { return ZembraUI::SkinResourceKind::ZipResource; }
    void InitWindow() override;
    void OnClick(ZembraUI::TNotifyUI& notification) override;
    Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) override;

private:
    void StartProduct();
    bool StartOrReport();
    // Waits up to gifDuration seconds for the product's window; true when it showed.
    bool WaitForProductWindow();
    void ShowNextWaitingFrame();
    void StopStartThread();

    int adminFlag_;
    std::string exePath_;
    std::string version_;
    std::string productName_;
    int gifDuration_;
    EnumLanguage language_;
    std::string versionText_;
    ZembraUI::CControlUI* foreImage_ = nullptr;
    std::string shownFrame_;
    int framesShown_ = 0;
    std::atomic<bool> endedByWindow_{false};

    std::mutex lock_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::thread startThread_;
};

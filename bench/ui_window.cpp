// What the installer's windows cost, each part in a fresh process of its own:
//  - the wizard (InstallMainWnd.xml from the embedded skin, its pages set up
//    and texted in English): process start to its first frame on screen, the
//    resident memory then, and the time to switch the language (re-text and
//    repaint) English -> Arabic -> Hindi -> Japanese -> Russian, the first
//    round (fonts of each script loaded on the way) and the median of later ones;
//  - a toolkit window without controls: process start to the first frame,
//    resident memory, CPU while idle for 10 s, and the time from a worker's
//    post to the repaint it causes.
// Needs an X display:  xvfb-run -a build/bin/ui_window   (--wizard or --window: one part)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "Common/install_ui_mainwnd/IWizardWindow.h"
#include "Common/install_ui_mainwnd/InstallWizardPages.h"
#include "EnumLanguage.h"
#include "platform/EmbeddedResources.h"
#include "platform/Process.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/window/HostWindow.h"
#include "uitoolkit/window/MessageLoop.h"
#include "uitoolkit/window/WindowImplBase.h"

namespace {

using namespace ZembraUI;
using Clock = std::chrono::steady_clock;

constexpr unsigned kProgress = 0xB7F;
constexpr int kWidth = 650;
constexpr int kHeight = 560;
constexpr int kIdleSeconds = 10;

std::int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

// Milliseconds since this process started (the kernel's start time has 10 ms steps).
double MsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;  // field 22: start time in clock ticks after boot
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double nowMs = boot.tv_sec * 1000.0 + boot.tv_nsec / 1e6;
    return nowMs - std::stod(field) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

long RssKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A wizard-sized window: a gradient, a panel and a progress bar that a
// worker moves by posting.
class BenchWindow : public CHostWindow {
public:
    int frames = 0;
    int progress = 0;
    std::int64_t postedAtNs = 0;
    std::vector<double> latenciesMs;

protected:
    std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message != kProgress) return 0;
        progress = int(wParam);
        postedAtNs = lParam;
        Invalidate(kBar);
        return 0;
    }
    void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) override {
        for (const UIRect& area : areas) {
            cairo_t* cr = surface.BeginPaint(area);
            CDrawEngine::DrawGradient(cr, {0, 0, kWidth, kHeight}, 0xFF2B5797, 0xFFF0F4FA, true, 16);
            CDrawEngine::DrawColor(cr, {40, 80, kWidth - 40, kHeight - 80}, 0xE0FFFFFF);
            CDrawEngine::DrawRoundRect(cr, {40, 80, kWidth - 40, kHeight - 80}, 1, 8, 8, 0xFFC6C7D2);
            CDrawEngine::DrawColor(cr, kBar, 0xFFDDDDDD);
            CDrawEngine::DrawColor(cr, {kBar.left, kBar.top, kBar.left + kBar.Width() * progress / 100, kBar.bottom},
                                   0xFF2B8A3E);
            cairo_destroy(cr);
        }
        ++frames;
        if (postedAtNs != 0) {
            latenciesMs.push_back((NowNs() - postedAtNs) / 1e6);
            postedAtNs = 0;
        }
    }

private:
    static constexpr UIRect kBar{60, 440, kWidth - 60, 452};
};

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

// The wizard's window as the installer builds it: its pages set up and
// texted, notifications handed to the pages.
class WizardWindow : public WindowImplBase, public IWizardWindow, public IFlowAnalytics {
public:
    int frames = 0;
    InstallWizardPages pages{PaintManager(), *this, *this};

    std::string WindowClassName() const override { return "BenchWizardWnd"; }
    std::string SkinFolder() const override { return {}; }
    std::string SkinFile() const override { return "InstallMainWnd.xml"; }
    SkinResourceKind ResourceKind() const override { return SkinResourceKind::ZipResource; }
    void InitWindow() override {
        pages.PrepareStartPage({.siteId = 412, .installRoot = "/opt/Zembra Morvanta", .softwareVersion = "3.1.0"});
        pages.InitLanguage(English);
    }
    void Notify(TNotifyUI& notification) override {
        pages.Notify(notification);
        WindowImplBase::Notify(notification);
    }

    void ResizeWindow(int width, int height) override { Resize(width, height); }
    void ShowTaskbarProgress(int) override {}
    void Event(const std::string&, const std::string&, const std::string&, bool) override {}
    void Funnel(int, const std::string&, const std::string&, const std::string&, const std::string&,
                const std::string&, bool) override {}
    void FunnelParam(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    void FunnelMap(const std::string&, const std::string&, const std::map<std::string, std::string>&) override {}
    void SetLanguageInfo(EnumLanguage, const std::string&) override {}

protected:
    void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) override {
        WindowImplBase::OnPaint(surface, areas);
        if (!PaintManager().NeedsUpdate()) ++frames;
    }
};

// Chooses language in the list (the window re-texts itself through the
// list's notification) and runs the loop until the change is on screen.
double SwitchLanguageMs(CMessageLoop& loop, WizardWindow& window, EnumLanguage language) {
    const std::int64_t startNs = NowNs();
    const int framesBefore = window.frames;
    window.pages.SelectLanguageItem(language);
    loop.RunUntil([&] { return window.frames > framesBefore; });
    return (NowNs() - startNs) / 1e6;
}

int MeasureWizard() {
    // Loading the shared libraries (SDL, pango, curl and theirs) comes before main.
    const double mainMs = MsSinceProcessStart();
    const double mainCpuMs = CpuSeconds() * 1000.0;
    CMessageLoop loop;
    if (!loop.Start()) return 1;
    const auto archive = platform::EmbeddedSkinArchive();
    if (archive.empty() || !CSkinArchive::OpenFromMemory(archive.data(), archive.size())) return 1;
    WizardWindow window;
    if (!window.CreateHostWindow(nullptr, "Zembra Morvanta", 0, 0, 0, 0, 600, 400)) return 1;
    window.CenterWindowOnOwner();
    window.ShowHostWindow(true, true);
    loop.RunUntil([&] { return window.frames > 0; });
    std::printf("wizard first frame         %7.1f ms after process start (target 150), %.1f ms of CPU\n",
                MsSinceProcessStart(), CpuSeconds() * 1000.0);
    std::printf("  of which before main     %7.1f ms, %.1f ms of CPU\n", mainMs, mainCpuMs);
    std::printf("resident memory with it    %7.1f MiB (target 50)\n", RssKiB() / 1024.0);

    constexpr EnumLanguage kRound[] = {Arabic, Hindi, Japanese, Russian, English};
    constexpr int kRounds = 6;
    std::vector<std::vector<double>> switches(std::size(kRound));
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t step = 0; step < std::size(kRound); ++step) {
            switches[step].push_back(SwitchLanguageMs(loop, window, kRound[step]));
        }
    }
    EnumLanguage from = English;
    for (std::size_t step = 0; step < std::size(kRound); ++step) {
        const std::vector<double> later(switches[step].begin() + 1, switches[step].end());
        std::printf("switch %-8s -> %-8s %7.1f ms first, %.1f ms median later (target 50)\n", EnglishNameOf(from),
                    EnglishNameOf(kRound[step]), switches[step].front(), Percentile(later, 0.5));
        from = kRound[step];
    }
    std::printf("resident memory after      %7.1f MiB\n", RssKiB() / 1024.0);
    window.Destroy();
    return 0;
}

int MeasureBareWindow() {
    CMessageLoop loop;
    if (!loop.Start()) {
        std::fprintf(stderr, "no display: run under xvfb-run -a\n");
        return 1;
    }
    BenchWindow window;
    HostWindowOptions options;
    options.title = "bench";
    options.width = kWidth;
    options.height = kHeight;
    if (!window.Create(options)) return 1;
    window.SetRoundCorner(8, 8);
    window.Show(true);
    loop.RunUntil([&] { return window.frames > 0; });
    std::printf("first frame on screen      %7.1f ms after process start\n", MsSinceProcessStart());
    std::printf("resident memory            %7.1f MiB\n", RssKiB() / 1024.0);

    std::atomic<int> acknowledged{0};
    std::thread worker([&] {
        for (int i = 1; i <= 100; ++i) {
            window.PostToWindow(kProgress, std::uintptr_t(i), std::intptr_t(NowNs()));
            while (acknowledged.load() < i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    loop.RunUntil([&] {
        acknowledged = int(window.latenciesMs.size());
        return window.latenciesMs.size() >= 100;
    });
    worker.join();
    std::printf("post to repaint            %7.2f ms median, %.2f ms 95th percentile\n",
                Percentile(window.latenciesMs, 0.5), Percentile(window.latenciesMs, 0.95));

    std::thread quitter([] {
        std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
        CMessageLoop::PostQuit(0);
    });
    const double cpuBefore = CpuSeconds();
    loop.Run();
    const double cpu = CpuSeconds() - cpuBefore;
    quitter.join();
    std::printf("CPU while idle             %7.3f %% over %d s\n", cpu * 100.0 / kIdleSeconds, kIdleSeconds);
    return 0;
}

// Runs one part in a fresh process, so its start-up is measured from the process start.
int RunPart(const char* self, const char* part) {
    const pid_t child = platform::SpawnProcess({self, part});
    return child > 0 ? platform::WaitForProcess(child, 120000).exitCode : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string part = argc > 1 ? argv[1] : "";
    if (part == "--wizard" || part == "--window") {
        const int result = part == "--wizard" ? MeasureWizard() : MeasureBareWindow();
        if (result != 0) std::fprintf(stderr, "no display or no skin: run under xvfb-run -a\n");
        return result;
    }
    const std::string self = platform::CurrentExecutablePath();
    const int wizard = RunPart(self.c_str(), "--wizard");
    return RunPart(self.c_str(), "--window") != 0 || wizard != 0 ? 1 : 0;
}

// What a toolkit window costs on its own, before any control: process start
// to the first frame on screen, resident memory then, CPU while idle for
// 10 s, and the time from a worker's post to the repaint it causes.
// Needs an X display:  xvfb-run -a build/bin/ui_window
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/window/HostWindow.h"
#include "uitoolkit/window/MessageLoop.h"

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

}  // namespace

int main() {
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

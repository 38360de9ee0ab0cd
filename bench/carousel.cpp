// What the running page's banner carousel costs: CPU of the process while
// the page is shown with the carousel sliding every 7 s, against the same
// page shown still, and the memory of the pictures it caches (strips,
// frames). Printed, never asserted.
//   xvfb-run -a build/bin/carousel [seconds]
// With --shots DIR it writes instead the running page with a text drawn on
// the first banner in English, Arabic, Hindi and Japanese
// (DIR/banner_<code>.png), headless.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <cairo.h>

#include "Common/install_ui_mainwnd/BannerCarousel.h"
#include "platform/EmbeddedResources.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/headless/HeadlessWindow.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/window/MessageLoop.h"
#include "uitoolkit/window/WindowImplBase.h"

namespace {

using namespace ZembraUI;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long RssKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

double MiB(std::size_t bytes) { return double(bytes) / (1024.0 * 1024.0); }

struct HostTimers : IWindowTimers {
    explicit HostTimers(CHostWindow* window) : window(window) {}
    void SetTimer(int id, unsigned periodMs) override {
        if (window != nullptr) window->SetTimer(unsigned(id), periodMs);
    }
    void KillTimer(int id) override {
        if (window != nullptr) window->KillTimer(unsigned(id));
    }
    CHostWindow* window;
};

// The wizard's layout on its running page with the carousel wired in.
class RunningPageWnd : public WindowImplBase {
public:
    RunningPageWnd() : timers_(this), carousel(PaintManager(), timers_) {}
    std::string WindowClassName() const override { return "CarouselBenchWnd"; }
    std::string SkinFolder() const override { return {}; }
    std::string SkinFile() const override { return "InstallMainWnd.xml"; }
    SkinResourceKind ResourceKind() const override { return SkinResourceKind::ZipResource; }
    void Notify(TNotifyUI& notification) override {
        if (notification.type == "selectchanged") carousel.OnBannerSelect(notification);
        WindowImplBase::Notify(notification);
    }
    Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t, bool& handled) override {
        if (message == WindowMessage::kTimer) handled = carousel.OnTimer(int(wParam));
        return 0;
    }

private:
    HostTimers timers_;

public:
    BannerCarousel carousel;
};

// CPU per second of wall time over seconds of the loop running.
double CpuShare(CMessageLoop& loop, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    // Waits for events no longer than the time left, so a still page ends too.
    for (auto now = wallBefore; now < end; now = std::chrono::steady_clock::now()) {
        loop.PumpOnce(int(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count()) + 1);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    return (CpuSeconds() - cpuBefore) / wall;
}

int MeasureWindow(int seconds) {
    CMessageLoop loop;
    if (!loop.Start()) {
        std::fprintf(stderr, "no display: run under xvfb-run\n");
        return 1;
    }
    RunningPageWnd window;
    if (!window.CreateHostWindow(nullptr, "carousel", 0, 0, 0, 0, 650, 360)) return 1;
    static_cast<CTabLayoutUI*>(window.PaintManager().ControlByName("main_tablayout"))->SelectItem(1);
    window.ShowHostWindow();
    loop.RunUntil([&] { return !window.PaintManager().ControlByName("image_play")->Pos().IsEmpty(); });
    window.carousel.CountBuiltInBanners();

    const double still = CpuShare(loop, seconds);
    const long rssBefore = RssKiB();
    const auto buildStart = std::chrono::steady_clock::now();
    window.carousel.Start(English, 0);
    const double buildMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - buildStart).count();
    const std::size_t stripBytes = window.PaintManager().ImageCacheBytes();
    const double shipped = CpuShare(loop, seconds);
    const std::size_t afterShipped = window.PaintManager().ImageCacheBytes();

    std::printf("carousel, %d s per figure, %d built-in banners\n", seconds, window.carousel.BannerCount());
    std::printf("  strips built in %.1f ms\n", buildMs);
    std::printf("  CPU page still                 %6.2f %% of one core\n", still * 100);
    std::printf("  CPU carousel every 7 s         %6.2f %% of one core  (%.1fx still; target < 3 %%)\n",
                shipped * 100, still > 0 ? shipped / still : 0.0);
    std::printf("  image cache after start        %6.1f MiB (pictures, first frame, strips)\n", MiB(stripBytes));
    std::printf("  image cache after %2d s         %6.1f MiB (plus the frames of the strip in use)\n", seconds,
                MiB(afterShipped));

    std::printf("  resident memory                %6.1f MiB (%.1f MiB before the carousel started)\n",
                RssKiB() / 1024.0, rssBefore / 1024.0);
    window.carousel.Stop();
    return 0;
}

struct NoTimers : IWindowTimers {
    void SetTimer(int, unsigned) override {}
    void KillTimer(int) override {}
};

// The running page with a text drawn on the first banner in each language.
int WriteShots(const std::string& folder) {
    const struct {
        EnumLanguage language;
        const char* text;
    } samples[] = {
        {English, "Fast, safe downloads{n}for every device"},
        {Arabic, "تنزيلات سريعة وآمنة{n}لكل جهاز"},
        {Hindi, "हर डिवाइस के लिए{n}तेज़ और सुरक्षित डाउनलोड"},
        {Japanese, "すべてのデバイスに{n}高速で安全なダウンロード"},
    };
    for (const auto& sample : samples) {
        CHeadlessWindow page;
        if (!page.Load("InstallMainWnd.xml")) return 1;
        page.Manager().ControlByName("anima_text_1")->PutText(sample.text);
        NoTimers timers;
        BannerCarousel carousel(page.Manager(), timers);
        carousel.Start(sample.language, 0);
        static_cast<CTabLayoutUI*>(page.Manager().ControlByName("main_tablayout"))->SelectItem(1);
        page.Pump();
        page.Pump();
        const std::string path = folder + "/banner_" + TextLanguageTagOf(sample.language) + ".png";
        if (!page.Manager().Surface().WritePng(path.c_str())) return 1;
        std::printf("%s\n", path.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto archive = platform::EmbeddedSkinArchive();
    if (!CSkinArchive::OpenFromMemory(archive.data(), archive.size())) return 1;
    if (argc > 2 && std::string(argv[1]) == "--shots") return WriteShots(argv[2]);
    return MeasureWindow(argc > 1 ? std::max(1, std::atoi(argv[1])) : 20);
}

// The UI toolkit without a window: build + layout + first paint of a
// 650x560 layout of about 60 controls with rich text in three scripts, one
// repaint after a progress step, and the memory of the tree and surfaces.
// Prints figures against the targets; asserts nothing.
//   ninja -C build ui_toolkit && build/bin/ui_toolkit
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <easylogging++.h>

#include "uitoolkit/controls/ProgressUI.h"
#include "uitoolkit/headless/HeadlessWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Layout() {
    std::string rows;
    for (int i = 0; i < 8; ++i) {
        rows += R"(<HorizontalLayout height="24" childpadding="6">
            <Label text="Row )" + std::to_string(i) + R"(" width="80" />
            <Button text="Action" width="80" bkcolor="#FF2B5797" hotbkcolor="#FF3B67A7" textcolor="#FFFFFFFF" />
            <Option group="g" text="Pick" width="70" />
            <CheckBox text="Check" width="70" />
            <Label text="{c #C00000}status{/c} {u}ok{/u}" showhtml="true" /></HorizontalLayout>)";
    }
    return R"(<Window size="650,560"><Font name="Noto Sans" size="13" /><Font name="Noto Sans" size="16" bold="true" />
      <VerticalLayout bkcolor="#FFF4F6FA" bkcolor2="#FFDCE4F0" inset="10,10,10,10" childpadding="6">
        <Label text="Benchmark window" font="1" height="30" bkcolor="#FF2B5797" textcolor="#FFFFFFFF" />
        <Text height="90" showhtml="true" bkcolor="#FFFFFFFF" text="{f 1}Licence{/f}{n}I agree to the {a}{u}terms{/u}{/a}.{n}مرحبا بالعالم، هذا نص عربي طويل{n}नमस्ते दुनिया, यह हिंदी पाठ है{n}你好，世界。这是中文文本。" />
        )" + rows + R"(
        <Progress name="progress" height="14" bkcolor="#FFE0E0E0" foreimage="bench_fill" bordercolor="#FF9AA4B4" bordersize="1" value="10" />
        <Edit text="/opt/zembra" height="24" bordercolor="#FF9AA4B4" bordersize="1" />
        <Combo height="24"><ListLabelElement text="English" selected="true" /><ListLabelElement text="العربية" /></Combo>
        <Control />
      </VerticalLayout></Window>)";
}

// The progress bar's fill, registered the way the application registers
// pictures it draws itself.
ZembraUI::LoadedImage FillPicture() {
    ZembraUI::LoadedImage picture;
    picture.width = 640;
    picture.height = 14;
    picture.pixels.assign(std::size_t(picture.width) * picture.height, 0xFF1E9E3Cu);
    return picture;
}

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    const std::string markup = Layout();
    constexpr int kRuns = 15;

    // Process start-up of the text engine (fontconfig's configuration and
    // the font map), paid once before the first window of any program.
    const auto engineStart = Clock::now();
    {
        ZembraUI::CTextRenderer renderer;
        renderer.LineHeight(ZembraUI::FontInfo{});
    }
    std::printf("text engine start-up (once per process): %.2f ms\n", Milliseconds(Clock::now() - engineStart));

    // The first window pays for font loading; it is reported on its own.
    std::vector<double> firstPaints;
    std::vector<double> repaints;
    std::size_t controls = 0;
    std::size_t dirtyArea = 0;
    std::size_t heapGrowth = 0;
    for (int run = 0; run < kRuns; ++run) {
        const std::size_t heapBefore = mallinfo2().uordblks;
        const auto start = Clock::now();
        auto window = std::make_unique<ZembraUI::CHeadlessWindow>();
        window->Manager().AddBitmapImage("bench_fill", FillPicture());
        if (!window->LoadMarkup(markup)) {
            std::fprintf(stderr, "layout failed: %s\n", window->LastError().c_str());
            return 1;
        }
        window->Pump();
        firstPaints.push_back(Milliseconds(Clock::now() - start));
        heapGrowth = mallinfo2().uordblks - heapBefore;
        controls = window->Manager().ControlsByInterface("Control").size();

        auto* progress = dynamic_cast<ZembraUI::CProgressUI*>(window->Manager().ControlsByInterface("Progress").at(0));
        progress->PutValue(11 + run);
        const auto repaintStart = Clock::now();
        const std::vector<ZembraUI::UIRect> painted = window->Pump();
        repaints.push_back(Milliseconds(Clock::now() - repaintStart));
        dirtyArea = 0;
        for (const ZembraUI::UIRect& rect : painted) dirtyArea += std::size_t(rect.Width()) * rect.Height();
        if (run == 0) {
            const ZembraUI::UIRect bar = progress->Pos();
            std::printf("progress bar %dx%d, repaint touched %zu px in %zu rectangle(s)\n", bar.Width(),
                        bar.Height(), dirtyArea, painted.size());
        }
    }
    const double cold = firstPaints.front();
    firstPaints.erase(firstPaints.begin());
    std::printf("controls in the tree: %zu\n", controls);
    std::printf("build + layout + first paint: cold %.2f ms, warm median %.2f ms (target <= 30 ms)\n", cold,
                Median(firstPaints));
    std::printf("progress repaint: median %.3f ms, %zu px dirty of %d (target <= 2 ms, bar only)\n",
                Median(repaints), dirtyArea, 650 * 560);
    std::printf("heap of one window (tree, surface, caches): %.2f MiB (target <= 15 MiB)\n",
                static_cast<double>(heapGrowth) / (1024.0 * 1024.0));
    return 0;
}

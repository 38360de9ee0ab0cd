// skinview LAYOUT.xml [--skin DIR] [--lang CODE] [--screenshot OUT.png]
//
// Opens a layout of the skin in a real window, for makers re-skinning the
// installer: it behaves as in the installer (caption drag, buttons, focus,
// edits, drop-downs; closebtn closes). The skin is the embedded one unless
// --skin names a folder or ZIP file. With --screenshot the window's picture
// is written after its first complete paint and the program ends. Exits 0
// on success, 1 when the skin or layout cannot be used (after the error
// box; with --screenshot without it), 2 on bad arguments.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <easylogging++.h>

#include "tools/skinshot/LanguageTexts.h"
#include "tools/skinshot/SkinSource.h"
#include "uitoolkit/window/MessageLoop.h"
#include "uitoolkit/window/WindowImplBase.h"

namespace {

struct Options {
    std::string layout;
    std::string skin;
    std::string language;
    std::string screenshot;
};

int Usage() {
    std::fprintf(stderr, "usage: skinview LAYOUT.xml [--skin DIR] [--lang CODE] [--screenshot OUT.png]\n");
    return 2;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--skin" && hasValue) {
            options.skin = argv[++i];
        } else if (argument == "--lang" && hasValue) {
            options.language = argv[++i];
        } else if (argument == "--screenshot" && hasValue) {
            options.screenshot = argv[++i];
        } else if (argument.starts_with("--")) {
            return false;
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 1) return false;
    options.layout = positional[0];
    return true;
}

class CSkinViewWnd : public ZembraUI::WindowImplBase {
public:
    explicit CSkinViewWnd(const Options& options) : options_(options) {}

    std::string WindowClassName() const override { return "SkinViewWnd"; }
    std::string SkinFolder() const override { return {}; }
    std::string SkinFile() const override { return options_.layout; }
    ZembraUI::SkinResourceKind ResourceKind() const override {
        return options_.skin.empty() ? ZembraUI::SkinResourceKind::ZipResource : ZembraUI::SkinResourceKind::Folder;
    }

    void InitWindow() override {
        if (options_.language.empty()) return;
        const int texts = skinshot::ApplyLanguageTexts(PaintManager(), skinshot::LanguageName(options_.language));
        if (texts >= 0) std::fprintf(stderr, "skinview: %d texts of language %s\n", texts, options_.language.c_str());
    }

    Result MsgDestroy(unsigned, std::uintptr_t, std::intptr_t, bool& handled) override {
        ZembraUI::CMessageLoop::PostQuit(0);
        handled = false;
        return 0;
    }

protected:
    void OnPaint(ZembraUI::CPaintSurface& surface, const std::vector<ZembraUI::UIRect>& areas) override {
        WindowImplBase::OnPaint(surface, areas);
        // The first complete picture: laid out, "windowinit" handled, nothing left dirty.
        if (options_.screenshot.empty() || written_ || PaintManager().NeedsUpdate()) return;
        written_ = true;
        const bool ok = surface.WritePng(options_.screenshot.c_str());
        if (!ok) std::fprintf(stderr, "skinview: cannot write %s\n", options_.screenshot.c_str());
        std::printf("%s: %dx%d\n", options_.screenshot.c_str(), surface.Width(), surface.Height());
        std::fflush(stdout);
        ZembraUI::CMessageLoop::PostQuit(ok ? 0 : 1);
    }

private:
    const Options& options_;
    bool written_ = false;
};

// Pictures are taken unattended: a layout without controls ends the program without a box to answer.
[[noreturn]] void FailWithoutBox() {
    std::fprintf(stderr, "skinview: the layout makes no control\n");
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Format, "%msg");
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    if (std::getenv("SKINVIEW_LOG") != nullptr) el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "true");
    Options options;
    if (!ParseArguments(argc, argv, options)) return Usage();
    if (!skinshot::OpenSkin(options.skin)) {
        std::fprintf(stderr, "skinview: cannot open the skin %s\n", options.skin.c_str());
        return 1;
    }
    ZembraUI::CMessageLoop loop;
    if (!loop.Start()) {
        std::fprintf(stderr, "skinview: no display\n");
        return 1;
    }
    if (!options.screenshot.empty()) ZembraUI::WindowImplBase::SetFatalSkinHandler(&FailWithoutBox);
    CSkinViewWnd window(options);
    if (!options.language.empty()) window.PaintManager().TextRenderer().SetLanguage(options.language);
    if (!window.CreateHostWindow(nullptr, options.layout, 0, 0, 0, 0, 800, 600)) {
        std::fprintf(stderr, "skinview: cannot make a window for %s\n", options.layout.c_str());
        return 1;
    }
    window.CenterWindowOnOwner();
    window.ShowHostWindow(true, true);
    return ZembraUI::RunMessageLoop();
}

// skinshot LAYOUT.xml OUT.png [--size WxH] [--lang CODE] [--skin DIR] [--rect NAME]...
//
// Builds a layout of the skin without a window, lays it out, paints it and
// writes the picture as a PNG. The skin is the one embedded in the installer
// unless --skin names a folder (or a ZIP file) holding another. --lang sets
// the language tag the text is shaped with and, when the skin has that
// language's file, its texts. Each --rect prints "NAME left top right
// bottom" of that control as laid out (scripts click controls there). Exits 0 on success, 1 when the layout makes no
// control or the PNG cannot be written, 2 on bad arguments.
#include <cstdio>
#include <string>
#include <vector>

#include <easylogging++.h>

#include "tools/skinshot/LanguageTexts.h"
#include "tools/skinshot/SkinSource.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/headless/HeadlessWindow.h"


namespace {

struct Options {
    std::string layout;
    std::string output;
    ZembraUI::UISize size;
    std::string language;
    std::string skin;
    std::vector<std::string> rects;
};

int Usage() {
    std::fprintf(stderr, "usage: skinshot LAYOUT.xml OUT.png [--size WxH] [--lang CODE] [--skin DIR] [--rect NAME]...\n");
    return 2;
}

bool ParseSize(const std::string& text, ZembraUI::UISize& size) {
    int width = 0;
    int height = 0;
    char separator = 0;
    if (std::sscanf(text.c_str(), "%d%c%d", &width, &separator, &height) != 3 || (separator != 'x' && separator != 'X')) {
        return false;
    }
    // Pictures beyond 8192 pixels a side are refused rather than allocated.
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
    size = {width, height};
    return true;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--size" && hasValue) {
            if (!ParseSize(argv[++i], options.size)) return false;
        } else if (argument == "--lang" && hasValue) {
            options.language = argv[++i];
        } else if (argument == "--rect" && hasValue) {
            options.rects.push_back(argv[++i]);
        } else if (argument == "--skin" && hasValue) {
            options.skin = argv[++i];
        } else if (argument.starts_with("--")) {
            return false;
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 2) return false;
    options.layout = positional[0];
    options.output = positional[1];
    return true;
}

// False when a control is missing (its line says so).
bool PrintRects(ZembraUI::CUIManager& manager, const std::vector<std::string>& names) {
    bool all = true;
    for (const std::string& name : names) {
        const ZembraUI::CControlUI* control = manager.ControlByName(name);
        if (control == nullptr) {
            std::fprintf(stderr, "skinshot: no control named %s\n", name.c_str());
            all = false;
            continue;
        }
        const ZembraUI::UIRect& pos = control->Pos();
        std::printf("%s %d %d %d %d\n", name.c_str(), pos.left, pos.top, pos.right, pos.bottom);
    }
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Format, "%msg");
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    Options options;
    if (!ParseArguments(argc, argv, options)) return Usage();
    if (!skinshot::OpenSkin(options.skin)) {
        std::fprintf(stderr, "skinshot: cannot open the skin %s\n", options.skin.c_str());
        return 1;
    }

    ZembraUI::CHeadlessWindow window;
    if (!options.language.empty()) window.Manager().TextRenderer().SetLanguage(options.language);
    if (!window.Load(options.layout)) {
        std::fprintf(stderr, "skinshot: %s: %s\n", options.layout.c_str(), window.LastError().c_str());
        return 1;
    }
    if (options.size.cx > 0) window.Resize(options.size);
    if (!options.language.empty()) {
        const int texts = skinshot::ApplyLanguageTexts(window.Manager(), skinshot::LanguageName(options.language));
        if (texts >= 0) std::fprintf(stderr, "skinshot: %d texts of language %s\n", texts, options.language.c_str());
    }
    window.Pump();
    // Controls that change during "windowinit" or the first layout paint
    // again on the next turn.
    window.Pump();
    if (!window.WritePng(options.output)) {
        std::fprintf(stderr, "skinshot: cannot write %s\n", options.output.c_str());
        return 1;
    }
    const ZembraUI::UISize size = window.Manager().ClientSize();
    std::printf("%s: %dx%d\n", options.output.c_str(), size.cx, size.cy);
    return PrintRects(window.Manager(), options.rects) ? 0 : 1;
}

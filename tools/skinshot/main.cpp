// skinshot LAYOUT.xml OUT.png [--size WxH] [--lang CODE] [--skin DIR]
//
// Builds a layout of the skin without a window, lays it out, paints it and
// writes the picture as a PNG. The skin is the one embedded in the installer
// unless --skin names a folder (or a ZIP file) holding another. --lang sets
// the language tag the text is shaped with and, when the skin has that
// language's file, its texts. Exits 0 on success, 1 when the layout makes no
// control or the PNG cannot be written, 2 on bad arguments.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <easylogging++.h>

#include "platform/EmbeddedResources.h"
#include "tools/skinshot/LanguageTexts.h"
#include "uitoolkit/headless/HeadlessWindow.h"
#include "uitoolkit/markup/SkinArchive.h"


namespace {

struct Options {
    std::string layout;
    std::string output;
    ZembraUI::UISize size;
    std::string language;
    std::string skin;
};

int Usage() {
    std::fprintf(stderr, "usage: skinshot LAYOUT.xml OUT.png [--size WxH] [--lang CODE] [--skin DIR]\n");
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

bool OpenSkin(const std::string& skin) {
    if (skin.empty()) {
        const auto archive = platform::EmbeddedSkinArchive();
        return !archive.empty() && ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size());
    }
    if (std::filesystem::is_directory(skin)) {
        ZembraUI::CSkinArchive::SetResourceFolder(skin);
        return true;
    }
    return ZembraUI::CSkinArchive::OpenFromFile(skin);
}

}  // namespace

int main(int argc, char** argv) {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Format, "%msg");
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    Options options;
    if (!ParseArguments(argc, argv, options)) return Usage();
    if (!OpenSkin(options.skin)) {
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
    return 0;
}

// libFuzzer target for rich text: any markup must parse into well-formed runs
// and lay out, draw and report its links without crashing, whatever style
// bits and hovered link come with it.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <cairo.h>
#include <glib.h>

#include <easylogging++.h>

#include "uitoolkit/text/RichTextParser.h"
#include "uitoolkit/text/TextRenderer.h"
#include "uitoolkit/text/TextStyle.h"

namespace {

namespace Style = ZembraUI::TextStyle;

class FuzzFonts : public ZembraUI::IFontSource {
public:
    const ZembraUI::FontInfo& FontAt(int index) const override {
        return index >= 0 && index < 3 ? fonts_[index] : defaultFont_;
    }
    const ZembraUI::FontInfo& DefaultFont() const override { return defaultFont_; }

private:
    ZembraUI::FontInfo fonts_[3] = {{"", 12}, {"", 20, true}, {"Serif", 9, false, true, true}};
    ZembraUI::FontInfo defaultFont_{"", 12};
};

// The style bits the first byte switches on, one bit each.
constexpr unsigned kStyleBits[] = {Style::kCenter,    Style::kRight,  Style::kVCenter, Style::kBottom,
                                   Style::kWordBreak, Style::kSingleLine, Style::kNoClip, Style::kEndEllipsis};

void CheckRuns(const ZembraUI::RichTextDocument& document) {
    for (const ZembraUI::TextRun& run : document.runs) {
        if (run.link >= static_cast<int>(document.linkTexts.size())) __builtin_trap();
        if (run.kind != ZembraUI::TextRunKind::Text) continue;
        if (run.text.empty() || run.text.find('\n') != std::string::npos) __builtin_trap();
        if (!g_utf8_validate_len(run.text.data(), run.text.size(), nullptr)) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    unsigned style = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
        if (data[0] & (1u << bit)) style |= kStyleBits[bit];
    }
    const int hoverLink = data[1] % 4 - 1;
    const std::string_view markup(reinterpret_cast<const char*>(data + 2), size - 2);

    static const FuzzFonts fonts;
    const ZembraUI::TextColours colours;
    CheckRuns(ZembraUI::CRichTextParser(fonts, colours, hoverLink, (style & Style::kSingleLine) != 0).Parse(markup));

    static ZembraUI::CTextRenderer renderer;
    static cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 32);
    cairo_t* cr = cairo_create(surface);
    std::vector<ZembraUI::RichTextLink> links;
    renderer.DrawRichText(cr, {2, 2, 62, 30}, markup, fonts, colours, style, hoverLink, &links, 4, data[1] >= 128);
    cairo_destroy(cr);
    if (links.size() > 4) __builtin_trap();
    return 0;
}

#include "uitoolkit/text/TextContext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

namespace ZembraUI {
namespace {

// Font sizes beyond this are typing errors; cairo would rasterise glyphs of
// many megabytes for them.
constexpr int kMaxFontPixels = 1024;

// A Han character every CJK face has.
constexpr FcChar32 kHanSample = 0x6C34;

bool IsKorean(const std::string& tag) { return tag == "ko" || tag.rfind("ko-", 0) == 0 || tag.rfind("ko_", 0) == 0; }

// The family the font configuration sorts first among the faces that draw
// Han characters for text in this language.
std::string ConfiguredHanFamily(const std::string& language) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    std::string family;
    for (int i = 0; sorted != nullptr && i < sorted->nfont && family.empty(); ++i) {
        FcCharSet* charset = nullptr;
        FcChar8* name = nullptr;
        if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch &&
            FcCharSetHasChar(charset, kHanSample) &&
            FcPatternGetString(sorted->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch) {
            family = reinterpret_cast<const char*>(name);
        }
    }
    if (sorted != nullptr) FcFontSetDestroy(sorted);
    FcPatternDestroy(pattern);
    return family;
}

}  // namespace

CTextContext::CTextContext(double scale)
    : scale_(scale > 0 && std::isfinite(scale) ? scale : 1.0),
      context_(pango_font_map_create_context(pango_cairo_font_map_get_default())) {
    FontOptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_subpixel_order(options.get(), CAIRO_SUBPIXEL_ORDER_DEFAULT);
    pango_cairo_context_set_font_options(context_.get(), options.get());
    // Font sizes are absolute pixels; the resolution is that of an unscaled
    // screen so nothing else depends on the display.
    pango_cairo_context_set_resolution(context_.get(), 96.0);
    SetLanguage({});
}

void CTextContext::SetLanguage(std::string languageTag) {
    language_ = std::move(languageTag);
    PangoLanguage* language =
        language_.empty() ? pango_language_get_default() : pango_language_from_string(language_.c_str());
    pango_context_set_language(context_.get(), language);
    hanFamily_ = IsKorean(language_) ? ConfiguredHanFamily(language_) : std::string();
}

FontDescriptionPtr CTextContext::Describe(const FontInfo& font) const {
    FontDescriptionPtr description(pango_font_description_new());
    pango_font_description_set_family(description.get(), font.face.empty() ? "sans-serif" : font.face.c_str());
    const auto pixels = std::clamp<long long>(std::llabs(font.size), 1, kMaxFontPixels);
    pango_font_description_set_absolute_size(description.get(), static_cast<double>(pixels) * scale_ * PANGO_SCALE);
    pango_font_description_set_weight(description.get(), font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description.get(), font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return description;
}

int CTextContext::LineHeight(const FontInfo& font) const {
    const FontDescriptionPtr description = Describe(font);
    const FontMetricsPtr metrics(
        pango_context_get_metrics(context_.get(), description.get(), pango_context_get_language(context_.get())));
    int height = pango_font_metrics_get_height(metrics.get());
    if (height <= 0) height = pango_font_metrics_get_ascent(metrics.get()) + pango_font_metrics_get_descent(metrics.get());
    return PANGO_PIXELS_CEIL(height);
}

}  // namespace ZembraUI

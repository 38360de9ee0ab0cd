#pragma once
// The pango side of a text renderer: one context on the process's cairo font
// map with fixed font options (grey antialiasing, slight hinting, unhinted
// metrics), so shaped text measures the same whatever surface it lands on,
// plus the text's language and the window's scale.
#include <string>

#include <pango/pango.h>

#include "uitoolkit/render/FontInfo.h"
#include "uitoolkit/text/PangoHandles.h"

namespace ZembraUI {

class CTextContext {
public:
    explicit CTextContext(double scale);

    // A BCP 47 tag ("ar", "ja", "zh-cn"); empty = the process's locale.
    void SetLanguage(std::string languageTag);
    const std::string& Language() const { return language_; }
    double Scale() const { return scale_; }
    PangoContext* Context() const { return context_.get(); }

    // The pango description of a font: an empty face is the generic sans
    // face, the pixel size is multiplied by the scale.
    FontDescriptionPtr Describe(const FontInfo& font) const;
    // Ascent + descent + line gap of the font for the current language, in
    // whole pixels.
    int LineHeight(const FontInfo& font) const;
    // The face for Han characters when the language needs one pango does not
    // choose by itself (Korean: pango ties Hanja to no language, so they
    // would take the Chinese face); empty otherwise.
    const std::string& HanFamily() const { return hanFamily_; }

private:
    double scale_;
    std::string language_;
    std::string hanFamily_;
    GObjectPtr<PangoContext> context_;
};

}  // namespace ZembraUI

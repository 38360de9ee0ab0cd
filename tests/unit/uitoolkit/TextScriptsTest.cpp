// Complex scripts shape with the pinned Noto fonts: right-to-left Arabic,
// Devanagari conjuncts, Thai marks, and Han characters drawn in the face of
// the text's language.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "uitoolkit/text/TextContext.h"
#include "uitoolkit/text/TextLayout.h"
#include "uitoolkit/text/TextRenderer.h"
#include "uitoolkit/text/TextStyle.h"
#include "unit/uitoolkit/TextTestSupport.h"

namespace {

using ZembraUI::CTextContext;
using ZembraUI::CTextLayout;
using ZembraUI::TextRun;

class TextScriptsTest : public ::testing::Test {
protected:
    std::unique_ptr<CTextLayout> Shape(const char* language, const std::string& text) {
        context_.SetLanguage(language);
        TextRun run;
        run.text = text;
        run.font = {"", 20};
        return std::make_unique<CTextLayout>(context_, std::vector<TextRun>{run},
                                             ZembraUI::TextLayoutOptions{1000, 100, ZembraUI::TextStyle::kSingleLine});
    }

    static std::vector<PangoGlyphItem*> Runs(const CTextLayout& layout) {
        std::vector<PangoGlyphItem*> runs;
        for (GSList* run = pango_layout_get_line_readonly(layout.Layout(), 0)->runs; run != nullptr; run = run->next) {
            runs.push_back(static_cast<PangoGlyphItem*>(run->data));
        }
        return runs;
    }

    static int GlyphCount(const CTextLayout& layout) {
        int count = 0;
        for (PangoGlyphItem* run : Runs(layout)) count += run->glyphs->num_glyphs;
        return count;
    }

    static std::string Family(const CTextLayout& layout) {
        const auto runs = Runs(layout);
        if (runs.empty()) return {};
        PangoFontDescription* description = pango_font_describe(runs[0]->item->analysis.font);
        std::string family = pango_font_description_get_family(description);
        pango_font_description_free(description);
        return family;
    }

    static int XOf(const CTextLayout& layout, int byteIndex) {
        PangoRectangle position;
        pango_layout_index_to_pos(layout.Layout(), byteIndex, &position);
        return position.x;
    }

    CTextContext context_{1.0};
};

TEST_F(TextScriptsTest, ArabicRunsRightToLeft) {
    const std::string salam = "\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85";  // sin, lam, alef, mim
    const auto layout = Shape("ar", salam);
    EXPECT_EQ(layout->UnknownGlyphCount(), 0);
    EXPECT_EQ(Family(*layout), "Noto Sans Arabic");
    // The first character in reading order sits right of the last.
    EXPECT_GT(XOf(*layout, 0), XOf(*layout, 6));
    EXPECT_EQ(Runs(*layout)[0]->item->analysis.level % 2, 1);
}

TEST_F(TextScriptsTest, HindiAndThaiShapeWithoutMissingGlyphs) {
    // "namaste": the conjunct s+virama+t and the vowel sign do not map one
    // code point to one glyph.
    const std::string namaste = "\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0\xA5\x87";
    const auto hindi = Shape("hi", namaste);
    EXPECT_EQ(hindi->UnknownGlyphCount(), 0);
    EXPECT_EQ(Family(*hindi), "Noto Sans Devanagari");
    EXPECT_NE(GlyphCount(*hindi), static_cast<int>(g_utf8_strlen(namaste.c_str(), -1)));

    // Thai vowel and tone marks stack over their consonant: no extra width.
    const std::string consonant = "\xE0\xB8\x97";
    const auto thai = Shape("th", consonant + "\xE0\xB8\xB5\xE0\xB9\x88");
    EXPECT_EQ(thai->UnknownGlyphCount(), 0);
    EXPECT_EQ(Family(*thai), "Noto Sans Thai");
    EXPECT_EQ(thai->Size().cx, Shape("th", consonant)->Size().cx);
}

TEST_F(TextScriptsTest, HanCharactersTakeTheFaceOfTheLanguage) {
    const std::string han = "\xE7\x9B\xB4\xE8\xA7\x92";  // the same two Han characters everywhere
    EXPECT_EQ(Family(*Shape("ja", han)), "Noto Sans CJK JP");
    EXPECT_EQ(Family(*Shape("zh-cn", han)), "Noto Sans CJK SC");
    EXPECT_EQ(Family(*Shape("zh-tw", han)), "Noto Sans CJK TC");
    EXPECT_EQ(Family(*Shape("ko", han)), "Noto Sans CJK KR");

    // Through the renderer, the language changes the drawn glyphs.
    const auto draw = [&](const char* language) {
        ZembraUI::CTextRenderer renderer;
        renderer.SetLanguage(language);
        TextTests::Canvas canvas(60, 30);
        renderer.DrawPlainText(canvas.Context(), {0, 0, 60, 30}, han, {"", 24}, 0xFF000000,
                               ZembraUI::TextStyle::kSingleLine);
        return canvas.Pixels();
    };
    EXPECT_NE(draw("ja"), draw("zh-cn"));
}

}  // namespace

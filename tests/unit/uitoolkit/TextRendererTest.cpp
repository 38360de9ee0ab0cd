#include "uitoolkit/text/TextRenderer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "uitoolkit/text/TextStyle.h"
#include "unit/uitoolkit/TextTestSupport.h"

namespace {

namespace Style = ZembraUI::TextStyle;
using TextTests::Alpha;
using TextTests::Blue;
using TextTests::Canvas;
using TextTests::Red;
using ZembraUI::CTextRenderer;
using ZembraUI::RichTextLink;
using ZembraUI::TextColours;
using ZembraUI::UIRect;
using ZembraUI::UISize;

bool Inside(const UIRect& inner, const UIRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

class TextRendererTest : public ::testing::Test {
protected:
    UISize Measure(std::string_view markup, const UIRect& rect, unsigned style) {
        return renderer_.DrawRichText(nullptr, rect, markup, fonts_, colours_, style | Style::kCalcRect);
    }
    UIRect RichInk(std::string_view markup, const UIRect& rect, unsigned style, int width = 200, int height = 60) {
        Canvas canvas(width, height);
        renderer_.DrawRichText(canvas.Context(), rect, markup, fonts_, colours_, style);
        return canvas.InkBox();
    }

    CTextRenderer renderer_;
    TextTests::TestFonts fonts_;
    TextColours colours_{0xFF000000, 0xFF0000FF, 0xFFD3215F};
};

TEST_F(TextRendererTest, FontAndColourTagsDrawLikePlainTextInThatFontAndColour) {
    colours_.text = 0xFFFF0000;
    const UIRect rect{4, 4, 196, 40};
    const unsigned label = Style::kSingleLine | Style::kVCenter;
    Canvas rich(200, 44);
    renderer_.DrawRichText(rich.Context(), rect, "{f 1}{c #000000}I agree{/c}{/f}", fonts_, colours_, label);
    Canvas plain(200, 44);
    renderer_.DrawPlainText(plain.Context(), rect, "I agree", fonts_.fonts[1], 0xFF000000, label);
    Canvas otherFont(200, 44);
    renderer_.DrawPlainText(otherFont.Context(), rect, "I agree", fonts_.defaultFont, 0xFF000000, label);

    EXPECT_FALSE(rich.InkBox().IsEmpty());
    EXPECT_EQ(rich.Pixels(), plain.Pixels());
    EXPECT_NE(rich.Pixels(), otherFont.Pixels());
}

TEST_F(TextRendererTest, LinkRectanglesCoverTheDrawnLinkText) {
    const auto isLinkColour = [](std::uint32_t pixel) { return Blue(pixel) - Red(pixel) > 60; };
    const UIRect rect{0, 0, 300, 40};
    const auto expectRectCoversInk = [&](std::string_view markup, unsigned style) {
        std::vector<RichTextLink> links;
        Canvas canvas(300, 40);
        renderer_.DrawRichText(canvas.Context(), rect, markup, fonts_, colours_, style, -1, &links);
        ASSERT_EQ(links.size(), 1u) << markup;
        ASSERT_EQ(links[0].rects.size(), 1u) << markup;
        const UIRect hit = links[0].rects[0];
        const UIRect ink = canvas.BoxOf(isLinkColour);
        EXPECT_TRUE(Inside(ink, {hit.left - 1, hit.top, hit.right + 1, hit.bottom})) << markup;
        EXPECT_LE(std::abs(hit.left - ink.left), 2) << markup;
        EXPECT_LE(std::abs(hit.right - ink.right), 2) << markup;
    };
    const char* agreement = "Read the {a}{u}licence terms{/u}{/a} now";
    const unsigned centred = Style::kSingleLine | Style::kCenter | Style::kVCenter;
    expectRectCoversInk(agreement, centred);
    // Right-to-left text in a wrapping layout: pango places the line itself.
    expectRectCoversInk("\xD8\xA7\xD9\x82\xD8\xB1\xD8\xA3 {a}\xD8\xA7\xD9\x84\xD8\xB4\xD8\xB1\xD9\x88\xD8\xB7{/a} "
                        "\xD8\xA7\xD9\x84\xD8\xA2\xD9\x86",
                        Style::kWordBreak);

    std::vector<RichTextLink> links;
    renderer_.DrawRichText(nullptr, rect, "Read the {a terms}licence terms{/a}", fonts_, colours_, Style::kCalcRect, -1,
                           &links);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].text, "terms");

    // Hovered, the same link is drawn in the hover colour.
    Canvas hovered(300, 40);
    renderer_.DrawRichText(hovered.Context(), rect, agreement, fonts_, colours_, centred, 0);
    EXPECT_TRUE(hovered.BoxOf(isLinkColour).IsEmpty());
    EXPECT_FALSE(hovered.BoxOf([](std::uint32_t pixel) { return Red(pixel) - Blue(pixel) > 60; }).IsEmpty());

    // A wrapped link has one rectangle per line; only maxLinks are recorded.
    renderer_.DrawRichText(nullptr, {0, 0, 90, 200}, "See {a}the complete licence terms{/a} here", fonts_, colours_,
                           Style::kWordBreak | Style::kCalcRect, -1, &links);
    ASSERT_EQ(links.size(), 1u);
    ASSERT_GE(links[0].rects.size(), 2u);
    EXPECT_LT(links[0].rects[0].top, links[0].rects[1].top);
    for (const UIRect& area : links[0].rects) EXPECT_TRUE(Inside(area, {0, 0, 90, 200}));
    renderer_.DrawRichText(nullptr, rect, "{a}a{/a} {a}b{/a} {a}c{/a}", fonts_, colours_, Style::kCalcRect, -1, &links,
                           2);
    EXPECT_EQ(links.size(), 2u);
}

TEST_F(TextRendererTest, WordBreakWrapsInsideTheWidthAndOtherwiseClips) {
    const std::string text = "The quick brown fox jumps over the lazy dog again and again";
    const UIRect rect{0, 0, 120, 200};
    const int line = Measure("x", rect, 0).cy;

    const UISize wrapped = Measure(text, rect, Style::kWordBreak);
    EXPECT_LE(wrapped.cx, 120);
    EXPECT_GE(wrapped.cy, 3 * line);
    EXPECT_LE(RichInk(text, rect, Style::kWordBreak, 200, 200).right, 120);

    const UISize unwrapped = Measure(text, rect, 0);
    EXPECT_EQ(unwrapped.cy, line);
    EXPECT_GT(unwrapped.cx, 120);
    EXPECT_EQ(RichInk(text, rect, 0, 200, 200).right, 120);  // cut at the edge
}

TEST_F(TextRendererTest, EndEllipsisShortensTheLastLineShown) {
    const std::string text = "The quick brown fox jumps over the lazy dog again and again";
    const UIRect rect{0, 0, 120, 200};
    EXPECT_GT(Measure(text, rect, Style::kSingleLine).cx, 120);
    const UISize single = Measure(text, rect, Style::kSingleLine | Style::kEndEllipsis);
    EXPECT_LE(single.cx, 120);
    EXPECT_GT(single.cx, 90);
    EXPECT_LE(RichInk(text, rect, Style::kSingleLine | Style::kEndEllipsis, 200).right, 120);

    // Word-wrapped into a box two lines high: two lines, the second cut.
    const int line = Measure("x", rect, 0).cy;
    const UIRect twoLines{0, 0, 120, 2 * line + line / 2};
    EXPECT_GT(Measure(text, twoLines, Style::kWordBreak).cy, twoLines.Height());
    const UISize cut = Measure(text, twoLines, Style::kWordBreak | Style::kEndEllipsis);
    EXPECT_EQ(cut.cy, 2 * line);
    EXPECT_LE(cut.cx, 120);
}

TEST_F(TextRendererTest, SingleLineIgnoresLineBreaksAndParagraphsAddSpacing) {
    const UIRect rect{0, 0, 300, 200};
    const UISize oneLine = Measure("one two", rect, 0);
    EXPECT_EQ(Measure("one{n}two", rect, Style::kSingleLine), Measure("onetwo", rect, 0));
    EXPECT_EQ(Measure("one\ntwo", rect, Style::kSingleLine), oneLine);
    EXPECT_EQ(Measure("one\ntwo", rect, 0).cy, 2 * oneLine.cy);
    EXPECT_EQ(Measure("one{n}two", rect, 0).cy, 2 * oneLine.cy);

    EXPECT_EQ(Measure("{p 10}one{n}two{/p}", rect, 0).cy, 2 * oneLine.cy + 20);
    EXPECT_EQ(Measure("{p 10}one two{/p}", rect, 0).cy, oneLine.cy + 10);
    EXPECT_EQ(Measure("", rect, 0), UISize{});
}

TEST_F(TextRendererTest, AlignmentMovesTheTextByTheFreeSpace) {
    const UIRect rect{0, 0, 200, 60};
    const unsigned single = Style::kSingleLine;
    for (const char* markup : {"Hi", "{f 1}{b}Hi there{/b}{/f}"}) {
        const UISize size = Measure(markup, rect, single);
        const UIRect topLeft = RichInk(markup, rect, single);
        const UIRect centred = RichInk(markup, rect, single | Style::kCenter | Style::kVCenter);
        const UIRect bottomRight = RichInk(markup, rect, single | Style::kRight | Style::kBottom);
        EXPECT_EQ(centred.left - topLeft.left, (200 - size.cx) / 2) << markup;
        EXPECT_EQ(centred.top - topLeft.top, (60 - size.cy) / 2) << markup;
        EXPECT_EQ(bottomRight.left - topLeft.left, 200 - size.cx) << markup;
        EXPECT_EQ(bottomRight.top - topLeft.top, 60 - size.cy) << markup;
    }
    // Plain text aligns the same way.
    Canvas canvas(200, 60);
    const UISize size = renderer_.DrawPlainText(canvas.Context(), rect, "Hi", fonts_.defaultFont, 0xFF000000,
                                                single | Style::kRight | Style::kBottom);
    EXPECT_EQ(canvas.InkBox(), RichInk("Hi", rect, single | Style::kRight | Style::kBottom));
    EXPECT_EQ(size, Measure("Hi", rect, single));
}

TEST_F(TextRendererTest, TextIsClippedToItsRectangleUnlessNoClip) {
    const UIRect rect{10, 10, 60, 25};
    const char* markup = "{f 1}Clipped heading text{/f}";
    const UIRect clipped = RichInk(markup, rect, Style::kSingleLine | Style::kVCenter);
    EXPECT_FALSE(clipped.IsEmpty());
    EXPECT_TRUE(Inside(clipped, rect));
    EXPECT_FALSE(Inside(RichInk(markup, rect, Style::kSingleLine | Style::kVCenter | Style::kNoClip), rect));

    // Measuring draws nothing.
    Canvas canvas(200, 60);
    const UISize size =
        renderer_.DrawRichText(canvas.Context(), rect, markup, fonts_, colours_, Style::kSingleLine | Style::kCalcRect);
    EXPECT_GT(size.cx, rect.Width());
    EXPECT_TRUE(canvas.InkBox().IsEmpty());
}

TEST_F(TextRendererTest, LayeredTextHasAlphaFEAndPlainTextIgnoresColourAlpha) {
    const auto maxAlpha = [](const Canvas& canvas) {
        int most = 0;
        for (std::uint32_t pixel : canvas.Pixels()) most = std::max(most, Alpha(pixel));
        return most;
    };
    const ZembraUI::FontInfo big{"", 40, true};
    Canvas layered(100, 60, 0);
    renderer_.DrawPlainText(layered.Context(), {0, 0, 100, 60}, "IH", big, 0xFF000000, Style::kSingleLine, true);
    EXPECT_EQ(maxAlpha(layered), 0xFE);

    Canvas layeredRich(100, 60, 0);
    renderer_.DrawRichText(layeredRich.Context(), {0, 0, 100, 60}, "{f 1}{b}IH{/b}{/f}", fonts_, colours_,
                           Style::kSingleLine, -1, nullptr, 8, true);
    EXPECT_EQ(maxAlpha(layeredRich), 0xFE);

    // Six-digit colours have alpha 0; text still draws them opaque.
    Canvas opaque(100, 60, 0);
    renderer_.DrawPlainText(opaque.Context(), {0, 0, 100, 60}, "IH", big, 0x00333333, Style::kSingleLine);
    EXPECT_EQ(maxAlpha(opaque), 0xFF);
}

TEST_F(TextRendererTest, LineHeightFollowsTheFontSize) {
    const ZembraUI::FontInfo small{"", 12};
    const ZembraUI::FontInfo large{"", 24};
    EXPECT_GT(renderer_.LineHeight(large), renderer_.LineHeight(small));
    EXPECT_EQ(renderer_.LineHeight(small), Measure("Ag", {0, 0, 100, 100}, 0).cy);
    CTextRenderer doubled(2.0);
    EXPECT_NEAR(doubled.LineHeight(small), 2 * renderer_.LineHeight(small), 1);
}

}  // namespace

#include "uitoolkit/text/RichTextParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/uitoolkit/TextTestSupport.h"

namespace {

using ZembraUI::CRichTextParser;
using ZembraUI::FontInfo;
using ZembraUI::RichTextDocument;
using ZembraUI::TextColours;
using ZembraUI::TextRun;
using ZembraUI::TextRunKind;

class RichTextParserTest : public ::testing::Test {
protected:
    RichTextDocument Parse(std::string_view markup, int hoverLink = -1, bool singleLine = false) {
        return CRichTextParser(fonts_, colours_, hoverLink, singleLine).Parse(markup);
    }

    // The text of every run, breaks as "|" and skips as "_".
    static std::string Texts(const RichTextDocument& document) {
        std::string texts;
        for (const TextRun& run : document.runs) {
            if (!texts.empty()) texts += ',';
            texts += run.kind == TextRunKind::Text ? run.text : run.kind == TextRunKind::LineBreak ? "|" : "_";
        }
        return texts;
    }

    TextTests::TestFonts fonts_;
    TextColours colours_{0xFF102030, 0xFF0000FF, 0xFFD3215F, 0xFFBAE4FF};
    const FontInfo& font0_ = fonts_.fonts[0];
    const FontInfo& font1_ = fonts_.fonts[1];
    const FontInfo& font2_ = fonts_.fonts[2];
};

TEST_F(RichTextParserTest, FontAndColourStacksPopBackToTheOuterStyle) {
    const auto agree = Parse("{f 1}{c #000000}I agree{/c}{/f}");
    ASSERT_EQ(Texts(agree), "I agree");
    EXPECT_EQ(agree.runs[0].font, font1_);
    EXPECT_EQ(agree.runs[0].colour, 0x000000u);

    const auto nested = Parse("{f 1}a<f 2>b</f>c{/f}d{c FF0000}e{c #00FF00}f{/c}g{/c}h");
    ASSERT_EQ(Texts(nested), "a,b,c,d,e,f,g,h");
    const std::vector<FontInfo> fonts{font1_, font2_, font1_, fonts_.defaultFont};
    for (std::size_t i = 0; i < fonts.size(); ++i) EXPECT_EQ(nested.runs[i].font, fonts[i]) << i;
    const std::vector<std::uint32_t> colours{0x102030, 0xFF0000, 0x00FF00, 0xFF0000, 0x102030};
    for (std::size_t i = 0; i < colours.size(); ++i) EXPECT_EQ(nested.runs[3 + i].colour, colours[i]) << i;

    // Only red, green and blue count, also for eight-digit colours.
    EXPECT_EQ(Parse("{c #80112233}x").runs[0].colour, 0x112233u);
}

TEST_F(RichTextParserTest, LinkAroundUnderlineRecordsOneLinkAndPopsOneFontMore) {
    // The language files' pattern: "a" pushes the underlined font, "u" finds
    // it underlined and pushes nothing, yet both closers pop.
    const auto document = Parse("{f 2}{f 1}{a}{u}{c #000001}Agreement{/c}{/u}{/a}x{/f}y");
    ASSERT_EQ(Texts(document), "Agreement,x,y");
    EXPECT_EQ(document.linkTexts, std::vector<std::string>{""});
    EXPECT_EQ(document.runs[0].link, 0);
    EXPECT_TRUE(document.runs[0].font.underline);
    EXPECT_EQ(document.runs[0].colour, 0x000001u);
    EXPECT_EQ(document.runs[1].link, -1);
    EXPECT_EQ(document.runs[1].font, font2_);  // f 1 was popped by the extra closer
    EXPECT_EQ(document.runs[1].colour, 0x102030u);
    EXPECT_EQ(document.runs[2].font, fonts_.defaultFont);

    // Links take the link colour, the hovered one the hover colour, and keep
    // their tag's text.
    const auto two = Parse("{a first}one{/a} {a second page}two{/a}", 1);
    EXPECT_EQ(two.linkTexts, (std::vector<std::string>{"first", "second page"}));
    ASSERT_EQ(Texts(two), "one, ,two");
    EXPECT_EQ(two.runs[0].colour, 0x0000FFu);
    EXPECT_EQ(two.runs[2].colour, 0xD3215Fu);
    EXPECT_EQ(two.runs[2].link, 1);
}

TEST_F(RichTextParserTest, StrayClosersAndUnclosedTagsRenderWhatTheyCan) {
    const auto stray = Parse("{/c}{/f}{/a}{f 1}Are you sure?{/c}{/f}{/u} after");
    ASSERT_EQ(Texts(stray), "Are you sure?, after");
    EXPECT_EQ(stray.runs[1].font, fonts_.defaultFont);
    EXPECT_EQ(stray.runs[1].colour, 0x102030u);
    EXPECT_TRUE(stray.linkTexts.empty());

    // A tag without its end swallows the rest; an opened style simply lasts.
    EXPECT_EQ(Texts(Parse("Hello {f 1 world")), "Hello ");
    const auto open = Parse("x{c #FF0000}{a}red link");
    EXPECT_EQ(open.runs.back().colour, 0x0000FFu);
    EXPECT_EQ(open.runs.back().link, 0);
}

TEST_F(RichTextParserTest, FontsByIndexOrByFace) {
    for (const char* markup : {"{f 99999999999999999999}x", "{f -2147483649}x", "{f 3}x"}) {
        EXPECT_EQ(Parse(markup).runs[0].font, fonts_.defaultFont) << markup;
    }
    EXPECT_EQ(Parse("{f +1 bold}x").runs[0].font, font1_);
    EXPECT_EQ(Parse("{f Arial 15 bold italic}x").runs[0].font, (FontInfo{"Arial", 15, true, false, true}));
    EXPECT_EQ(Parse("{f Tahoma underline}x").runs[0].font, (FontInfo{"Tahoma", 10, false, true, false}));
}

TEST_F(RichTextParserTest, EscapesAndTextThatIsNoTag) {
    EXPECT_EQ(Texts(Parse("<{>x<}> {<}y{>}")), "{x} <y>");
    EXPECT_EQ(Texts(Parse("a < b, a<B {F 1} {1} { x} {/1} {}")), "a < b, a<B {F 1} {1} { x} {/1} {}");
    // Unknown letters are tags that do nothing.
    EXPECT_EQ(Texts(Parse("{z}a{/z}<q hello>b")), "ab");
    // Broken UTF-8 and NUL bytes never reach the shaper.
    EXPECT_EQ(Texts(Parse(std::string_view("a\xFF\0b", 4))), "a\xEF\xBF\xBD" "b");
}

TEST_F(RichTextParserTest, LineBreaksAndParagraphs) {
    const auto document = Parse("a{n}b{p 5}c{/p}d\r\ne{p 7}{/p}");
    ASSERT_EQ(Texts(document), "a,|,b,|,c,|,d,|,e,|");
    EXPECT_EQ(document.runs[4].spacing, 5);
    EXPECT_EQ(document.runs[6].spacing, 0);
    // A paragraph at the start of a line does not break again.
    EXPECT_EQ(Texts(Parse("{p 3}x{n}{p}y")), "x,|,y");

    const auto single = Parse("a{n}b{p 5}c{/p}d\ne", -1, true);
    EXPECT_EQ(Texts(single), "abcd e");
    EXPECT_EQ(single.runs[0].spacing, 0);
}

TEST_F(RichTextParserTest, TagsTheSkinsDoNotUse) {
    const auto document = Parse("{b}B{/b}{i}I{/i}{i pic.png}{/i}{s}S{/s}{x 7}{y 30}Y{r}{f 1}<b>{/r}{b}{b}BB");
    ASSERT_EQ(Texts(document), "B,I,S,_,Y{f 1}<b>,BB");
    EXPECT_TRUE(document.runs[0].font.bold);
    EXPECT_TRUE(document.runs[1].font.italic);
    EXPECT_EQ(document.runs[2].background, 0xFFBAE4FFu);
    EXPECT_EQ(document.runs[3].skipWidth, 7);
    EXPECT_EQ(document.runs[4].minLineHeight, 30);
    EXPECT_EQ(document.runs[4].font, fonts_.defaultFont);
    EXPECT_TRUE(document.runs[5].font.bold);
}

}  // namespace

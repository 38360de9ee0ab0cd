#pragma once
// The rich-text markup of labels, texts and buttons turned into text runs.
//
// Tags open with "{" or "<", a lower-case letter and a blank, "}" or ">", and
// end at the next "}" or ">"; a closing tag is the opener, "/" and the letter.
// "<{>", "<}>", "{<}" and "{>}" stand for "{", "}", "<" and ">". Fonts and
// colours live on two stacks whose closers pop one entry each; a closer with
// nothing to pop is ignored, so stray closers in language files are harmless.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uitoolkit/text/TextRenderer.h"
#include "uitoolkit/text/TextRun.h"

namespace ZembraUI {

class CRichTextParser {
public:
    // hoverLink: index of the link drawn in the hover colour (-1 none).
    // singleLine: line breaks ("n", "p", newline characters) are ignored.
    CRichTextParser(const IFontSource& fonts, const TextColours& colours, int hoverLink, bool singleLine);

    RichTextDocument Parse(std::string_view markup);

private:
    // Returns the position after the tag, or npos when [pos] starts no tag.
    std::size_t ParseTagAt(std::string_view markup, std::size_t pos);
    void OpenTag(char letter, std::string_view argument);
    void CloseTag(char letter);
    void OpenFont(std::string_view argument);
    void OpenLink(std::string_view argument);
    void OpenParagraph(std::string_view argument);

    void AppendText(std::string_view text);
    void AppendBreak();
    void AppendSkip(int width);
    TextRun StyledRun(TextRunKind kind) const;

    void PushFont(const FontInfo& font);
    void PopFont();
    const FontInfo& CurrentFont() const;
    void PushColour(std::uint32_t colour);
    void PopColour();
    std::uint32_t CurrentColour() const;
    // Nothing is on the current line yet.
    bool AtLineStart() const;

    const IFontSource& fonts_;
    TextColours colours_;
    int hoverLink_;
    bool singleLine_;

    RichTextDocument document_;
    std::vector<FontInfo> fontStack_;
    std::vector<std::uint32_t> colourStack_;
    int link_ = -1;
    bool selected_ = false;
    int spacing_ = 0;
    int minLineHeight_ = 0;
};

}  // namespace ZembraUI

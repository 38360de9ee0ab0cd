#include "uitoolkit/text/RichTextParser.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/text/Utf8Text.h"

namespace ZembraUI {
namespace {

// Pixel arguments (skips, spacing, line heights) beyond this are typing errors.
constexpr int kMaxPixels = 10000;
constexpr int kDefaultFaceSize = 10;

bool IsTagLetter(char c) { return c >= 'a' && c <= 'z'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !IsBlank(text[pos])) ++pos;
        if (pos > start) words.push_back(text.substr(start, pos - start));
    }
    return words;
}

// A decimal number at the start of text (blanks and a sign allowed before it),
// saturating at the int range; nothing when no digit follows.
std::optional<int> ReadInt(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min<long long>(value * 10 + (c - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int ReadPixels(std::string_view text) { return std::clamp(ReadInt(text).value_or(0), 0, kMaxPixels); }

// The character an escape at pos stands for, or 0 when none starts there.
char EscapedCharAt(std::string_view markup, std::size_t pos) {
    const std::string_view candidate = markup.substr(pos, 3);
    if (candidate == "<{>") return '{';
    if (candidate == "<}>") return '}';
    if (candidate == "{<}") return '<';
    if (candidate == "{>}") return '>';
    return 0;
}

bool IsCloserAt(std::string_view markup, std::size_t pos) {
    return pos + 2 < markup.size() && markup[pos + 1] == '/' && IsTagLetter(markup[pos + 2]);
}

bool IsOpenerAt(std::string_view markup, std::size_t pos) {
    if (pos + 2 >= markup.size() || !IsTagLetter(markup[pos + 1])) return false;
    const char next = markup[pos + 2];
    return next == ' ' || next == '}' || next == '>';
}

// Where the raw text after an "r" tag ends: at its closing tag or the end.
std::size_t RawTextEnd(std::string_view markup, std::size_t from) {
    const std::size_t braces = markup.find("{/r", from);
    const std::size_t angles = markup.find("</r", from);
    return std::min({braces, angles, markup.size()});
}

}  // namespace

CRichTextParser::CRichTextParser(const IFontSource& fonts, const TextColours& colours, int hoverLink,
                                 bool singleLine)
    : fonts_(fonts), colours_(colours), hoverLink_(hoverLink), singleLine_(singleLine) {}

RichTextDocument CRichTextParser::Parse(std::string_view markup) {
    document_ = {};
    fontStack_.clear();
    colourStack_.clear();
    link_ = -1;
    selected_ = false;
    spacing_ = 0;
    minLineHeight_ = 0;

    const std::string valid = ValidUtf8(markup);
    const std::string_view text(valid);
    std::size_t textStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] != '{' && text[pos] != '<') {
            ++pos;
            continue;
        }
        if (const char escaped = EscapedCharAt(text, pos)) {
            AppendText(text.substr(textStart, pos - textStart));
            AppendText(std::string_view(&escaped, 1));
            pos += 3;
            textStart = pos;
            continue;
        }
        if (!IsCloserAt(text, pos) && !IsOpenerAt(text, pos)) {
            ++pos;
            continue;
        }
        AppendText(text.substr(textStart, pos - textStart));
        pos = ParseTagAt(text, pos);
        textStart = pos;
    }
    AppendText(text.substr(textStart));
    return std::move(document_);
}

std::size_t CRichTextParser::ParseTagAt(std::string_view markup, std::size_t pos) {
    const bool closer = markup[pos + 1] == '/';
    const std::size_t letterPos = closer ? pos + 2 : pos + 1;
    const char letter = markup[letterPos];
    // An unterminated tag runs to the end of the text.
    const std::size_t end = std::min(markup.find_first_of("}>", letterPos + 1), markup.size());
    const std::size_t after = std::min(end + 1, markup.size());
    if (closer) {
        CloseTag(letter);
        return after;
    }
    if (letter == 'r') {
        const std::size_t rawEnd = RawTextEnd(markup, after);
        AppendText(markup.substr(after, rawEnd - after));
        return rawEnd;
    }
    OpenTag(letter, Trim(markup.substr(letterPos + 1, end - letterPos - 1)));
    return after;
}

void CRichTextParser::OpenTag(char letter, std::string_view argument) {
    FontInfo font = CurrentFont();
    switch (letter) {
    case 'f': OpenFont(argument); break;
    case 'c': PushColour(ParseColorValue(argument) & 0xFFFFFFu); break;
    case 'a': OpenLink(argument); break;
    case 'u':
        if (!font.underline) {
            font.underline = true;
            PushFont(font);
        }
        break;
    case 'b':
        if (!font.bold) {
            font.bold = true;
            PushFont(font);
        }
        break;
    case 'i':
        // With an argument "i" names a picture, which text alone cannot draw.
        if (argument.empty()) {
            font.italic = true;
            PushFont(font);
        }
        break;
    case 'n':
        if (!singleLine_) AppendBreak();
        break;
    case 'p': OpenParagraph(argument); break;
    case 's': selected_ = true; break;
    case 'x': AppendSkip(ReadPixels(argument)); break;
    case 'y': minLineHeight_ = ReadPixels(argument); break;
    default: break;  // unknown tags are dropped with their arguments
    }
}

void CRichTextParser::CloseTag(char letter) {
    switch (letter) {
    case 'f':
    case 'b':
    case 'u':
    case 'i': PopFont(); break;
    case 'a':
        PopFont();
        PopColour();
        link_ = -1;
        break;
    case 'c': PopColour(); break;
    case 'p':
        if (!singleLine_ && !AtLineStart()) AppendBreak();
        spacing_ = 0;
        break;
    case 's': selected_ = false; break;
    default: break;
    }
}

void CRichTextParser::OpenFont(std::string_view argument) {
    if (const auto index = ReadInt(argument)) {
        PushFont(fonts_.FontAt(*index));
        return;
    }
    // "f face [size] [bold] [underline] [italic]"
    FontInfo font;
    font.size = kDefaultFaceSize;
    const auto words = Words(argument);
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i == 0) {
            font.face = std::string(words[0]);
        } else if (const auto size = ReadInt(words[i])) {
            font.size = *size;
        } else {
            font.bold = font.bold || words[i] == "bold";
            font.underline = font.underline || words[i] == "underline";
            font.italic = font.italic || words[i] == "italic";
        }
    }
    PushFont(font);
}

void CRichTextParser::OpenLink(std::string_view argument) {
    link_ = static_cast<int>(document_.linkTexts.size());
    document_.linkTexts.emplace_back(argument);
    PushColour((link_ == hoverLink_ ? colours_.linkHover : colours_.link) & 0xFFFFFFu);
    FontInfo font = CurrentFont();
    if (!font.underline) {
        font.underline = true;
        PushFont(font);
    }
}

void CRichTextParser::OpenParagraph(std::string_view argument) {
    // A single line has no paragraphs to space.
    if (singleLine_) return;
    if (!AtLineStart()) AppendBreak();
    spacing_ = ReadPixels(argument);
}

void CRichTextParser::AppendText(std::string_view text) {
    AppendStyledText(document_.runs, text, StyledRun(TextRunKind::Text), singleLine_);
}

void CRichTextParser::AppendBreak() {
    document_.runs.push_back(StyledRun(TextRunKind::LineBreak));
}

void CRichTextParser::AppendSkip(int width) {
    TextRun run = StyledRun(TextRunKind::Skip);
    run.skipWidth = width;
    document_.runs.push_back(std::move(run));
}

TextRun CRichTextParser::StyledRun(TextRunKind kind) const {
    TextRun run;
    run.kind = kind;
    run.font = CurrentFont();
    run.colour = CurrentColour();
    run.link = link_;
    run.background = selected_ ? colours_.selected : 0;
    run.spacing = spacing_;
    run.minLineHeight = minLineHeight_;
    return run;
}

void CRichTextParser::PushFont(const FontInfo& font) { fontStack_.push_back(font); }

void CRichTextParser::PopFont() {
    if (!fontStack_.empty()) fontStack_.pop_back();
}

const FontInfo& CRichTextParser::CurrentFont() const {
    return fontStack_.empty() ? fonts_.DefaultFont() : fontStack_.back();
}

void CRichTextParser::PushColour(std::uint32_t colour) { colourStack_.push_back(colour); }

void CRichTextParser::PopColour() {
    if (!colourStack_.empty()) colourStack_.pop_back();
}

bool CRichTextParser::AtLineStart() const {
    return document_.runs.empty() || document_.runs.back().kind == TextRunKind::LineBreak;
}

std::uint32_t CRichTextParser::CurrentColour() const {
    return colourStack_.empty() ? colours_.text & 0xFFFFFFu : colourStack_.back();
}

}  // namespace ZembraUI

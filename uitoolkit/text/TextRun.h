#pragma once
// What plain and rich text become before shaping: runs of text in one font,
// colour and link, with hard line breaks and blank skips between them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uitoolkit/render/FontInfo.h"

namespace ZembraUI {

enum class TextRunKind { Text, LineBreak, Skip };

struct TextRun {
    TextRunKind kind = TextRunKind::Text;
    std::string text;          // Text runs: valid UTF-8 without line breaks
    FontInfo font;
    std::uint32_t colour = 0;  // 0xRRGGBB
    int link = -1;             // index of the link the run belongs to; -1 none
    std::uint32_t background = 0;  // 0xAARRGGBB behind the text; alpha 0 = none
    int skipWidth = 0;         // Skip runs: blank pixels
    int spacing = 0;           // extra pixels under every line that starts in this run
    int minLineHeight = 0;     // a line touching this run is at least this high
    bool operator==(const TextRun&) const = default;
};

struct RichTextDocument {
    std::vector<TextRun> runs;
    // The optional text of each link's tag, in the order the links appear.
    std::vector<std::string> linkTexts;
};

// Appends valid UTF-8 text in the style of `style` (its kind and text are
// ignored), joining the last run when it has the same style. A newline is a
// line break, or a blank when singleLine; carriage returns are dropped.
void AppendStyledText(std::vector<TextRun>& runs, std::string_view text, const TextRun& style, bool singleLine);

}  // namespace ZembraUI

#include "uitoolkit/text/TextRun.h"

#include <algorithm>

namespace ZembraUI {
namespace {

bool SameStyle(const TextRun& a, const TextRun& b) {
    return a.font == b.font && a.colour == b.colour && a.link == b.link && a.background == b.background &&
           a.spacing == b.spacing && a.minLineHeight == b.minLineHeight;
}

void AppendSegment(std::vector<TextRun>& runs, std::string_view segment, const TextRun& style) {
    if (segment.empty()) return;
    if (!runs.empty() && runs.back().kind == TextRunKind::Text && SameStyle(runs.back(), style)) {
        runs.back().text.append(segment);
        return;
    }
    TextRun run = style;
    run.kind = TextRunKind::Text;
    run.text = segment;
    runs.push_back(std::move(run));
}

}  // namespace

void AppendStyledText(std::vector<TextRun>& runs, std::string_view text, const TextRun& style, bool singleLine) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t stop = std::min(text.find_first_of("\r\n", pos), text.size());
        AppendSegment(runs, text.substr(pos, stop - pos), style);
        if (stop < text.size() && text[stop] == '\n') {
            if (singleLine) {
                AppendSegment(runs, " ", style);
            } else {
                TextRun lineBreak = style;
                lineBreak.kind = TextRunKind::LineBreak;
                lineBreak.text.clear();
                runs.push_back(std::move(lineBreak));
            }
        }
        pos = stop + 1;
    }
}

}  // namespace ZembraUI

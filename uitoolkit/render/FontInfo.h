#pragma once
// A font as the skins describe it: face, pixel size and style words. The
// manager keeps its fonts as these; the text renderer turns them into pango
// font descriptions.
#include <string>

namespace ZembraUI {

struct FontInfo {
    std::string face;  // empty = the desktop's default sans face
    int size = 12;     // pixels
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool operator==(const FontInfo&) const = default;
};

}  // namespace ZembraUI

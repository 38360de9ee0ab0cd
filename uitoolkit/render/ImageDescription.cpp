#include "uitoolkit/render/ImageDescription.h"

#include <algorithm>

#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {
namespace {

ImageDescription DefaultImage(const UIRect& control) {
    ImageDescription image;
    image.dest = control;
    return image;
}

UIRect DestinationIn(const UIRect& control, std::string_view value) {
    const UIRect relative = ParseRectValue(value);
    UIRect dest{control.left + relative.left, control.top + relative.top, control.left + relative.right,
                control.top + relative.bottom};
    dest.right = std::min(dest.right, control.right);
    dest.bottom = std::min(dest.bottom, control.bottom);
    return dest;
}

class ImageStringReader {
public:
    explicit ImageStringReader(const UIRect& control) : control_(control), current_(DefaultImage(control)) {}

    void Read(std::string_view text) {
        if (text.find('=') == std::string_view::npos) {
            if (!text.empty()) current_.file = std::string(text);
            return;
        }
        std::size_t pos = 0;
        while (pos < text.size()) {
            while (pos < text.size() && text[pos] == ' ') ++pos;
            const std::size_t equals = text.find('=', pos);
            if (equals == std::string_view::npos || equals + 1 >= text.size() || text[equals + 1] != '\'') return;
            const std::size_t close = text.find('\'', equals + 2);
            if (close == std::string_view::npos) return;
            Apply(text.substr(pos, equals - pos), text.substr(equals + 2, close - equals - 2));
            pos = close + 1;
        }
    }

    std::vector<ImageDescription> Finish() {
        if (!current_.file.empty()) images_.push_back(current_);
        return std::move(images_);
    }

private:
    void Apply(std::string_view key, std::string_view value) {
        if (key == "file") {
            if (!current_.file.empty()) {
                images_.push_back(current_);
                current_ = DefaultImage(control_);
            }
            current_.file = std::string(value);
        } else if (key == "res") {
            current_.file = std::string(value);
        } else if (key == "restype") {
            current_.resType = std::string(value);
        } else if (key == "dest") {
            current_.dest = DestinationIn(control_, value);
        } else if (key == "source") {
            current_.source = ParseRectValue(value);
        } else if (key == "corner") {
            current_.corner = ParseRectValue(value);
        } else if (key == "mask") {
            current_.mask = ParseColorValue(value);
        } else if (key == "fade") {
            current_.fade = std::clamp(ParseNumberList(value, 1)[0], 0, 255);
        } else if (key == "hole") {
            current_.hole = value == "true";
        } else if (key == "xtiled") {
            current_.xTiled = value == "true";
        } else if (key == "ytiled") {
            current_.yTiled = value == "true";
        }
    }

    UIRect control_;
    ImageDescription current_;
    std::vector<ImageDescription> images_;
};

}  // namespace

std::vector<ImageDescription> ParseImageDescription(std::string_view image, std::string_view modifier,
                                                    const UIRect& control) {
    ImageStringReader reader(control);
    reader.Read(image);
    reader.Read(modifier);
    return reader.Finish();
}

}  // namespace ZembraUI

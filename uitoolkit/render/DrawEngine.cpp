#include "uitoolkit/render/DrawEngine.h"

#include <algorithm>
#include <climits>
#include <numbers>
#include <memory>

#include <easylogging++.h>
// Pictures are always decoded from memory (see StbImageDecoder.cpp).
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/render/ImageDescription.h"
#include "uitoolkit/render/ImagePainter.h"
#include "uitoolkit/render/ImageSource.h"

namespace ZembraUI {
namespace {

struct StbFree {
    void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};

std::string WithForwardSlashes(std::string text) {
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}

unsigned int Scale(unsigned char channel, unsigned char alpha) { return channel * alpha / 255u; }

bool IsInvisible(std::uint32_t colour) { return (colour >> 24) == 0; }

double Channel(std::uint32_t colour, int shift) { return ((colour >> shift) & 0xFFu) / 255.0; }

// Colours are straight (not premultiplied) AARRGGBB; cairo takes them so.
void SetSourceColour(cairo_t* cr, std::uint32_t colour) {
    cairo_set_source_rgba(cr, Channel(colour, 16), Channel(colour, 8), Channel(colour, 0), Channel(colour, 24));
}

// Each channel of from..to at step of last, rounded.
std::uint32_t MixColours(std::uint32_t from, std::uint32_t to, int step, int last) {
    if (last <= 0) return from;
    std::uint32_t mixed = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = int((from >> shift) & 0xFFu);
        const int b = int((to >> shift) & 0xFFu);
        const int value = (a * (last - step) + b * step + last / 2) / last;
        mixed |= std::uint32_t(value) << shift;
    }
    return mixed;
}

enum PenStyle { kPenSolid = 0, kPenDash = 1, kPenDot = 2, kPenDashDot = 3, kPenDashDotDot = 4, kPenNull = 5 };

// Sets colour, width and dashes for an outline; false when it draws nothing.
bool SetPen(cairo_t* cr, int width, std::uint32_t colour, int style) {
    if (IsInvisible(colour) || width <= 0 || style == kPenNull) return false;
    SetSourceColour(cr, colour);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    const double dash = 3.0 * width;
    const double gap = width;
    const double dot = width;
    switch (style) {
        case kPenDash: {
            const double pattern[] = {dash, gap};
            cairo_set_dash(cr, pattern, 2, 0);
            break;
        }
        case kPenDot: {
            const double pattern[] = {dot, gap};
            cairo_set_dash(cr, pattern, 2, 0);
            break;
        }
        case kPenDashDot: {
            const double pattern[] = {dash, gap, dot, gap};
            cairo_set_dash(cr, pattern, 4, 0);
            break;
        }
        case kPenDashDotDot: {
            const double pattern[] = {dash, gap, dot, gap, dot, gap};
            cairo_set_dash(cr, pattern, 6, 0);
            break;
        }
        default:
            cairo_set_dash(cr, nullptr, 0, 0);
            break;
    }
    return true;
}

// A quarter of an ellipse with radii rx, ry around (cx, cy).
void EllipseArc(cairo_t* cr, double cx, double cy, double rx, double ry, double from, double to) {
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, from, to);
    cairo_set_matrix(cr, &saved);
}

// A rectangle whose corners are quarters of an ellipse of radii rx, ry.
void RoundRectPath(cairo_t* cr, double x, double y, double width, double height, double rx, double ry) {
    rx = std::clamp(rx, 0.0, width / 2);
    ry = std::clamp(ry, 0.0, height / 2);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, x, y, width, height);
        return;
    }
    const double quarter = std::numbers::pi / 2;
    cairo_new_sub_path(cr);
    EllipseArc(cr, x + width - rx, y + ry, rx, ry, -quarter, 0);
    EllipseArc(cr, x + width - rx, y + height - ry, rx, ry, 0, quarter);
    EllipseArc(cr, x + rx, y + height - ry, rx, ry, quarter, 2 * quarter);
    EllipseArc(cr, x + rx, y + ry, rx, ry, 2 * quarter, 3 * quarter);
    cairo_close_path(cr);
}

// An outline of the given width that stays inside rect; a rect too small for
// a hollow outline is filled.
void StrokeInside(cairo_t* cr, const UIRect& rect, int width, int roundWidth, int roundHeight) {
    if (rect.Width() <= 2 * width || rect.Height() <= 2 * width) {
        RoundRectPath(cr, rect.left, rect.top, rect.Width(), rect.Height(), roundWidth / 2.0, roundHeight / 2.0);
        cairo_fill(cr);
        return;
    }
    const double half = width / 2.0;
    RoundRectPath(cr, rect.left + half, rect.top + half, rect.Width() - width, rect.Height() - width,
                  (roundWidth - width) / 2.0, (roundHeight - width) / 2.0);
    cairo_stroke(cr);
}

}  // namespace

std::uint32_t CDrawEngine::PremultipliedPixel(unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
    if (a != 255) {
        r = static_cast<unsigned char>(Scale(r, a));
        g = static_cast<unsigned char>(Scale(g, a));
        b = static_cast<unsigned char>(Scale(b, a));
    }
    return (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

std::optional<LoadedImage> CDrawEngine::LoadImage(const std::string& name, const std::string& type,
                                                  std::uint32_t mask) {
    std::vector<unsigned char> bytes;
    std::string error;
    bool found = CSkinArchive::ReadFile(name, bytes, error);
    if (!found && type.empty()) {
        found = CSkinArchive::ReadDiskFile(WithForwardSlashes(name), bytes, error, kMaxDiskImageSize);
    }
    if (!found) {
        LOG(INFO) << " Image " << name << " not found: " << error;
        return std::nullopt;
    }
    auto image = DecodeImage(bytes.data(), bytes.size(), mask);
    if (!image) LOG(INFO) << " Image " << name << " cannot be decoded";
    return image;
}

std::optional<LoadedImage> CDrawEngine::DecodeImage(const unsigned char* data, std::size_t size,
                                                    std::uint32_t mask) {
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    // Check the size first so that a tiny file cannot ask for gigabytes.
    if (stbi_info_from_memory(data, length, &width, &height, &channels) == 0) return std::nullopt;
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxImagePixels) {
        return std::nullopt;
    }
    std::unique_ptr<unsigned char, StbFree> rgba(stbi_load_from_memory(data, length, &width, &height, &channels, 4));
    if (!rgba || width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxImagePixels) {
        return std::nullopt;
    }

    LoadedImage image;
    image.width = width;
    image.height = height;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    image.pixels.resize(count);
    const unsigned char* source = rgba.get();
    for (std::size_t i = 0; i < count; ++i, source += 4) {
        std::uint32_t pixel = PremultipliedPixel(source[0], source[1], source[2], source[3]);
        if (source[3] != 255) image.hasAlpha = true;
        if (pixel == mask) {
            pixel = 0;
            image.hasAlpha = true;
        }
        image.pixels[i] = pixel;
    }
    return image;
}

void CDrawEngine::DrawColor(cairo_t* cr, const UIRect& rect, std::uint32_t colour) {
    if (cr == nullptr || IsInvisible(colour) || rect.IsEmpty()) return;
    // The clip is the area being repainted: an opaque colour covers only that
    // part, a translucent one blends over whatever lies beneath it.
    cairo_save(cr);
    SetSourceColour(cr, colour);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr);
    cairo_restore(cr);
}

void CDrawEngine::DrawGradient(cairo_t* cr, const UIRect& rect, std::uint32_t from, std::uint32_t to, bool vertical,
                               int steps) {
    const int length = vertical ? rect.Height() : rect.Width();
    if (cr == nullptr || length <= 0) return;
    // No band thinner than a pixel; the first band is `from`, the last `to`.
    steps = std::clamp(steps, 1, length);
    for (int step = 0; step < steps; ++step) {
        const int start = int(std::int64_t(length) * step / steps);
        const int end = int(std::int64_t(length) * (step + 1) / steps);
        UIRect band = rect;
        if (vertical) {
            band.top = rect.top + start;
            band.bottom = rect.top + end;
        } else {
            band.left = rect.left + start;
            band.right = rect.left + end;
        }
        DrawColor(cr, band, MixColours(from, to, step, steps - 1));
    }
}

void CDrawEngine::DrawLine(cairo_t* cr, const UIRect& rect, int width, std::uint32_t colour, int style) {
    if (cr == nullptr) return;
    cairo_save(cr);
    if (SetPen(cr, width, colour, style)) {
        // A line through pixel centres: a horizontal line at y covers row y
        // (and its neighbours for wider pens) from left up to, not including,
        // right; vertical lines likewise.
        const double centre = width % 2 == 1 ? 0.5 : 0.0;
        const double shiftX = rect.left == rect.right || rect.top != rect.bottom ? centre : 0.0;
        const double shiftY = rect.top == rect.bottom || rect.left != rect.right ? centre : 0.0;
        cairo_move_to(cr, rect.left + shiftX, rect.top + shiftY);
        cairo_line_to(cr, rect.right + shiftX, rect.bottom + shiftY);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void CDrawEngine::DrawRect(cairo_t* cr, const UIRect& rect, int width, std::uint32_t colour, int style) {
    DrawRoundRect(cr, rect, width, 0, 0, colour, style);
}

void CDrawEngine::DrawRoundRect(cairo_t* cr, const UIRect& rect, int width, int roundWidth, int roundHeight,
                                std::uint32_t colour, int style) {
    if (cr == nullptr || rect.IsEmpty()) return;
    cairo_save(cr);
    if (SetPen(cr, width, colour, style)) StrokeInside(cr, rect, width, roundWidth, roundHeight);
    cairo_restore(cr);
}

void CDrawEngine::ClipRoundRect(cairo_t* cr, const UIRect& rect, int roundWidth, int roundHeight) {
    if (cr == nullptr) return;
    if (rect.IsEmpty()) {
        cairo_rectangle(cr, 0, 0, 0, 0);
    } else {
        RoundRectPath(cr, rect.left, rect.top, rect.Width(), rect.Height(), roundWidth / 2.0, roundHeight / 2.0);
    }
    cairo_clip(cr);
}

bool CDrawEngine::DrawImageString(cairo_t* cr, IImageSource& images, const UIRect& control, const UIRect& paint,
                                  std::string_view image, std::string_view modifier) {
    if (cr == nullptr) return false;
    // Pictures never leave their control, whatever their dest says.
    const UIRect clip = IntersectRects(control, paint);
    bool everyPictureFound = true;
    for (const ImageDescription& description : ParseImageDescription(image, modifier, control)) {
        const LoadedImage* picture = images.ImageByName(description.file, description.resType, description.mask);
        if (picture == nullptr) {
            everyPictureFound = false;
            continue;
        }
        if (!clip.IsEmpty()) CImagePainter::Paint(cr, *picture, description, clip);
    }
    return everyPictureFound;
}

}  // namespace ZembraUI

#include "Common/install_ui_mainwnd/Anima.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <cairo.h>
#include <easylogging++.h>
#include <stb/stb_image.h>

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/render/CairoHandles.h"
#include "uitoolkit/text/TextStyle.h"

namespace {

constexpr char kBuiltInPattern[] = "skin\\anima\\%d.png";
constexpr char kFirstFrame[] = "FirstFrame";
// 11 points on a 96 dpi screen.
constexpr int kTextPixels = 15;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
// The product whose banners take white texts.
constexpr int kWhiteTextSoftwareId = 10;

std::string Formatted(const std::string& pattern, int number) {
    const std::size_t at = pattern.find("%d");
    if (at == std::string::npos) return pattern;
    return pattern.substr(0, at) + std::to_string(number) + pattern.substr(at + 2);
}

// The first "{n}" of a banner text is where its line breaks.
std::string WithLineBreak(std::string text) {
    if (const std::size_t at = text.find("{n}"); at != std::string::npos) text.replace(at, 3, "\n");
    return text;
}

// A cairo surface over a picture's pixels (premultiplied ARGB, like cairo's own).
ZembraUI::CairoSurfacePtr SurfaceOver(const ZembraUI::LoadedImage& image) {
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(image.pixels.data()));
    return ZembraUI::CairoSurfacePtr(cairo_image_surface_create_for_data(
        data, CAIRO_FORMAT_ARGB32, image.width, image.height, image.width * int(sizeof(std::uint32_t))));
}

ZembraUI::LoadedImage ImageOf(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    ZembraUI::LoadedImage image;
    image.width = cairo_image_surface_get_width(surface);
    image.height = cairo_image_surface_get_height(surface);
    image.pixels.resize(std::size_t(image.width) * std::size_t(image.height));
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(&image.pixels[std::size_t(y) * std::size_t(image.width)], data + std::ptrdiff_t(y) * stride,
                    std::size_t(image.width) * sizeof(std::uint32_t));
    }
    return image;
}

ZembraUI::LoadedImage WhiteImage(int width, int height) {
    ZembraUI::LoadedImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(std::size_t(width) * std::size_t(height), kWhite);
    return image;
}

}  // namespace

CAnima::CAnima(ZembraUI::CUIManager& manager, ZembraUI::CControlUI* control, const Settings& settings)
    : manager_(manager), control_(control), settings_(settings) {
    settings_.width = std::clamp(settings_.width, 1, kMaxPictureSide);
    settings_.height = std::clamp(settings_.height, 1, kMaxPictureSide);
    textRenderer_.SetLanguage(TextLanguageTagOf(settings_.language));
}

std::string CAnima::FontForLanguage(EnumLanguage language) {
    switch (language) {
        case Japanese: return "Noto Sans CJK JP";
        case Spanish:
        case German:
        case French:
        case Russian:
        case Portuguese:
        case Arabic:
        case Italiano: return "Noto Serif";
        case Korean: return "Noto Serif CJK KR";
        case Chinese: return "Noto Sans CJK SC";
        case ChineseTrad: return "Noto Sans CJK TC";
        default: return "Noto Sans";
    }
}

bool CAnima::DrawsWhiteText(int softwareId) { return softwareId == kWhiteTextSoftwareId; }

std::string CAnima::StripName(int first, int second) {
    char name[32];
    std::snprintf(name, sizeof name, "Merge%02d%02d.png", first, second);
    return name;
}

std::string CAnima::FrameName(const std::string& strip, int offsetIndex) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%02d", offsetIndex);
    return strip + suffix;
}

int CAnima::Init(const std::string& prefix, const std::string& suffix) {
    if (settings_.enabled != 0) HorizontalMoveAnimaInit(prefix, suffix);
    return 1;
}

int CAnima::HorizontalMoveAnimaInit(const std::string& prefix, const std::string& suffix) {
    BeginBuild(prefix, suffix);
    while (BuildStep()) continue;
    return 1;
}

void CAnima::BeginBuild(const std::string& prefix, const std::string& suffix) {
    LOG(INFO) << " AnimaInit: " << prefix << ", " << suffix;
    if (texts_.empty()) CollectTexts();
    PendingSet set;
    set.downloaded = !prefix.empty();
    set.pattern = set.downloaded ? prefix + "%d" + suffix : kBuiltInPattern;
    build_ = std::move(set);
}

bool CAnima::BuildStep() {
    if (!build_) return false;
    if (build_->images.size() < settings_.count) {
        // Each image is loaded and given its texts once; the strips reuse them.
        const int index = int(build_->images.size()) + 1;
        const auto picture = LoadPicture(build_->pattern, build_->downloaded, index);
        build_->images.push_back(picture ? std::optional(Composed(*picture)) : std::nullopt);
        return true;
    }
    if (BuildNextStrip()) return true;
    SwapInBuiltSet();
    return false;
}

// Joins the next pair of images that both exist; false when none is left.
bool CAnima::BuildNextStrip() {
    PendingSet& set = *build_;
    for (; set.first <= settings_.count; ++set.first, set.second = set.first + 1) {
        while (set.second <= settings_.count) {
            const unsigned second = set.second++;
            const auto& left = set.images[set.first - 1];
            const auto& right = set.images[second - 1];
            if (!left || !right) continue;
            set.strips.emplace_back(StripName(int(set.first), int(second)), Strip(*left, *right));
            return true;
        }
    }
    return false;
}

// Replaces every picture of the set in use at once. The cached frames were
// cut from the old strips, so they go too; any slide ends here (the caller
// shows the picture at rest afterwards).
void CAnima::SwapInBuiltSet() {
    PendingSet set = std::move(*build_);
    build_.reset();
    slide_.reset();
    for (const std::string& old : framesMade_) manager_.RemoveImage(old);
    framesMade_.clear();
    frameStrip_.clear();
    manager_.RemoveImage(kFirstFrame);
    for (unsigned i = 1; i <= settings_.count; ++i) {
        for (unsigned j = i + 1; j <= settings_.count; ++j) manager_.RemoveImage(StripName(int(i), int(j)));
    }
    // A single image still needs its first frame to be shown at rest.
    if (!set.images.empty() && set.images[0]) manager_.AddBitmapImage(kFirstFrame, std::move(*set.images[0]));
    for (auto& [name, strip] : set.strips) manager_.AddBitmapImage(name, std::move(strip));
    stripsMade_ = int(set.strips.size());
    LOG(INFO) << " AnimaInit ok: " << settings_.count << ", " << stripsMade_;
}

void CAnima::CollectTexts() {
    for (int n = 1;; ++n) {
        ZembraUI::CControlUI* text = manager_.ControlByName("anima_text_" + std::to_string(n));
        ZembraUI::CControlUI* extra = manager_.ControlByName("anima_text_extra_" + std::to_string(n));
        if (text == nullptr && extra == nullptr) break;
        if (text != nullptr) texts_.push_back(text->Text());
        if (extra != nullptr) extraTexts_.push_back(extra->Text());
    }
}

std::optional<CAnima::Picture> CAnima::LoadPicture(const std::string& pattern, bool downloaded, int index) {
    Picture picture;
    picture.textIndex = index - 1;
    if (downloaded) {
        if (auto image = LoadDownloaded(Formatted(pattern, index))) {
            picture.image = std::move(*image);
            return picture;
        }
        LOG(INFO) << " AnimaInit, use default: " << index;
    }
    const ZembraUI::LoadedImage* builtIn = manager_.ImageByName(Formatted(kBuiltInPattern, index));
    if (builtIn == nullptr) return std::nullopt;
    picture.image = *builtIn;
    picture.drawTexts = true;
    return picture;
}

// A downloaded picture is checked by its header before it is decoded, so a
// small file that claims a huge picture never costs its pixels' memory.
std::optional<ZembraUI::LoadedImage> CAnima::LoadDownloaded(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::string error;
    if (!ZembraUI::CSkinArchive::ReadDiskFile(path, bytes, error, ZembraUI::CDrawEngine::kMaxDiskImageSize)) {
        LOG(INFO) << " AnimaInit, picture missing: " << path << ", " << error;
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels) == 0) {
        LOG(INFO) << " AnimaInit, picture undecodable: " << path;
        return std::nullopt;
    }
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        LOG(INFO) << " AnimaInit, picture refused: " << path << ", " << width << "x" << height << ", at most "
                  << kMaxPictureSide << "x" << kMaxPictureSide;
        return std::nullopt;
    }
    auto image = ZembraUI::CDrawEngine::DecodeImage(bytes.data(), bytes.size(), 0);
    if (!image) {
        LOG(INFO) << " AnimaInit, picture undecodable: " << path;
        return std::nullopt;
    }
    // Kept in the cache under its path, as any picture the window shows.
    manager_.AddBitmapImage(path, *image);
    return image;
}

// The picture fitted to the banner on white, with its texts when it is a
// built-in one.
ZembraUI::LoadedImage CAnima::Composed(const Picture& picture) {
    const int width = settings_.width;
    const int height = settings_.height;
    ZembraUI::CairoSurfacePtr target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    ZembraUI::CairoContextPtr cr(cairo_create(target.get()));
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    const ZembraUI::CairoSurfacePtr source = SurfaceOver(picture.image);
    cairo_save(cr.get());
    cairo_scale(cr.get(), double(width) / picture.image.width, double(height) / picture.image.height);
    cairo_set_source_surface(cr.get(), source.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_paint(cr.get());
    cairo_restore(cr.get());
    if (picture.drawTexts) DrawTexts(cr.get(), picture.textIndex);
    cr.reset();
    return ImageOf(target.get());
}

void CAnima::DrawTexts(cairo_t* cr, int textIndex) {
    using namespace ZembraUI::TextStyle;
    const std::uint32_t colour = DrawsWhiteText(settings_.softwareId) ? kWhite : 0xFF4A4A4A;
    ZembraUI::FontInfo font;
    font.face = FontForLanguage(settings_.language);
    font.size = kTextPixels;
    const auto index = std::size_t(textIndex);
    if (index < texts_.size() && !texts_[index].empty()) {
        font.bold = true;
        const ZembraUI::UIRect rect{30, 40, settings_.width - 30, 140};
        textRenderer_.DrawPlainText(cr, rect, WithLineBreak(texts_[index]), font, colour,
                                    kCenter | kWordBreak | kNoPrefix);
    }
    if (index < extraTexts_.size() && !extraTexts_[index].empty()) {
        font.bold = false;
        const ZembraUI::UIRect rect{194, 40, 194 + 178, 40 + 65};
        textRenderer_.DrawPlainText(cr, rect, extraTexts_[index], font, colour,
                                    kCenter | kVCenter | kWordBreak | kNoPrefix);
    }
}

ZembraUI::LoadedImage CAnima::Strip(const ZembraUI::LoadedImage& left, const ZembraUI::LoadedImage& right) const {
    const int width = settings_.width;
    ZembraUI::LoadedImage strip = WhiteImage(2 * width, settings_.height);
    for (int y = 0; y < settings_.height; ++y) {
        std::uint32_t* row = &strip.pixels[std::size_t(y) * std::size_t(strip.width)];
        std::memcpy(row, &left.pixels[std::size_t(y) * std::size_t(width)], std::size_t(width) * sizeof(std::uint32_t));
        std::memcpy(row + width, &right.pixels[std::size_t(y) * std::size_t(width)],
                    std::size_t(width) * sizeof(std::uint32_t));
    }
    return strip;
}

int CAnima::Slide(int from, int to) {
    if (settings_.count == 1 || from == to || settings_.enabled == 0) return 1;
    slide_ = SlideState{from, to, 0};
    ShowNextFrame();
    return 1;
}

bool CAnima::ShowNextFrame() {
    if (!slide_) return false;
    ShowFrame(++slide_->frame);
    if (slide_->frame >= kFramesPerSlide) slide_.reset();
    return true;
}

void CAnima::FinishSlide() {
    if (!slide_) return;
    ShowFrame(kFramesPerSlide);
    slide_.reset();
}

// Frame k of the slide: the strip's part from offset k * step (leftwards
// slides run the offsets backwards), so one name always stands for one offset.
void CAnima::ShowFrame(int frame) {
    const int step = std::max(settings_.width / kFramesPerSlide, 1);
    const bool forward = slide_->from < slide_->to;
    const int offset = forward ? frame * step : settings_.width - frame * step;
    const std::string strip = StripName(std::min(slide_->from, slide_->to), std::max(slide_->from, slide_->to));
    control_->ApplyAttr("bkimage", FrameFor(strip, offset));
}

std::string CAnima::FrameFor(const std::string& strip, int offset) {
    const int step = std::max(settings_.width / kFramesPerSlide, 1);
    const std::string name = FrameName(strip, offset / step);
    // Only the frames of the strip in use stay cached: all of them would
    // take 26 frames per strip, some 200 MiB for five banners.
    if (strip != frameStrip_) {
        for (const std::string& old : framesMade_) manager_.RemoveImage(old);
        framesMade_.clear();
        frameStrip_ = strip;
    }
    if (!framesMade_.insert(name).second) return name;
    ZembraUI::LoadedImage frame = WhiteImage(settings_.width, settings_.height);
    // A strip that could not be made leaves the frame white.
    if (const ZembraUI::LoadedImage* source = manager_.ImageByName(strip)) {
        const int columns = std::clamp(source->width - offset, 0, settings_.width);
        for (int y = 0; y < std::min(settings_.height, source->height) && columns > 0; ++y) {
            std::memcpy(&frame.pixels[std::size_t(y) * std::size_t(settings_.width)],
                        &source->pixels[std::size_t(y) * std::size_t(source->width) + std::size_t(offset)],
                        std::size_t(columns) * sizeof(std::uint32_t));
        }
    }
    manager_.AddBitmapImage(name, std::move(frame));
    return name;
}

void CAnima::ShowImage(int index) {
    slide_.reset();
    if (index <= 1 || unsigned(index) > settings_.count) {
        control_->ApplyAttr("bkimage", kFirstFrame);
        return;
    }
    control_->ApplyAttr("bkimage", FrameFor(StripName(1, index), settings_.width));
}

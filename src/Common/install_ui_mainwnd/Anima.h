#pragma once
// The banner slide animation of the running page. All pictures it needs
// are made up front and registered in the window's image cache: the first
// image ("FirstFrame") and one strip per pair of images
// ("Merge%02d%02d.png": image i at x 0, image j at x width). A slide then
// only cuts frames out of a strip (cached by offset, "<strip>%02d") and
// shows them one at a time as the banner control's background; the caller
// paces them (one frame per timer tick), so the UI thread never waits.
// A set can also be built one step per call (BeginBuild, BuildStep): the
// set in use stays registered and shown until the new one is complete.
// Built-in images get the language's texts drawn on them; downloaded ones
// are shown as they are. UI thread only.
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "EnumLanguage.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/text/TextRenderer.h"

namespace ZembraUI {
class CControlUI;
class CUIManager;
}  // namespace ZembraUI

class CAnima {
public:
    static constexpr int kFramesPerSlide = 25;
    // Downloaded pictures larger than this on either side are refused
    // before they are decoded (banners are 650 x 300).
    static constexpr int kMaxPictureSide = 4096;

    struct Settings {
        ZembraUI::UIRect area;  // the banner control's position when the animation was made
        int enabled = 1;        // 1: slides are played
        unsigned count = 0;     // number of images
        int width = 650;
        int height = 300;
        EnumLanguage language = English;  // font and shaping of the drawn texts
        int softwareId = 0;               // 10 draws the texts in white (DrawsWhiteText)
    };

    CAnima(ZembraUI::CUIManager& manager, ZembraUI::CControlUI* control, const Settings& settings);

    // Builds "FirstFrame" and every strip from the images named prefix + n +
    // suffix (the built-in "skin\anima\%d.png" when prefix is empty). A
    // downloaded image that is missing, undecodable or oversized is replaced
    // by the built-in one with its texts. Returns 1.
    int HorizontalMoveAnimaInit(const std::string& prefix, const std::string& suffix);
    // HorizontalMoveAnimaInit when enabled; returns 1.
    int Init(const std::string& prefix, const std::string& suffix);

    // Starts building the set HorizontalMoveAnimaInit builds, without
    // touching the set in use. A build under way is dropped.
    void BeginBuild(const std::string& prefix, const std::string& suffix);
    // One step of the build under way: one picture loaded and composed, or
    // one strip put together; the step after the last strip swaps the new
    // set in and ends any slide. False when no build is under way any more.
    bool BuildStep();
    bool Building() const { return build_.has_value(); }
    // Whether the texts on the built-in banners are white for this product.
    static bool DrawsWhiteText(int softwareId);

    // Begins a slide from image `from` to image `to` and shows its first
    // frame; nothing when there is one image, the indices are equal or the
    // animation is off. A slide under way is replaced. Returns 1.
    int Slide(int from, int to);
    // Shows the next frame of the slide under way; false when no slide is
    // under way any more (the last frame was shown before).
    bool ShowNextFrame();
    bool Sliding() const { return slide_.has_value(); }
    // Ends a slide under way on its last frame (the target image).
    void FinishSlide();
    // Shows image index (1-based) at rest as the banner's background.
    void ShowImage(int index);

    const std::vector<std::string>& Texts() const { return texts_; }
    int StripsMade() const { return stripsMade_; }

    // The font family of the drawn texts for a language.
    static std::string FontForLanguage(EnumLanguage language);
    static std::string StripName(int first, int second);
    static std::string FrameName(const std::string& strip, int offsetIndex);

private:
    struct SlideState {
        int from = 0;
        int to = 0;
        int frame = 0;  // frames shown so far
    };
    // A set being built: composed pictures first, then the strips.
    struct PendingSet {
        std::string pattern;
        bool downloaded = false;
        std::vector<std::optional<ZembraUI::LoadedImage>> images;
        std::vector<std::pair<std::string, ZembraUI::LoadedImage>> strips;
        unsigned first = 1;  // the next pair of images to join
        unsigned second = 2;
    };
    struct Picture {
        ZembraUI::LoadedImage image;
        bool drawTexts = false;
        int textIndex = 0;
    };

    void CollectTexts();
    std::optional<Picture> LoadPicture(const std::string& pattern, bool downloaded, int index);
    std::optional<ZembraUI::LoadedImage> LoadDownloaded(const std::string& path);
    ZembraUI::LoadedImage Composed(const Picture& picture);
    void DrawTexts(cairo_t* cr, int textIndex);
    bool BuildNextStrip();
    void SwapInBuiltSet();
    ZembraUI::LoadedImage Strip(const ZembraUI::LoadedImage& left, const ZembraUI::LoadedImage& right) const;
    std::string FrameFor(const std::string& strip, int offset);
    void ShowFrame(int frame);

    ZembraUI::CUIManager& manager_;
    ZembraUI::CControlUI* control_;
    Settings settings_;
    std::vector<std::string> texts_;
    std::vector<std::string> extraTexts_;
    ZembraUI::CTextRenderer textRenderer_;
    std::optional<SlideState> slide_;
    std::optional<PendingSet> build_;
    // The frames registered of the strip in use (dropped when a new set is swapped in).
    std::string frameStrip_;
    std::set<std::string> framesMade_;
    int stripsMade_ = 0;
};

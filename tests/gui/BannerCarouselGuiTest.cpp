// The running page's banner carousel in a real wizard window: slides end
// on their target picture, dots slide, a single banner stays still, and
// downloaded banners fall back to the built-in ones picture by picture.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "Common/install_ui_mainwnd/BannerCarousel.h"
#include "Common/install_ui_mainwnd/BannerRecords.h"
#include "gui/GuiTest.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/window/WindowImplBase.h"

namespace {

using namespace ZembraUI;
using testsupport::PixelOf;
namespace fs = std::filesystem;

constexpr int kWindowX = 40;
constexpr int kWindowY = 30;

struct WindowTimers : IWindowTimers {
    explicit WindowTimers(CHostWindow& window) : window(window) {}
    void SetTimer(int id, unsigned periodMs) override { window.SetTimer(unsigned(id), periodMs); }
    void KillTimer(int id) override { window.KillTimer(unsigned(id)); }
    CHostWindow& window;
};

// The wizard's layout on its running page, wired to a carousel as the wizard wires it.
class BannerWnd : public WindowImplBase {
public:
    BannerWnd() : timers_(*this), carousel(PaintManager(), timers_) {}
    std::string WindowClassName() const override { return "BannerTestWnd"; }
    std::string SkinFolder() const override { return {}; }
    std::string SkinFile() const override { return "InstallMainWnd.xml"; }
    void Notify(TNotifyUI& notification) override {
        if (notification.type == "selectchanged") carousel.OnBannerSelect(notification);
        WindowImplBase::Notify(notification);
    }
    Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t, bool& handled) override {
        if (message != WindowMessage::kTimer) return 0;
        if (int(wParam) == BannerCarousel::kFrameTimer) ++frameTicks;
        if (int(wParam) == BannerCarousel::kNextBannerTimer) ++nextBannerTicks;
        if (int(wParam) == BannerCarousel::kBuildTimer) ++buildTicks;
        handled = carousel.OnTimer(int(wParam));
        return 0;
    }
    bool Open() {
        if (!CreateHostWindow(nullptr, "banner", 0, 0, kWindowX, kWindowY, 650, 360)) return false;
        auto* tabs = static_cast<CTabLayoutUI*>(PaintManager().ControlByName("main_tablayout"));
        if (tabs == nullptr || !tabs->SelectItem(1)) return false;
        ShowHostWindow(true, true);
        return true;
    }
    CControlUI* Find(const std::string& name) { return PaintManager().ControlByName(name); }
    UIRect BannerOnScreen() {
        const UIRect banner = Find("image_play")->Pos();
        const UIRect window = ScreenRect();
        return {window.left + banner.left, window.top + banner.top, window.left + banner.right,
                window.top + banner.bottom};
    }

    int frameTicks = 0;
    int nextBannerTicks = 0;
    int buildTicks = 0;

private:
    WindowTimers timers_;

public:
    BannerCarousel carousel;
};

// Pixels of area (screen coordinates) whose colour differs from the other
// shot's by more than a rendering tolerance.
int DifferingPixels(const LoadedImage& a, const LoadedImage& b, const UIRect& area) {
    const auto channel = [](std::uint32_t pixel, int shift) { return int((pixel >> shift) & 0xFF); };
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t p = PixelOf(a, x, y);
            const std::uint32_t q = PixelOf(b, x, y);
            for (int shift : {0, 8, 16}) {
                if (std::abs(channel(p, shift) - channel(q, shift)) > 40) {
                    ++count;
                    break;
                }
            }
        }
    }
    return count;
}

// A picture of one colour, written as a PNG.
void WriteSolidPng(const fs::path& path, double red, double green, double blue) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 650, 300);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, red, green, blue);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    const auto be32 = [&](std::uint32_t v) {
        for (int shift : {24, 16, 8, 0}) png.push_back(char((v >> shift) & 0xFF));
    };
    be32(std::uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    be32(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// A valid one-bit PNG of 30,000 x 30,000 pixels: about 110 KiB on disk,
// 3.6 GB once decoded.
void WriteHugePng(const fs::path& path) {
    constexpr std::uint32_t kSide = 30000;
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    for (std::uint32_t v : {kSide, kSide}) {
        for (int shift : {24, 16, 8, 0}) header.push_back(char((v >> shift) & 0xFF));
    }
    header += std::string("\x01\x00\x00\x00\x00", 5);  // 1 bit grey, deflate, no filter, no interlace
    AppendChunk(png, "IHDR", header);
    const std::string row(1 + kSide / 8, '\0');
    std::string raw;
    for (std::uint32_t y = 0; y < kSide; ++y) raw += row;
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              uLong(raw.size()), 9);
    packed.resize(size);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", {});
    std::ofstream(path, std::ios::binary) << png;
}

class BannerCarouselGuiTest : public testsupport::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        scratch_ = fs::temp_directory_path() / ("zembra-banner-" + std::to_string(::getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        UseSkin(ZEMBRA_SKIN_SOURCE_DIR);
    }
    void TearDown() override {
        window_.reset();
        GuiTest::TearDown();
        fs::remove_all(scratch_);
    }
    static void UseSkin(const std::string& folder) {
        CSkinArchive::Close();
        CSkinArchive::SetResourceFolder(folder + "/");
    }
    BannerWnd& OpenWindow() {
        window_ = std::make_unique<BannerWnd>();
        EXPECT_TRUE(window_->Open());
        EXPECT_TRUE(PumpUntil([&] { return window_->IsVisible() && !window_->Find("image_play")->Pos().IsEmpty(); }));
        return *window_;
    }
    bool SlideDone(BannerWnd& window, int index) {
        return PumpUntil([&] {
            return window.carousel.BannerIndex() == index && window.carousel.Animation() != nullptr &&
                   !window.carousel.Animation()->Sliding();
        });
    }
    // A shot of the banner at rest once it looks like expected.
    std::optional<LoadedImage> StableShot() {
        std::optional<LoadedImage> previous;
        return ScreenshotWhen([&](const LoadedImage& shot) {
            const bool same = previous && DifferingPixels(*previous, shot, window_->BannerOnScreen()) == 0;
            previous = shot;
            return same;
        });
    }
    // Shows picture as the banner's own background and photographs it, for comparison.
    std::optional<LoadedImage> ShotOfPicture(const std::string& picture, const LoadedImage& like, const UIRect& area) {
        window_->Find("image_play")->ApplyAttr("bkimage", picture);
        return ScreenshotWhen([&](const LoadedImage& shot) { return DifferingPixels(like, shot, area) == 0; });
    }

    fs::path scratch_;
    std::unique_ptr<BannerWnd> window_;
};

TEST_F(BannerCarouselGuiTest, TheTimerSlidesFrameByFrameAndADotClickSlidesBackToItsPicture) {
    BannerWnd& window = OpenWindow();
    EXPECT_EQ(window.carousel.CountBuiltInBanners(), 5);
    window.carousel.Start(English, 0);
    EXPECT_EQ(window.carousel.Animation()->StripsMade(), 10);

    // The 7-second tick, given at once: one slide of 25 frames on the frame timer.
    ASSERT_TRUE(window.carousel.OnTimer(BannerCarousel::kNextBannerTimer));
    ASSERT_TRUE(SlideDone(window, 2));
    EXPECT_GE(window.frameTicks, CAnima::kFramesPerSlide - 1);
    auto slid = StableShot();
    ASSERT_TRUE(slid);
    const UIRect banner = window.BannerOnScreen();
    auto still = ShotOfPicture("skin\\anima\\2.png", *slid, banner);
    ASSERT_TRUE(still);
    EXPECT_LT(DifferingPixels(*slid, *still, banner), banner.Width() * banner.Height() / 100);

    // Dot 5 clicked: a right-to-left slide over the strip of 2 and 5 ends on picture 5.
    const UIRect dot = window.Find("image_play_option5")->Pos();
    const UIRect frame = window.ScreenRect();
    ASSERT_TRUE(display_.XdotoolInBackground({"mousemove", "--sync", std::to_string(frame.left + dot.left + 5),
                                              std::to_string(frame.top + dot.top + 5), "click", "1"}));
    ASSERT_TRUE(SlideDone(window, 5));
    ASSERT_TRUE(display_.FinishBackground());
    slid = StableShot();
    ASSERT_TRUE(slid);
    still = ShotOfPicture("skin\\anima\\5.png", *slid, banner);
    ASSERT_TRUE(still);
    EXPECT_LT(DifferingPixels(*slid, *still, banner), banner.Width() * banner.Height() / 100);

    // After the last picture the tick goes back to the first; the end of the run stops it.
    window.carousel.OnTimer(BannerCarousel::kNextBannerTimer);
    ASSERT_TRUE(SlideDone(window, 1));
    // Three strips slid over, the frames of the last one alone stay cached:
    // five pictures, the first frame, ten strips of two, 26 frames.
    const std::size_t picture = std::size_t(BannerCarousel::kBannerWidth) * BannerCarousel::kBannerHeight * 4;
    EXPECT_LT(window.PaintManager().ImageCacheBytes(), (5 + 1 + 20 + 26 + 1) * picture);
    window.carousel.Stop();
    window.carousel.OnTimer(BannerCarousel::kNextBannerTimer);
    EXPECT_EQ(window.carousel.BannerIndex(), 1);
}

// Prepared while the setting page shows, the set is made one step per build
// tick and the install start takes it as it is; a later start (another try,
// here in another language) makes the set afresh.
TEST_F(BannerCarouselGuiTest, APreparedSetIsMadeOnTheBuildTimerAndTakenByTheStart) {
    BannerWnd& window = OpenWindow();
    window.carousel.Prepare(English, 0);
    const CAnima* prepared = window.carousel.Animation();
    ASSERT_NE(prepared, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !prepared->Building(); }));
    EXPECT_GE(window.buildTicks, 10);
    EXPECT_EQ(prepared->StripsMade(), 10);

    window.carousel.Start(English, 7);  // a product whose texts are dark too
    EXPECT_EQ(window.carousel.Animation(), prepared);
    EXPECT_EQ(window.Find("image_play")->BkImage(), "FirstFrame");

    window.carousel.Stop();
    window.carousel.Start(Japanese, 0);
    EXPECT_NE(window.carousel.Animation(), prepared);
    EXPECT_EQ(window.carousel.Animation()->StripsMade(), 10);
}

TEST_F(BannerCarouselGuiTest, OneBuiltInPictureStartsNoTimerAndNeverSlides) {
    // A skin whose anima folder holds only picture 1.
    const fs::path source = ZEMBRA_SKIN_SOURCE_DIR;
    const fs::path skin = scratch_ / "skin";
    fs::create_directories(skin / "skin" / "anima");
    for (const auto& entry : fs::directory_iterator(source)) {
        if (entry.path().filename() != "skin") fs::create_symlink(entry.path(), skin / entry.path().filename());
    }
    for (const auto& entry : fs::directory_iterator(source / "skin")) {
        const fs::path name = entry.path().filename();
        if (name != "anima") fs::create_symlink(entry.path(), skin / "skin" / name);
    }
    fs::create_symlink(source / "skin" / "anima" / "1.png", skin / "skin" / "anima" / "1.png");
    UseSkin(skin.string());

    BannerWnd& window = OpenWindow();
    EXPECT_EQ(window.carousel.CountBuiltInBanners(), 1);
    window.carousel.Start(English, 0);
    EXPECT_EQ(window.Find("image_play")->BkImage(), "FirstFrame");
    EXPECT_FALSE(window.Find("image_play_option2")->Visible());

    // Seven seconds on the loop's clock bring no tick of timer 2000.
    fakeNow_ = CMessageLoop::SteadyMilliseconds();
    *fakeNow_ += 8000;
    for (int turn = 0; turn < 10; ++turn) loop_->PumpOnce(0);
    EXPECT_EQ(window.nextBannerTicks, 0);
    EXPECT_EQ(window.frameTicks, 0);
    EXPECT_EQ(window.carousel.BannerIndex(), 1);
    EXPECT_EQ(window.Find("image_play")->BkImage(), "FirstFrame");
}

TEST_F(BannerCarouselGuiTest, DownloadedBannersGiveWayToBuiltInOnesThatAreMissingBrokenOrHuge) {
    BannerWnd& window = OpenWindow();
    window.carousel.CountBuiltInBanners();
    window.Find("anima_text_3")->PutText("Faster{n}downloads");
    window.Find("anima_text_4")->PutText("Zembra Morvanta");
    window.carousel.Start(English, 0);

    // 1 and 2 arrived; 3 is missing, 4 claims 30,000 x 30,000 pixels, 5 is no picture.
    const fs::path work = scratch_ / "work";
    fs::create_directories(work);
    WriteSolidPng(work / "1.png", 1, 0, 0);
    WriteSolidPng(work / "2.png", 0, 0, 1);
    WriteHugePng(work / "4.png");
    std::ofstream(work / "5.png") << "not a picture";
    BannerRecords records;
    records.Store({"http://content/1.png", "", "", (work / "1.png").string(), 1});
    records.Store({"http://content/2.png", "", "", (work / "2.png").string(), 2});
    window.carousel.RemoteBannersArrived(records, work.string());

    // The built-in set stays registered until every picture and strip of the
    // downloaded one is made, one per tick of the build timer; a slide under
    // way finishes on the set it began with.
    const auto centre = [&](const LoadedImage& image, int left, int top) {
        return PixelOf(image, left + 325, top + 200) & 0xFFFFFF;
    };
    const auto firstFrameRed = [&] {
        const LoadedImage* first = window.PaintManager().ImageByName("FirstFrame");
        return first != nullptr && centre(*first, 0, 0) == 0xFF0000;
    };
    bool swappedEarly = false;
    const auto builtWithoutEarlySwap = [&] {
        const bool building = window.carousel.Animation()->Building();
        swappedEarly = swappedEarly || (building && firstFrameRed());
        return !building;
    };
    window.carousel.OnTimer(BannerCarousel::kNextBannerTimer);
    ASSERT_TRUE(SlideDone(window, 2));
    EXPECT_TRUE(window.carousel.Animation()->Building());
    ASSERT_TRUE(PumpUntil(builtWithoutEarlySwap));
    EXPECT_FALSE(swappedEarly);
    EXPECT_GE(window.buildTicks, 5 + 10);
    EXPECT_TRUE(firstFrameRed());

    // Picture 2 at rest comes from the new strip, not a frame cut from the old one.
    const LoadedImage* shown = window.PaintManager().ImageByName(window.Find("image_play")->BkImage());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(centre(*shown, 0, 0), 0x0000FFu);
    const UIRect banner = window.BannerOnScreen();

    // Each stand-in is the built-in picture with its text drawn in the upper band.
    const UIRect textBand{banner.left + 40, banner.top + 40, banner.right - 40, banner.top + 140};
    const UIRect lowerBand{banner.left, banner.top + 160, banner.right, banner.top + 270};
    for (int index : {3, 4, 5}) {
        window.carousel.OnTimer(BannerCarousel::kNextBannerTimer);
        ASSERT_TRUE(SlideDone(window, index));
        const auto slid = StableShot();
        ASSERT_TRUE(slid);
        const auto still = ShotOfPicture("skin\\anima\\" + std::to_string(index) + ".png", *slid, lowerBand);
        ASSERT_TRUE(still);
        EXPECT_LT(DifferingPixels(*slid, *still, lowerBand), lowerBand.Width() * lowerBand.Height() / 100) << index;
        const int textPixels = DifferingPixels(*slid, *still, textBand);
        if (index == 5) {
            EXPECT_EQ(textPixels, 0);
        } else {
            EXPECT_GT(textPixels, 100) << index;
        }
    }
}

}  // namespace

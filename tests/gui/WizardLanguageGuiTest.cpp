// The wizard's languages on a real display: the start language from the
// locale, and languages chosen in the language list re-texting every control
// and drawing each script as the checked-in pictures show it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "SingleUserLog.h"
#include "gui/GuiTest.h"
#include "platform/EmbeddedResources.h"
#include "support/DevServer.h"
#include "support/InstallerSandbox.h"
#include "support/TempDir.h"
#include "support/WizardPictures.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/window/DropDownWindow.h"

namespace {

using testsupport::PixelOf;
using testsupport::ScopedEnv;

// Pixels whose colour differs by more than anti-aliasing would make it.
int DifferingPixels(const ZembraUI::LoadedImage& shot, const ZembraUI::UIRect& area,
                    const ZembraUI::LoadedImage& golden) {
    if (golden.width != area.Width() || golden.height != area.Height()) return area.Width() * area.Height();
    int differing = 0;
    for (int y = 0; y < golden.height; ++y) {
        for (int x = 0; x < golden.width; ++x) {
            const std::uint32_t a = PixelOf(shot, area.left + x, area.top + y);
            const std::uint32_t b = golden.pixels[std::size_t(y) * std::size_t(golden.width) + std::size_t(x)];
            for (int shift = 0; shift < 24; shift += 8) {
                const int delta = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
                if (delta > 40 || delta < -40) {
                    ++differing;
                    break;
                }
            }
        }
    }
    return differing;
}

bool WriteAreaPng(const ZembraUI::LoadedImage& shot, const ZembraUI::UIRect& area, const std::string& path) {
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, area.Width(), area.Height());
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(picture));
    const int stride = cairo_image_surface_get_stride(picture) / 4;
    for (int y = 0; y < area.Height(); ++y) {
        for (int x = 0; x < area.Width(); ++x) pixels[y * stride + x] = PixelOf(shot, area.left + x, area.top + y);
    }
    cairo_surface_mark_dirty(picture);
    const bool written = cairo_surface_write_to_png(picture, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(picture);
    return written;
}

class WizardLanguageGuiTest : public testsupport::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(server_.Started());
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
        sandbox_.WriteSettings("[Settings]\n" + server_.HostsSection(false));
        for (const std::string& entry : sandbox_.Environment()) {
            const auto equals = entry.find('=');
            environment_.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
        }
        CSingleUserLog::GetInstance().InitLogPaths("zembramorvanta_zembram");
    }

    std::unique_ptr<InstallUIMainWnd> Open(const char* locale) {
        ScopedEnv language("LANGUAGE", "");
        ScopedEnv all("LC_ALL", "");
        ScopedEnv messages("LC_MESSAGES", "");
        ScopedEnv lang("LANG", locale);
        InstallUIMainWnd::Options options;
        options.installRoot = "/opt/Zembra";  // a fixed text in the pictures
        options.services.startSelf = [](const std::vector<std::string>&) {};
        options.services.windowGone = [] {};
        auto window = std::make_unique<InstallUIMainWnd>(std::move(options));
        if (!window->CreateHostWindow(nullptr, "Zembra Morvanta", 0x800A0000, 0, 0, 0, 600, 400)) return nullptr;
        window->ShowHostWindow(true, true);
        if (!PumpUntil([&] { return window->IsVisible() && !window->PaintManager().NeedsUpdate(); })) return nullptr;
        return window;
    }
    static ZembraUI::CControlUI* Control(InstallUIMainWnd& window, const char* name) {
        return window.PaintManager().ControlByName(name);
    }
    // Moves the pointer away, then clicks the middle of a control and lets the click arrive.
    bool Click(InstallUIMainWnd& window, const char* name) {
        PumpUntil([] { return false; }, 100);
        const ZembraUI::UIRect screen = window.ScreenRect();
        const ZembraUI::UIRect pos = Control(window, name)->Pos();
        const int x = screen.left + (pos.left + pos.right) / 2;
        const int y = screen.top + (pos.top + pos.bottom) / 2;
        if (!display_.XdotoolInBackground({"mousemove", "1", "1", "mousemove", "--sync", std::to_string(x),
                                           std::to_string(y), "click", "1"})) {
            return false;
        }
        PumpUntil([] { return false; }, 300);
        return display_.FinishBackground();
    }
    // Opens the language list with a click and walks to the language with the arrow keys.
    bool Choose(InstallUIMainWnd& window, EnumLanguage language) {
        auto* list = dynamic_cast<ZembraUI::CComboUI*>(Control(window, "language_combox"));
        const auto listOpen = [&] { return window.UIHost().DropDown() != nullptr && window.UIHost().DropDown()->IsAlive(); };
        if (list == nullptr || !Click(window, "language_combox") || !PumpUntil(listOpen)) return false;
        const int steps = language - list->CurrentSelection();
        std::vector<std::string> keys;
        for (int step = 0; step < std::abs(steps); ++step) keys.insert(keys.end(), {"key", steps > 0 ? "Down" : "Up"});
        keys.insert(keys.end(), {"key", "Return", "mousemove", "1", "1"});
        if (!display_.XdotoolInBackground(keys)) return false;
        const bool chosen = PumpUntil([&] { return !listOpen() && window.CurrentLanguage() == language; });
        return display_.FinishBackground() && chosen;
    }

    testsupport::DevServer server_{testsupport::DevServer::Options{false, ""}};
    testsupport::InstallerSandbox sandbox_;
    std::list<ScopedEnv> environment_;
};

TEST_F(WizardLanguageGuiTest, LocalesWithoutAShownLanguageStartInEnglish) {
    for (const char* locale : {"cs_CZ.UTF-8", "xx_YY"}) {
        SCOPED_TRACE(locale);
        auto window = Open(locale);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->CurrentLanguage(), English);
        EXPECT_EQ(Control(*window, "install_btn")->Text(), "Install");
        window->WaitForAllThreadExit();
    }
}

// The settings panel open, each language chosen in the list: every control
// takes the language's text and the window looks like its golden picture
// (ZEMBRA_UPDATE_GOLDEN=1 writes the pictures instead).
TEST_F(WizardLanguageGuiTest, ChosenLanguagesReTextEveryControlAndDrawTheirScripts) {
    auto window = Open("en_US.UTF-8");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Click(*window, "install_setting"));
    ASSERT_TRUE(PumpUntil([&] { return window->ClientSize().cy == 560; }));
    const bool update = std::getenv("ZEMBRA_UPDATE_GOLDEN") != nullptr;
    for (EnumLanguage language : {Arabic, Hindi, Japanese}) {
        SCOPED_TRACE(EnglishNameOf(language));
        ASSERT_TRUE(Choose(*window, language));
        const auto texts = testsupport::LanguageControlTexts(window->PaintManager(), language);
        EXPECT_GT(texts.size(), 10u);
        for (const auto& [key, text] : texts) EXPECT_EQ(Control(*window, key.c_str())->Text(), text) << key;

        const std::string golden = std::string(ZEMBRA_GUI_GOLDEN_DIR) + "/wizard_settings_" + WebCodeOf(language) + ".png";
        const std::string expectedBytes = testsupport::ReadFile(golden);
        const auto expected = ZembraUI::CDrawEngine::DecodeImage(
            reinterpret_cast<const unsigned char*>(expectedBytes.data()), expectedBytes.size(), 0);
        ASSERT_TRUE(update || expected.has_value()) << golden;
        const ZembraUI::UIRect area = window->ScreenRect();
        const auto shot = ScreenshotWhen([&](const ZembraUI::LoadedImage& screen) {
            return update || DifferingPixels(screen, area, *expected) < area.Width() * area.Height() / 200;
        });
        ASSERT_TRUE(shot.has_value());
        if (update) {
            ASSERT_TRUE(WriteAreaPng(*shot, area, golden));
            continue;
        }
        EXPECT_LT(DifferingPixels(*shot, area, *expected), area.Width() * area.Height() / 200) << golden;
    }
    window->WaitForAllThreadExit();
}

}  // namespace

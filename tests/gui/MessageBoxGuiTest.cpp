#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/MessageBoxWnd.h"
#include "gui/GuiTest.h"
#include "platform/EmbeddedResources.h"
#include "support/TempDir.h"
#include "support/WizardPictures.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/text/RichTextParser.h"
#include "uitoolkit/window/WindowImplBase.h"

namespace {

using namespace ZembraUI;
using testsupport::PixelOf;

constexpr unsigned kProbe = WindowMessage::kUser + 7;

// The wizard's stand-in: records what the boxes ask of it.
class OwnerWnd : public WindowImplBase {
public:
    std::string WindowClassName() const override { return "BoxOwnerWnd"; }
    std::string SkinFolder() const override { return {}; }
    std::string SkinFile() const override { return "transWnd.xml"; }
    SkinResourceKind ResourceKind() const override { return SkinResourceKind::ZipResource; }
    Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t, bool& handled) override {
        if (message == installmsg::kClearAppData) ++packageDeletions;
        if (message == kProbe) enabledWhileBoxOpen = IsEnabled();
        const bool probeTimer = message == WindowMessage::kTimer && wParam == kProbeTimer;
        if (probeTimer && whileBoxOpen) whileBoxOpen();
        handled = message == installmsg::kClearAppData || message == kProbe || probeTimer;
        return 0;
    }
    int packageDeletions = 0;
    bool enabledWhileBoxOpen = true;
    static constexpr unsigned kProbeTimer = 99;
    std::function<void()> whileBoxOpen;  // runs on the probe timer, inside a box's modal loop
};

class MessageBoxGuiTest : public testsupport::GuiTest {
protected:
    void SetUp() override {
        settings_ = scratch_.str() + "/qk_downloader.cfg";
        ::setenv("ZEMBRA_SETTINGS_FILE", settings_.c_str(), 1);
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_TRUE(CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
        GuiTest::SetUp();
    }
    void TearDown() override {
        GuiTest::TearDown();
        ::unsetenv("ZEMBRA_SETTINGS_FILE");
        CSkinArchive::SetResourceFolder("");
        CSkinArchive::Close();
    }

    bool OpenOwner() {
        if (!owner_.CreateHostWindow(nullptr, "owner", 0, 0, 100, 100, 650, 560)) return false;
        owner_.ShowHostWindow(true, true);
        return PumpUntil([&] { return owner_.IsVisible(); });
    }
    // A box opened as ShowModal opens it, left open for a look before its modal loop.
    std::unique_ptr<MessageBoxWnd> OpenBox(EnumMsgType kind, EnumLanguage language, const std::string& text = "",
                                           CWindowWnd* owner = nullptr) {
        auto box = std::make_unique<MessageBoxWnd>(kind, language, text);
        if (!box->CreateHostWindow(owner, "MSGUIDemo", 0, 0, 0, 0, 452, 190)) return nullptr;
        box->CenterWindowOnOwner();
        box->ShowHostWindow(true, true);
        // Laid out and painted: the controls are where a click finds them.
        const auto shown = [&] { return box->IsVisible() && !box->Surface().HasDirty() && !box->PaintManager().NeedsUpdate(); };
        if (!PumpUntil(shown)) return nullptr;
        return box;
    }
    static CControlUI* Control(MessageBoxWnd& box, const char* name) { return box.PaintManager().ControlByName(name); }
    // The screen point at the middle of a control of the box.
    static std::pair<int, int> CentreOf(MessageBoxWnd& box, const char* name) {
        const UIRect at = Control(box, name)->Pos();
        return {box.ScreenRect().left + (at.left + at.right) / 2, box.ScreenRect().top + (at.top + at.bottom) / 2};
    }
    bool ClickLater(std::pair<int, int> point) {
        return display_.XdotoolInBackground({"mousemove", "--sync", std::to_string(point.first),
                                             std::to_string(point.second), "click", "1"});
    }
    // Clicks a control of an open box and runs its modal loop to the answer.
    int Answer(MessageBoxWnd& box, const char* button) {
        EXPECT_TRUE(ClickLater(CentreOf(box, button)));
        const int result = box.RunModal();
        EXPECT_TRUE(display_.FinishBackground());
        return result;
    }
    // The text a rich-text control shows, without its markup.
    static std::string ShownText(MessageBoxWnd& box, const char* name) {
        CRichTextParser parser(box.PaintManager(), {}, -1, false);
        std::string shown;
        for (const TextRun& run : parser.Parse(Control(box, name)->Text()).runs) shown += run.text;
        return shown;
    }
    void WriteSettings(const std::string& text) { scratch_.WriteFile("qk_downloader.cfg", text); }

    testsupport::TempDir scratch_;
    std::string settings_;
    OwnerWnd owner_;
};

TEST_F(MessageBoxGuiTest, SuggestSsdShowsItsTextLiterallyAndAnswersWithEitherButton) {
    ASSERT_TRUE(OpenOwner());
    const std::string drive = "D:\\{f 9}<b>x</b>{/f}";
    auto box = OpenBox(MsgSuggestSSD, English, drive, &owner_);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(ShownText(*box, "msg_describe").find("solid state drive (" + drive + " drive)"), std::string::npos)
        << ShownText(*box, "msg_describe");
    EXPECT_EQ(Control(*box, "btn_yes")->Text(), "OK");
    EXPECT_EQ(Control(*box, "btn_no")->Text(), "No");
    EXPECT_TRUE(Control(*box, "btn_no")->Visible());
    EXPECT_EQ(Control(*box, "iconimage")->BkImage(), "skin\\message_exclamation.png");
    // Centred on its owner, which takes no input while the box is open.
    const UIRect boxAt = box->ScreenRect();
    const UIRect ownerAt = owner_.ScreenRect();
    EXPECT_NEAR(boxAt.left + boxAt.right, ownerAt.left + ownerAt.right, 1);
    EXPECT_NEAR(boxAt.top + boxAt.bottom, ownerAt.top + ownerAt.bottom, 1);
    owner_.PostToWindow(kProbe);
    EXPECT_EQ(Answer(*box, "btn_yes"), 1);
    EXPECT_FALSE(owner_.enabledWhileBoxOpen);
    EXPECT_TRUE(owner_.IsEnabled());

    box = OpenBox(MsgSuggestSSD, English, "E:", &owner_);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Answer(*box, "btn_no"), 2);
    EXPECT_EQ(owner_.packageDeletions, 0);
}

TEST_F(MessageBoxGuiTest, AppExistHasOneOkButtonAndShowModalAnswersTwoForTheCloseButton) {
    ASSERT_TRUE(OpenOwner());
    auto look = OpenBox(MsgAppExist, English, "", &owner_);
    ASSERT_NE(look, nullptr);
    EXPECT_EQ(Control(*look, "btn_yes")->Text(), "OK");
    EXPECT_FALSE(Control(*look, "btn_no")->Visible());
    EXPECT_EQ(Control(*look, "iconimage")->BkImage(), "skin\\message_help.png");
    const auto closeButton = CentreOf(*look, "closebtn");
    const auto drawn = ScreenshotWhen([&](const LoadedImage& shot) {
        return PixelOf(shot, closeButton.first, closeButton.second) != 0xFF000000;
    });
    ASSERT_TRUE(drawn);
    const std::uint32_t closeColour = PixelOf(*drawn, closeButton.first, closeButton.second);
    look.reset();
    ASSERT_TRUE(ScreenshotWhen([&](const LoadedImage& shot) {
        return PixelOf(shot, closeButton.first, closeButton.second) == 0xFF000000;
    }));

    // Once the box ShowModal opens is on the screen (the owner is disabled
    // and the close button drawn where it was), its close button is clicked.
    owner_.whileBoxOpen = [&] {
        const auto shot = owner_.IsEnabled() ? std::nullopt : display_.Screenshot();
        if (shot && PixelOf(*shot, closeButton.first, closeButton.second) == closeColour && ClickLater(closeButton)) {
            owner_.KillTimer(OwnerWnd::kProbeTimer);
        }
    };
    owner_.SetTimer(OwnerWnd::kProbeTimer, 50);
    EXPECT_EQ(MessageBoxWnd::ShowModal(&owner_, MsgAppExist, English, ""), 2);
    EXPECT_TRUE(display_.FinishBackground());
    EXPECT_TRUE(owner_.IsEnabled());
    EXPECT_TRUE(owner_.IsVisible());
}

TEST_F(MessageBoxGuiTest, PackageBoxesAskTheOwnerToDeleteThePackageAndCancelHidesIt) {
    ASSERT_TRUE(OpenOwner());
    auto box = OpenBox(MsgMD5Fail, English, "", &owner_);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Control(*box, "btn_yes")->Text(), "Confirm");
    EXPECT_EQ(Answer(*box, "closebtn"), 2);
    ASSERT_TRUE(PumpUntil([&] { return owner_.packageDeletions == 1; }));
    box = OpenBox(MsgMD5Fail, English, "", &owner_);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Answer(*box, "btn_yes"), 1);
    ASSERT_TRUE(PumpUntil([&] { return owner_.packageDeletions == 2; }));
    EXPECT_TRUE(owner_.IsVisible());

    box = OpenBox(MsgCancel, English, "", &owner_);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Control(*box, "btn_yes")->Text(), "Yes");
    EXPECT_EQ(Answer(*box, "btn_yes"), 1);
    EXPECT_FALSE(owner_.IsVisible());
    EXPECT_EQ(owner_.packageDeletions, 2);
}

TEST_F(MessageBoxGuiTest, AutoRunConfirmsSingleButtonBoxesAfterOneSecondOnly) {
    WriteSettings("[Settings]\nAutoRun=1\n");
    fakeNow_ = 0;
    auto waits = OpenBox(MsgAgree, English);
    auto confirms = OpenBox(MsgNoEnoughSpace, English);
    ASSERT_NE(waits, nullptr);
    ASSERT_NE(confirms, nullptr);
    fakeNow_ = 999;
    loop_->PumpOnce(0);
    EXPECT_TRUE(confirms->IsAlive());
    fakeNow_ = 1000;
    EXPECT_EQ(confirms->RunModal(), 1);
    fakeNow_ = 60000;
    loop_->PumpOnce(0);
    EXPECT_TRUE(waits->IsAlive());
}

TEST_F(MessageBoxGuiTest, StartUpRefusalBoxNeedsNoOwner) {
    WriteSettings("[Settings]\nAutoRun=1\n");
    EXPECT_EQ(ShowNotSupportSystemBox(French), 1);
}

TEST_F(MessageBoxGuiTest, MissingLanguageTextsFallBackToEnglish) {
    // A folder skin: the box layout, the English file, a German file that
    // lacks two keys, a Japanese file without the group, a broken Russian file.
    std::vector<unsigned char> bytes;
    std::string error;
    for (const char* name : {"MessageBox.xml", "language/language_english.xml"}) {
        ASSERT_TRUE(CSkinArchive::ReadFile(name, bytes, error)) << error;
        scratch_.WriteFile(std::string("skin/") + name, std::string(bytes.begin(), bytes.end()));
    }
    scratch_.WriteFile("skin/language/language_german.xml",
                       "<VerticalLayout><VerticalLayout name=\"german\"><VerticalLayout name=\"message_page\">"
                       "<Label name=\"OkButtonText\" text=\"Gut\" /></VerticalLayout></VerticalLayout>"
                       "</VerticalLayout>");
    scratch_.WriteFile("skin/language/language_japanese.xml", "<VerticalLayout><VerticalLayout name=\"x\"/>"
                                                              "</VerticalLayout>");
    scratch_.WriteFile("skin/language/language_russian.xml", "<VerticalLayout><Label name=");
    CSkinArchive::Close();
    CSkinArchive::SetResourceFolder(scratch_.str() + "/skin");

    for (EnumLanguage language : {German, Japanese, Russian, Spanish}) {
        SCOPED_TRACE(EnglishNameOf(language));
        auto box = OpenBox(MsgNoEnoughSpace, language);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(Control(*box, "btn_yes")->Text(), language == German ? "Gut" : "OK");
        EXPECT_EQ(ShownText(*box, "msg_describe"), "Insufficient disk space! Please change the storage path.");
    }
}

// Every kind in the four scripts the boxes are checked in: the description
// is drawn (ink in its area) and the pictures go to $ZEMBRA_BOX_SHOTS when set.
TEST_F(MessageBoxGuiTest, EveryKindDrawsItsTextInEveryCheckedScript) {
    const char* wanted = std::getenv("ZEMBRA_BOX_SHOTS");
    for (EnumLanguage language : {English, Arabic, Hindi, Japanese}) {
        for (int value = MsgReplace; value <= MsgSuggestSSD; ++value) {
            const auto kind = static_cast<EnumMsgType>(value);
            SCOPED_TRACE(std::string(WebCodeOf(language)) + " kind " + std::to_string(value));
            auto box = OpenBox(kind, language, "D:");
            ASSERT_NE(box, nullptr);
            cairo_surface_t* picture = box->PaintManager().Surface().Surface();
            if (wanted != nullptr) {
                const std::string name = std::string(wanted) + "/box_" + WebCodeOf(language) + "_" +
                                         std::to_string(value) + ".png";
                EXPECT_EQ(cairo_surface_write_to_png(picture, name.c_str()), CAIRO_STATUS_SUCCESS);
            }
            if (kind == MsgCloseNow) continue;  // a box without texts
            EXPECT_GT(testsupport::InkIn(picture, Control(*box, "msg_describe")->Pos()), 100);
        }
    }
}

}  // namespace

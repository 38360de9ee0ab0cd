#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "Common/install_ui_mainwnd/IWizardWindow.h"
#include "Common/install_ui_mainwnd/InstallWizardPages.h"
#include "Common/install_ui_mainwnd/WizardTextFormat.h"
#include "InstallFlowDoubles.h"
#include "LanguageTexts.h"
#include "platform/EmbeddedResources.h"
#include "SessionLocale.h"
#include "support/TempDir.h"
#include "support/WizardPictures.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/EditUI.h"
#include "uitoolkit/controls/ProgressUI.h"
#include "uitoolkit/controls/TabLayoutUI.h"
#include "uitoolkit/headless/HeadlessWindow.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/markup/SkinArchive.h"

using testsupport::TempDir;

namespace {

// The wizard on the embedded skin in a headless window; the window's sizes
// and taskbar values are recorded, notifications go through the pages as the
// real window forwards them.
class WizardFixture : public ::testing::Test, public IWizardWindow, public ZembraUI::INotifyUI {
protected:
    void SetUp() override {
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
        ASSERT_TRUE(window_.Load("InstallMainWnd.xml")) << window_.LastError();
        window_.Manager().AddListener(this);
        window_.Pump();
    }
    void TearDown() override {
        ZembraUI::CSkinArchive::SetResourceFolder("");
        ZembraUI::CSkinArchive::Close();
    }

    void ResizeWindow(int width, int height) override {
        sizes_.push_back({width, height});
        window_.Resize({width, height});
    }
    void ShowTaskbarProgress(int percent) override { taskbar_.push_back(percent); }
    void Notify(ZembraUI::tagTNotifyUI& notification) override { actions_.push_back(pages_.Notify(notification)); }

    void Start(EnumLanguage language, bool newLicenceScheme = false) {
        pages_.PrepareStartPage({.siteId = 412, .newLicenceScheme = newLicenceScheme, .installRoot = "/opt/Zembra",
                                 .softwareVersion = "3.1.0"});
        pages_.InitLanguage(language);
        window_.Pump();
    }
    ZembraUI::CControlUI* Control(const std::string& name) { return window_.Manager().ControlByName(name); }
    std::string TextOf(const std::string& name) { return Control(name)->Text(); }
    void Choose(EnumLanguage language) {
        window_.Find<ZembraUI::CComboUI>("language_combox")->SelectItem(language);
        window_.Pump();
    }
    void SendLink(const std::string& control, std::uintptr_t link = 0) {
        window_.Manager().SendNotification(Control(control), "link", link);
    }
    void Click(const std::string& control) { window_.Manager().SendNotification(Control(control), "click"); }
    int SetLayoutPage() { return window_.Find<ZembraUI::CTabLayoutUI>("set_layout")->CurrentSelection(); }

    ZembraUI::CHeadlessWindow window_;
    flowtest::RecordingAnalytics analytics_;
    InstallWizardPages pages_{window_.Manager(), *this, analytics_};
    std::vector<ZembraUI::UISize> sizes_;
    std::vector<int> taskbar_;
    std::vector<WizardAction> actions_;
};

TEST_F(WizardFixture, StartLanguageComesFromTheLocale) {
    {
        SessionLocale swissFrench("fr_CH.UTF-8");
        Start(FuntionImpl::GetLanguageByLocalSystem());
    }
    EXPECT_EQ(pages_.CurrentLanguage(), French);
    EXPECT_EQ(window_.Find<ZembraUI::CComboUI>("language_combox")->CurrentSelection(), French);
    EXPECT_EQ(TextOf("install_btn"), FuntionImpl::GetLanguageText("install_page", "install_btn", French));
    EXPECT_NE(TextOf("install_btn"), "Install");
    EXPECT_EQ(analytics_.Count("L|5|3.1.0"), 2u) << "the start and the list's itemselect";
    EXPECT_EQ(sizes_.back(), (ZembraUI::UISize{650, 360}));

    SessionLocale czech("cs_CZ.UTF-8");
    Start(FuntionImpl::GetLanguageByLocalSystem());
    EXPECT_EQ(pages_.CurrentLanguage(), English) << "the Czech item is hidden";
    EXPECT_EQ(TextOf("install_btn"), "Install");
    EXPECT_EQ(TextOf("select_language_text"), "Select Language : ");
}

TEST_F(WizardFixture, AnEmptyLanguageListIsFilledWithTheShippedItems) {
    auto* list = window_.Find<ZembraUI::CComboUI>("language_combox");
    list->RemoveAll();
    window_.Pump();
    Start(Hindi);
    ASSERT_EQ(list->Count(), kLanguageCount);
    EXPECT_EQ(list->ItemAt(Japanese)->Text(), " 日本語");
    EXPECT_FALSE(list->ItemAt(Czech)->Visible());
    EXPECT_EQ(list->CurrentSelection(), Hindi);
    EXPECT_EQ(pages_.CurrentLanguage(), Hindi);
}

TEST_F(WizardFixture, ChoosingALanguageReTextsEveryNamedControl) {
    Start(English);
    for (EnumLanguage language : {Arabic, Hindi, Japanese, Russian}) {
        SCOPED_TRACE(LanguageFileOf(language));
        Choose(language);
        EXPECT_EQ(pages_.CurrentLanguage(), language);
        EXPECT_EQ(actions_.back(), WizardAction::ChangeLanguage);
        const auto texts = testsupport::LanguageControlTexts(window_.Manager(), language);
        EXPECT_GE(texts.size(), 10u);
        for (const auto& [key, text] : texts) EXPECT_EQ(TextOf(key), text) << key;
        EXPECT_EQ(TextOf("license_text"), TextOf(LicenceControlOf(language)));
        EXPECT_EQ(Control("license_text_layout")->FixedHeight(), LicencePanelHeight(language, 412));
        EXPECT_EQ(analytics_.Count("L|" + std::to_string(language) + "|3.1.0"), 1u);
    }
    EXPECT_NE(TextOf("install_btn"), "Install");
}

TEST_F(WizardFixture, ProgressNeverGoesBackwards) {
    Start(English);
    EXPECT_EQ(TextOf("install_label").find("%"), TextOf("install_label").rfind("%")) << "no bare format";
    EXPECT_TRUE(pages_.SetProgress(40));
    EXPECT_NE(TextOf("install_label").find("40%"), std::string::npos) << TextOf("install_label");
    EXPECT_FALSE(pages_.SetProgress(30));
    EXPECT_FALSE(pages_.SetProgress(40));
    EXPECT_EQ(pages_.GetProgress(), 40);
    EXPECT_NE(TextOf("install_label").find("40%"), std::string::npos);
    EXPECT_TRUE(pages_.SetProgress(250));
    EXPECT_EQ(pages_.GetProgress(), 100);
    EXPECT_EQ(taskbar_, (std::vector<int>{40, 100}));
    Choose(German);
    EXPECT_NE(TextOf("install_label").find("100"), std::string::npos) << "re-texting keeps the value";
}

TEST_F(WizardFixture, PanelsOpenAt560AndCloseAt360) {
    Start(English);
    const ZembraUI::UISize compact{650, 360}, open{650, 560};
    Click("install_setting");
    EXPECT_EQ(window_.Manager().ClientSize(), open);
    EXPECT_EQ(SetLayoutPage(), 1);
    Click("install_setting");
    EXPECT_EQ(window_.Manager().ClientSize(), compact);

    Click("install_setting");
    SendLink("license_link");
    EXPECT_EQ(window_.Manager().ClientSize(), open);
    EXPECT_EQ(SetLayoutPage(), 0) << "the licence page replaces the settings";
    SendLink("license_link");
    EXPECT_EQ(window_.Manager().ClientSize(), compact);
    EXPECT_EQ(Control("license_text_layout")->FixedHeight(), 1540);
    EXPECT_EQ((std::vector<WizardAction>(actions_.end() - 2, actions_.end())),
              (std::vector<WizardAction>{WizardAction::ToggleLicencePanel, WizardAction::ToggleLicencePanel}));
}

TEST_F(WizardFixture, ConsentTextFollowsTheLicenceSchemeAndLinksAreDispatched) {
    Start(English, true);
    EXPECT_EQ(Control("license_link"), nullptr);
    Choose(Japanese);
    ASSERT_NE(Control("license_link_new"), nullptr);
    EXPECT_TRUE(Control("license_link_new")->Visible());
    SendLink("license_link_new", 0);
    SendLink("license_link_new", 1);
    EXPECT_EQ(actions_[actions_.size() - 2], WizardAction::OpenPrivacyPage);
    EXPECT_EQ(actions_.back(), WizardAction::OpenLicencePage);

    CConfigure configuration(1, 1, 412);
    configuration.SetServiceUrls("ja", "https://example.test/ja/privacy", "https://example.test/ja/licence");
    EXPECT_EQ(pages_.ConsentLinkUrl(WizardAction::OpenLicencePage, configuration), "https://example.test/ja/licence");
    EXPECT_EQ(pages_.ConsentLinkUrl(WizardAction::OpenPrivacyPage, configuration), "https://example.test/ja/privacy");

    EXPECT_EQ(WizardActionFor("click", "install_minbtn", 0), WizardAction::Minimise);
    EXPECT_EQ(WizardActionFor("click", "cancel_btn", 0), WizardAction::RequestClose);
    EXPECT_EQ(WizardActionFor("link", "text_fail_advice", 0), WizardAction::OpenPackageDownload);
    EXPECT_EQ(WizardActionFor("itemselect", "other_combo", 0), WizardAction::None);
    Control("install_btn")->PutEnabled(false);
    Click("license_checkbox");
    EXPECT_TRUE(Control("install_btn")->Enabled());
}

TEST_F(WizardFixture, LanguageFileMissingKeysOrBrokenFallsBackToEnglish) {
    Start(English);
    std::vector<unsigned char> english;
    std::string error;
    ASSERT_TRUE(ZembraUI::CSkinArchive::ReadFile("language\\language_english.xml", english, error)) << error;
    TempDir skin;
    skin.WriteFile("language/language_english.xml", std::string(english.begin(), english.end()));
    skin.WriteFile("language/language_german.xml",
                   "<VerticalLayout><VerticalLayout name=\"german\"><VerticalLayout name=\"install_page\">"
                   "<Label name=\"install_btn\" text=\"Installieren\" /></VerticalLayout></VerticalLayout>"
                   "</VerticalLayout>");
    skin.WriteFile("language/language_french.xml", "<VerticalLayout><VerticalLayout name=\"install_page\"");
    Choose(Japanese);
    ZembraUI::CSkinArchive::Close();
    ZembraUI::CSkinArchive::SetResourceFolder(skin.str());

    Choose(German);
    EXPECT_EQ(TextOf("install_btn"), "Installieren");
    EXPECT_EQ(TextOf("browser_btn"), "Browse") << "not the Japanese text";
    EXPECT_EQ(TextOf("install_setting"), "Install Setting");
    Choose(French);
    EXPECT_EQ(TextOf("install_btn"), "Install");
    Choose(Japanese);
    Choose(Spanish);  // no file at all
    EXPECT_EQ(TextOf("browser_btn"), "Browse");
}

TEST_F(WizardFixture, OutsideTextIsShownSanely) {
    Start(English);
    pages_.SetInstallFolder(std::string(5000, 'x'));
    EXPECT_EQ(pages_.InstallFolder().size(), window_.Find<ZembraUI::CEditUI>("install_file_path_edit")->MaxChar());
    pages_.SetInstallFolder("/opt/\xff\xfe" "Zembra");
    EXPECT_EQ(pages_.InstallFolder(), "/opt/\xEF\xBF\xBD\xEF\xBF\xBDZembra");
    window_.Pump();

    EXPECT_EQ(FormatWithNumber("%s %n %0.f%% done %d", 42), "%s %n 42% done %d");
    EXPECT_EQ(FormatWithNumber("%.1fGB %f", 12.34), "12.3GB %f");
    EXPECT_EQ(FormatWithNumber("%999999f", 1), "%999999f");
    EXPECT_EQ(FormatWithText("Space required : %s", "2.3M"), "Space required : 2.3M");
    pages_.SetFreeSpace(12.34);
    EXPECT_EQ(TextOf("space_free"), "Space available : 12.3GB");
}

// The setting page and both panels in the five scripts the wizard is checked
// in, written as PNGs (into $ZEMBRA_WIZARD_SHOTS when set) for a look by eye.
TEST_F(WizardFixture, PagesRenderInEveryCheckedScript) {
    TempDir scratch;
    const char* wanted = std::getenv("ZEMBRA_WIZARD_SHOTS");
    const std::string folder = wanted != nullptr ? wanted : scratch.str();
    Start(English);
    pages_.SetProgress(42);
    auto* pages = window_.Find<ZembraUI::CTabLayoutUI>("main_tablayout");
    for (EnumLanguage language : {English, Arabic, Hindi, Japanese, Russian}) {
        Choose(language);
        const std::string stem = folder + "/wizard_" + WebCodeOf(language);
        window_.Pump();
        EXPECT_TRUE(window_.WritePng(stem + "_main.png"));
        Click("install_setting");
        window_.Pump();
        EXPECT_TRUE(window_.WritePng(stem + "_settings.png"));
        pages_.ToggleLicencePanel();
        window_.Pump();
        EXPECT_TRUE(window_.WritePng(stem + "_licence.png"));
        pages_.ToggleLicencePanel();
        pages->SelectItem(1);
        window_.Pump();
        EXPECT_TRUE(window_.WritePng(stem + "_running.png"));
        pages->SelectItem(0);
        EXPECT_EQ(window_.Manager().ClientSize(), (ZembraUI::UISize{650, 360}));
        EXPECT_GT(std::filesystem::file_size(stem + "_licence.png"), std::filesystem::file_size(stem + "_main.png"));
    }
}

// A licence text of 1 MiB: its holder keeps what a rich edit keeps, the panel
// shows that, drawn clipped to the panel, and scrolls to its end.
TEST_F(WizardFixture, LicenceOfOneMebibyteIsShownInItsPanel) {
    Start(English);
    std::string licence;
    while (licence.size() < (1u << 20)) licence += "{p 3}Quenrick grants you a license to use the software.{/p}";
    Control("license_english")->PutText(licence);
    Choose(German);
    Choose(English);
    EXPECT_GE(TextOf("license_text").size(), 30000u);
    EXPECT_EQ(TextOf("license_text"), TextOf("license_english"));
    pages_.ToggleLicencePanel();
    window_.Pump();

    EXPECT_GT(testsupport::InkIn(window_.Manager().Surface().Surface(), Control("license_page")->Pos()), 1000);
    for (int turn = 0; turn < 40; ++turn) window_.Wheel({300, 450}, -1);
    EXPECT_FALSE(window_.Pump().empty());
}

}  // namespace

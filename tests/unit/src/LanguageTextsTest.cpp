#include <gtest/gtest.h>

#include "LanguageTexts.h"
#include "LogLines.h"
#include "platform/EmbeddedResources.h"
#include "support/TempDir.h"
#include "uitoolkit/markup/SkinArchive.h"

using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// The locale as a desktop session would set it, nothing else.
struct Locale {
    explicit Locale(const char* lang) : lang_("LANG", lang) {}
    ScopedEnv language_{"LANGUAGE", ""};
    ScopedEnv all_{"LC_ALL", ""};
    ScopedEnv messages_{"LC_MESSAGES", ""};
    ScopedEnv lang_;
};

}  // namespace

TEST(LanguageTablesTest, StartLanguageFollowsTheLocaleUnlessItsItemIsHidden) {
    {
        Locale swissFrench("fr_CH.UTF-8");
        EXPECT_EQ(FuntionImpl::GetLanguageByLocalSystem(), French);
        EXPECT_EQ(FuntionImpl::StartLanguageForShippedList(), French);
        EXPECT_EQ(FuntionImpl::GetSystemRegion(), "CH");
    }
    {
        Locale czech("cs_CZ.UTF-8");
        EXPECT_EQ(FuntionImpl::GetLanguageByLocalSystem(), Czech);
        EXPECT_EQ(FuntionImpl::StartLanguageForShippedList(), English) << "the Czech item is hidden";
    }
    Locale unmapped("xx_YY");
    EXPECT_EQ(FuntionImpl::StartLanguageForShippedList(), English);
    EXPECT_EQ(LanguageOfWindowsId(2055), German);
    EXPECT_EQ(LanguageOfWindowsId(2064), Italiano);
    EXPECT_EQ(LanguageOfWindowsId(20490), Spanish);
    EXPECT_EQ(LanguageOfWindowsId(1144), English);
}

TEST(LanguageTablesTest, ListChoiceFallsToTheFirstVisibleItem) {
    const auto visibleFrom = [](int first) { return [first](int item) { return item >= first; }; };
    EXPECT_EQ(FuntionImpl::ChooseLanguageItem(Hindi, 20, visibleFrom(0)), Hindi);
    EXPECT_EQ(FuntionImpl::ChooseLanguageItem(Hindi, 15, visibleFrom(0)), English) << "no item for Hindi";
    EXPECT_EQ(FuntionImpl::ChooseLanguageItem(English, 20, visibleFrom(3)), Spanish);
    EXPECT_EQ(FuntionImpl::ChooseLanguageItem(German, 20, visibleFrom(20)), English);
    EXPECT_EQ(FuntionImpl::ChooseLanguageItem(German, 0, visibleFrom(0)), English);
}

TEST(LanguageTablesTest, LicencePanelHeightByLanguageAndSite) {
    EXPECT_EQ(LicencePanelHeight(Chinese, 521), 1470);
    EXPECT_EQ(LicencePanelHeight(Chinese, 54), 2070);
    EXPECT_EQ(LicencePanelHeight(Chinese, 412), 1265);
    EXPECT_EQ(LicencePanelHeight(ChineseTrad, 54), 1265) << "only simplified Chinese depends on the site";
    EXPECT_EQ(LicencePanelHeight(German, 0), 1655);
    EXPECT_EQ(LicencePanelHeight(20, 0), 1935);
    EXPECT_EQ(LicencePanelHeight(-1, 0), 1935);
}

TEST(LanguageTextsTest, TextsComeFromTheEmbeddedLanguageFiles) {
    const auto archive = platform::EmbeddedSkinArchive();
    ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
    EXPECT_EQ(FuntionImpl::GetLanguageText("install_page", "retry_btn", English), "Try again");
    EXPECT_EQ(FuntionImpl::GetLanguageText("message_page", "YesText", English), "Yes");
    const std::string german = FuntionImpl::GetLanguageText("install_page", "install_btn", German);
    EXPECT_FALSE(german.empty());
    EXPECT_NE(german, "Install");
    EXPECT_EQ(FuntionImpl::GetLanguageText("install_page", "no_such_key", English), "");
    ZembraUI::CSkinArchive::Close();
}

TEST(LanguageTextsTest, BrokenFileOrMissingKeyFallsBackToEnglish) {
    TempDir skin;
    skin.WriteFile("language/language_english.xml",
                   "<VerticalLayout><VerticalLayout name=\"english\"><VerticalLayout name=\"install_page\">"
                   "<Label name=\"install_btn\" text=\"Install\" /><Label name=\"start_app\" text=\"Start\" />"
                   "</VerticalLayout></VerticalLayout></VerticalLayout>");
    skin.WriteFile("language/language_french.xml", "<VerticalLayout><VerticalLayout name=\"install_page\"");
    skin.WriteFile("language/language_german.xml",
                   "<VerticalLayout><VerticalLayout name=\"install_page\">"
                   "<Label name=\"install_btn\" text=\"Installieren\" /></VerticalLayout></VerticalLayout>");
    ZembraUI::CSkinArchive::Close();
    ZembraUI::CSkinArchive::SetResourceFolder(skin.str());
    LogLines log;

    EXPECT_EQ(FuntionImpl::GetLanguageText("install_page", "install_btn", French), "Install");
    EXPECT_TRUE(log.HasPart(" Language file language_french.xml does not load"));
    EXPECT_EQ(FuntionImpl::GetLanguageText("install_page", "install_btn", German), "Installieren");
    EXPECT_EQ(FuntionImpl::GetLanguageText("install_page", "start_app", German), "Start");
    EXPECT_TRUE(log.HasPart(" Language text install_page/start_app missing in language_german.xml"));
    EXPECT_EQ(FuntionImpl::GetLanguageText("install_page", "start_app", Arabic), "Start") << "file missing";
    ZembraUI::CSkinArchive::SetResourceFolder("");
}

// Guards the shipped skin: every layout and language file parses from the
// archive linked into the program, every picture and included file a layout
// names is in that archive, every font index a text selects exists in its
// window, and every language carries the English keys with the English markup.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/EmbeddedResources.h"
#include "uitoolkit/markup/AttributeList.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/render/ImageDescription.h"

namespace {

using ZembraUI::CMarkupDoc;
using ZembraUI::CMarkupElem;
using ZembraUI::CSkinArchive;

const std::vector<std::string> kLayouts = {
    "InstallMainWnd.xml", "InstallSetting.xml", "InstallCustom.xml", "InstallFinished.xml", "InstallRunning.xml",
    "License.xml",        "MessageBox.xml",     "MessageBox_down.xml", "transWnd.xml",      "scrollbar.xml"};

const std::vector<std::string> kLanguageFiles = {
    "english", "japanese", "chinese",  "spanish",    "german",  "french", "russian", "portuguese", "arabic", "italiano",
    "chinesetrad", "korean", "nederland", "indonesian", "turkish", "hindi", "thai", "malay", "swedish", "czech"};

class SkinContentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_TRUE(CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
    }
    static void TearDownTestSuite() { CSkinArchive::Close(); }

    static CMarkupElem Load(const std::string& name) {
        CMarkupDoc doc;
        EXPECT_TRUE(doc.LoadFromFile(name)) << name << ": " << doc.GetLastErrorMessage() << " at "
                                            << doc.GetLastErrorLocation();
        return doc.GetRoot();
    }

    static bool InArchive(const std::string& name) {
        std::vector<unsigned char> bytes;
        std::string error;
        return CSkinArchive::ReadFile(name, bytes, error);
    }
};

void Walk(const CMarkupElem& elem, const std::function<void(const CMarkupElem&)>& visit) {
    for (CMarkupElem e = elem; e.IsValid(); e = e.GetSibling()) {
        visit(e);
        Walk(e.GetChild(), visit);
    }
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Highest n of {f n} in a text, or of a font="n" attribute; -1 when none.
int HighestFont(const std::string& attribute, const std::string& value) {
    if (attribute == "font" || attribute == "itemfont") return std::stoi(value);
    static const std::regex fontTag(R"(\{f (\d+)\})");
    int highest = -1;
    for (std::sregex_iterator it(value.begin(), value.end(), fontTag), end; it != end; ++it)
        highest = std::max(highest, std::stoi((*it)[1]));
    return highest;
}

// The rich-text tags, format conversions and placeholders of a text, in order.
std::vector<std::string> Markup(const std::string& text) {
    static const std::regex token(R"(\{/?[a-z](?: [^}]*)?\}|%[-+ #0]*[0-9]*(?:\.[0-9]*)?[a-zA-Z%]|\*\*1\*\*)");
    std::vector<std::string> tokens;
    for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end; ++it) tokens.push_back(it->str());
    return tokens;
}

// group -> key -> text of a language file.
std::map<std::string, std::map<std::string, std::string>> Texts(const CMarkupElem& root) {
    std::map<std::string, std::map<std::string, std::string>> groups;
    for (CMarkupElem group = root.GetChild().GetChild(); group.IsValid(); group = group.GetSibling()) {
        for (CMarkupElem label = group.GetChild(); label.IsValid(); label = label.GetSibling())
            groups[group.GetAttributeValue("name")][label.GetAttributeValue("name")] = label.GetAttributeValue("text");
    }
    return groups;
}

int FontCount(const CMarkupElem& window) {
    int count = 0;
    for (CMarkupElem e = window.GetChild(); e.IsValid(); e = e.GetSibling()) count += e.GetName() == "Font";
    return count;
}

TEST_F(SkinContentTest, LayoutsParseAndNameOnlyFilesOfTheArchive) {
    for (const std::string& layout : kLayouts) {
        const CMarkupElem root = Load(layout);
        ASSERT_TRUE(root.IsValid()) << layout;
        Walk(root, [&](const CMarkupElem& e) {
            if (e.GetName() == "Include") {
                EXPECT_TRUE(InArchive(e.GetAttributeValue("source"))) << layout;
            }
            ZembraUI::AttributeList attributes;
            for (int i = 0; i < e.GetAttributeCount(); ++i)
                attributes.emplace_back(e.GetAttributeName(i), e.GetAttributeValue(i));
            if (e.GetName() == "Default") attributes = ZembraUI::ParseAttributeList(e.GetAttributeValue("value"));
            for (const auto& [name, value] : attributes) {
                if (!EndsWith(name, "image")) continue;
                for (const auto& picture : ZembraUI::ParseImageDescription(value, "", {0, 0, 100, 100})) {
                    EXPECT_TRUE(InArchive(picture.file)) << layout << ": " << name << " names " << picture.file;
                }
            }
        });
    }
}

TEST_F(SkinContentTest, EveryFontIndexATextSelectsExistsInItsWindow) {
    const int mainFonts = FontCount(Load("InstallMainWnd.xml"));
    const int boxFonts = FontCount(Load("MessageBox.xml"));
    EXPECT_EQ(FontCount(Load("MessageBox_down.xml")), boxFonts);
    const std::map<std::string, int> windowOf = {
        {"InstallMainWnd.xml", mainFonts}, {"InstallSetting.xml", mainFonts}, {"InstallCustom.xml", mainFonts},
        {"InstallFinished.xml", mainFonts}, {"InstallRunning.xml", mainFonts}, {"License.xml", mainFonts},
        {"MessageBox.xml", boxFonts},      {"MessageBox_down.xml", boxFonts}, {"transWnd.xml", FontCount(Load("transWnd.xml"))}};
    for (const auto& [layout, fonts] : windowOf) {
        Walk(Load(layout), [&](const CMarkupElem& e) {
            for (int i = 0; i < e.GetAttributeCount(); ++i) {
                EXPECT_LT(HighestFont(e.GetAttributeName(i), e.GetAttributeValue(i)), fonts)
                    << layout << ": " << e.GetAttributeValue("name");
            }
        });
    }
    for (const std::string& language : kLanguageFiles) {
        for (const auto& [group, texts] : Texts(Load("language/language_" + language + ".xml"))) {
            const int fonts = group == "message_page" ? boxFonts : mainFonts;
            for (const auto& [key, text] : texts) EXPECT_LT(HighestFont("text", text), fonts) << language << " " << key;
        }
    }
}

TEST_F(SkinContentTest, EveryLanguageHasTheEnglishKeysAndMarkup) {
    const auto english = Texts(Load("language\\language_english.xml"));
    ASSERT_EQ(english.size(), 2u);
    EXPECT_EQ(english.at("install_page").size() + english.at("message_page").size(), 64u);
    for (const std::string& language : kLanguageFiles) {
        const auto texts = Texts(Load("language\\language_" + language + ".xml"));
        ASSERT_EQ(texts.size(), english.size()) << language;
        for (const auto& [group, englishTexts] : english) {
            const auto& translated = texts.at(group);
            std::set<std::string> keys, englishKeys;
            for (const auto& entry : translated) keys.insert(entry.first);
            for (const auto& entry : englishTexts) englishKeys.insert(entry.first);
            EXPECT_EQ(keys, englishKeys) << language << " " << group;
            for (const auto& [key, text] : englishTexts) {
                if (!translated.count(key)) continue;
                EXPECT_EQ(translated.at(key).empty(), text.empty()) << language << " " << key;
                EXPECT_EQ(Markup(translated.at(key)), Markup(text)) << language << " " << key;
            }
        }
    }
}

}  // namespace

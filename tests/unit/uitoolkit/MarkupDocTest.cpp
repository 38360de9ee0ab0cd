#include "uitoolkit/markup/MarkupDoc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "unit/uitoolkit/ZipBuilder.h"

namespace {

using ZembraUI::CMarkupDoc;
using ZembraUI::CMarkupElem;
using ZembraUI::MarkupEncoding;

bool Load(CMarkupDoc& doc, const std::string& text, MarkupEncoding encoding = MarkupEncoding::Utf8) {
    return doc.LoadFromMemory(reinterpret_cast<const unsigned char*>(text.data()), text.size(), encoding);
}

// The error text of a document that must fail, "" when it parses.
std::string ErrorOf(const std::string& text) {
    CMarkupDoc doc;
    if (Load(doc, text)) return "";
    EXPECT_FALSE(doc.GetRoot().IsValid()) << text;
    return doc.GetLastErrorMessage();
}

std::vector<unsigned char> Utf16(const std::u16string& text, bool bigEndian) {
    std::vector<unsigned char> bytes = bigEndian ? std::vector<unsigned char>{0xFE, 0xFF}
                                                 : std::vector<unsigned char>{0xFF, 0xFE};
    for (const char16_t unit : text) {
        const auto high = static_cast<unsigned char>(unit >> 8);
        const auto low = static_cast<unsigned char>(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

TEST(MarkupDocTest, BuildsTheElementTree) {
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc,
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                     "<!-- the window -->\n"
                     "<Window size=\"650,360\" caption=\"0,0,0,40\">\n"
                     "  <Font name=\"Arial\" size = \"12\" />\n"
                     "  <!-- between children -->\n"
                     "  <VerticalLayout>  some text  <Label name=\"a\"/><Label name=\"b\"></Label></VerticalLayout>\n"
                     "</Window>\n"))
        << doc.GetLastErrorMessage();

    const CMarkupElem root = doc.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_EQ(root.GetName(), "Window");
    EXPECT_FALSE(root.GetParent().IsValid());
    EXPECT_FALSE(root.GetSibling().IsValid());
    ASSERT_EQ(root.GetAttributeCount(), 2);
    EXPECT_EQ(root.GetAttributeName(0), "size");
    EXPECT_EQ(root.GetAttributeValue(0), "650,360");
    EXPECT_EQ(root.GetAttributeValue("caption"), "0,0,0,40");
    EXPECT_EQ(root.GetAttributeValue("Caption"), "");
    EXPECT_EQ(root.GetAttributeName(2), "");
    EXPECT_EQ(root.GetAttributeValue(-1), "");

    const CMarkupElem font = root.GetChild();
    EXPECT_EQ(font.GetName(), "Font");
    EXPECT_EQ(font.GetAttributeValue("size"), "12");
    EXPECT_FALSE(font.HasChildren());
    EXPECT_EQ(font.GetParent().GetName(), "Window");

    const CMarkupElem layout = font.GetSibling();
    EXPECT_EQ(layout.GetName(), "VerticalLayout");
    EXPECT_EQ(layout.GetValue(), "  some text  ");
    EXPECT_FALSE(layout.HasAttributes());
    EXPECT_TRUE(layout.HasChildren());
    const CMarkupElem first = layout.GetChild();
    EXPECT_EQ(first.GetAttributeValue("name"), "a");
    EXPECT_EQ(first.GetSibling().GetAttributeValue("name"), "b");
    EXPECT_FALSE(first.GetSibling().GetSibling().IsValid());
    EXPECT_EQ(first.GetParent().GetParent().GetName(), "Window");
    EXPECT_FALSE(layout.GetSibling().IsValid());

    std::string value = "stale";
    EXPECT_FALSE(first.GetAttributeValue("text", value));
    EXPECT_EQ(value, "");
}

TEST(MarkupDocTest, InvalidElementsAnswerEmpty) {
    const CMarkupElem none;
    EXPECT_FALSE(none.GetSibling().GetParent().IsValid());
    EXPECT_EQ(none.GetAttributeValue(0), "");
    EXPECT_EQ(none.GetAttributeValue("name"), "");
    EXPECT_FALSE(CMarkupDoc().GetRoot().IsValid());
}

TEST(MarkupDocTest, ElementsOutliveTheirDocument) {
    CMarkupElem label;
    {
        CMarkupDoc doc;
        ASSERT_TRUE(Load(doc, "<a><Label text=\"kept\"/></a>"));
        label = doc.GetRoot().GetChild();
        ASSERT_TRUE(Load(doc, "<b/>"));
    }
    EXPECT_EQ(label.GetAttributeValue("text"), "kept");
    EXPECT_EQ(label.GetParent().GetName(), "a");
}

TEST(MarkupDocTest, SeveralTopLevelElementsAreSiblings) {
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc, "<a/>\n<b/>"));
    EXPECT_EQ(doc.GetRoot().GetSibling().GetName(), "b");
}

TEST(MarkupDocTest, EveryErrorHasItsText) {
    EXPECT_EQ(ErrorOf("text before <a/>"), "Expected start tag");
    EXPECT_EQ(ErrorOf("<a><b/>tail</a>"), "Expected start tag");
    EXPECT_EQ(ErrorOf(""), "Expected start tag");
    EXPECT_EQ(ErrorOf("  <!-- only a comment -->  "), "Expected start tag");
    EXPECT_EQ(ErrorOf("< a/>"), "Error parsing element name");
    EXPECT_EQ(ErrorOf("<a><-b/></a>"), "Error parsing element name");
    EXPECT_EQ(ErrorOf("<a x=\"1\"/ >"), "Expected start-tag closing");
    EXPECT_EQ(ErrorOf("<a x=\"1\""), "Expected start-tag closing");
    EXPECT_EQ(ErrorOf("<a>text"), "Expected end-tag start");
    EXPECT_EQ(ErrorOf("<a><b/>"), "Expected end-tag start");
    EXPECT_EQ(ErrorOf("<a><b></b>\n"), "Expected end-tag start");
    EXPECT_EQ(ErrorOf("<Label text=\"x\"></label>"), "Unmatched closing tag");
    EXPECT_EQ(ErrorOf("<a></ab>"), "Unmatched closing tag");
    EXPECT_EQ(ErrorOf("<a></a"), "Unmatched closing tag");
    EXPECT_EQ(ErrorOf("</a>"), "Unmatched closing tag");
    EXPECT_EQ(ErrorOf("<a><b></a></b>"), "Unmatched closing tag");
    EXPECT_EQ(ErrorOf("<a =\"1\"/>"), "Error while parsing attributes");
    EXPECT_EQ(ErrorOf("<a x/>"), "Error while parsing attributes");
    EXPECT_EQ(ErrorOf("<a x-y=\"1\"/>"), "Error while parsing attributes");
    EXPECT_EQ(ErrorOf("<Label text='single'/>"), "Expected attribute value");
    EXPECT_EQ(ErrorOf("<a x=1/>"), "Expected attribute value");
    EXPECT_EQ(ErrorOf("<a x=\"never closed/>"), "Error while parsing attribute string");
}

TEST(MarkupDocTest, AnErrorLeavesNoTreeAndKeepsWhereItHappened) {
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc, "<ok/>"));
    const std::string tail(80, 'x');
    EXPECT_FALSE(Load(doc, "<a>\n  <b c='1'/>" + tail + "</a>"));
    EXPECT_FALSE(doc.GetRoot().IsValid());
    EXPECT_FALSE(doc.IsValid());
    EXPECT_EQ(doc.GetLastErrorMessage(), "Expected attribute value");
    const std::string location = doc.GetLastErrorLocation();
    EXPECT_EQ(location, ("'1'/>" + tail).substr(0, 49));

    // The location is cut at 49 characters, not in the middle of one.
    std::string wide;
    for (int i = 0; i < 60; ++i) wide += "\xC3\xA9";
    EXPECT_FALSE(Load(doc, "<a>" + wide));
    EXPECT_EQ(doc.GetLastErrorMessage(), "Expected end-tag start");
    EXPECT_EQ(doc.GetLastErrorLocation(), "");

    EXPECT_FALSE(Load(doc, "<a b='" + wide));
    EXPECT_EQ(doc.GetLastErrorLocation(), "'" + wide.substr(0, 48 * 2));

    ASSERT_TRUE(Load(doc, "<ok/>"));
    EXPECT_EQ(doc.GetLastErrorMessage(), "");
}

TEST(MarkupDocTest, KeepsTheFirst64Attributes) {
    std::string text = "<Label";
    for (int i = 0; i < 70; ++i) text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    text += "><Child/></Label>";
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc, text));
    const CMarkupElem label = doc.GetRoot();
    ASSERT_EQ(label.GetAttributeCount(), 64);
    EXPECT_EQ(label.GetAttributeName(63), "a63");
    EXPECT_EQ(label.GetAttributeValue("a63"), "63");
    EXPECT_EQ(label.GetAttributeValue("a64"), "");
    EXPECT_EQ(label.GetChild().GetName(), "Child");
    EXPECT_EQ(label.GetChild().GetAttributeCount(), 0);

    // Ignored attributes are still checked.
    EXPECT_EQ(ErrorOf(text.substr(0, text.size() - 17) + " bad='x'/>"), "Expected attribute value");
}

TEST(MarkupDocTest, DecodesTheFiveEntitiesOnly) {
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc,
                     "<Text a=\"R&amp;D\" b=\"Tom & Jerry\" c=\"&lt;&gt;&quot;&apos;\" d=\"&nbsp;&amp\" "
                     "e=\"&amp;amp;\">x &lt; y &amp; z &copy;</Text>"));
    const CMarkupElem text = doc.GetRoot();
    EXPECT_EQ(text.GetAttributeValue("a"), "R&D");
    EXPECT_EQ(text.GetAttributeValue("b"), "Tom & Jerry");
    EXPECT_EQ(text.GetAttributeValue("c"), "<>\"'");
    EXPECT_EQ(text.GetAttributeValue("d"), "&nbsp;&amp");
    EXPECT_EQ(text.GetAttributeValue("e"), "&amp;");
    EXPECT_EQ(text.GetValue(), "x < y & z &copy;");
}

TEST(MarkupDocTest, AttributeValuesMayHoldMarkupCharacters) {
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc, "<Text text=\"{b}bold{/b} <i> 'q' /> \" \n\t other = \"\"/>"));
    EXPECT_EQ(doc.GetRoot().GetAttributeValue("text"), "{b}bold{/b} <i> 'q' /> ");
    std::string value = "stale";
    EXPECT_TRUE(doc.GetRoot().GetAttributeValue("other", value));
    EXPECT_EQ(value, "");
}

TEST(MarkupDocTest, Encodings) {
    const std::string utf8 = "<Label text=\"caf\xC3\xA9 \xF0\x9F\x98\x80\"/>";
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc, "\xEF\xBB\xBF" + utf8));
    EXPECT_EQ(doc.GetRoot().GetAttributeValue("text"), "caf\xC3\xA9 \xF0\x9F\x98\x80");
    ASSERT_TRUE(Load(doc, utf8, MarkupEncoding::Ansi));
    EXPECT_EQ(doc.GetRoot().GetName(), "Label");

    const std::u16string utf16 = u"<Label text=\"caf\u00E9 \U0001F600\"/>";
    for (const bool bigEndian : {false, true}) {
        const auto bytes = Utf16(utf16, bigEndian);
        ASSERT_TRUE(doc.LoadFromMemory(bytes.data(), bytes.size(), MarkupEncoding::Utf16)) << bigEndian;
        EXPECT_EQ(doc.GetRoot().GetAttributeValue("text"), "caf\xC3\xA9 \xF0\x9F\x98\x80");
    }
    auto noMark = Utf16(utf16, false);
    noMark.erase(noMark.begin(), noMark.begin() + 2);
    EXPECT_FALSE(doc.LoadFromMemory(noMark.data(), noMark.size(), MarkupEncoding::Utf16));
    EXPECT_FALSE(doc.GetLastErrorMessage().empty());

    // A lone surrogate is replaced, not dropped or decoded into garbage.
    const auto lone = Utf16(u"<a t=\"\xD800x\"/>", false);
    ASSERT_TRUE(doc.LoadFromMemory(lone.data(), lone.size(), MarkupEncoding::Utf16));
    EXPECT_EQ(doc.GetRoot().GetAttributeValue("t"), "\xEF\xBF\xBDx");
}

TEST(MarkupDocTest, LargeAndDeepDocuments) {
    std::string wide = "<List>";
    for (int i = 0; i < 5000; ++i) wide += "<Item n=\"" + std::to_string(i) + "\"/>";
    wide += "</List>";
    CMarkupDoc doc;
    ASSERT_TRUE(Load(doc, wide));
    int count = 0;
    std::string last;
    for (CMarkupElem item = doc.GetRoot().GetChild(); item.IsValid(); item = item.GetSibling()) {
        ++count;
        last = item.GetAttributeValue("n");
    }
    EXPECT_EQ(count, 5000);
    EXPECT_EQ(last, "4999");

    // Nesting depth is not limited by the stack.
    constexpr int kDepth = 200000;
    std::string deep;
    for (int i = 0; i < kDepth; ++i) deep += "<d>";
    for (int i = 0; i < kDepth; ++i) deep += "</d>";
    ASSERT_TRUE(Load(doc, deep));
    CMarkupElem element = doc.GetRoot();
    int depth = 0;
    while (element.HasChildren()) {
        element = element.GetChild();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth - 1);
}

class MarkupFileTest : public ::testing::Test {
protected:
    void TearDown() override {
        ZembraUI::CSkinArchive::Close();
        ZembraUI::CSkinArchive::SetResourceFolder("");
    }
};

TEST_F(MarkupFileTest, LoadsFromTheArchiveAndReportsReadErrors) {
    const auto zip = testsupport::BuildZip({{"configure/configure.xml", "<A><B name=\"x\"/></A>"},
                                            {"empty.xml", ""},
                                            {"broken.xml", "<A></a>"}});
    ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(zip.data(), zip.size()));
    CMarkupDoc doc;
    ASSERT_TRUE(doc.LoadFromFile("Configure\\configure.xml"));
    EXPECT_EQ(doc.GetRoot().GetChild().GetAttributeValue("name"), "x");

    EXPECT_FALSE(doc.LoadFromFile("missing.xml"));
    EXPECT_FALSE(doc.GetRoot().IsValid());
    EXPECT_EQ(doc.GetLastErrorMessage(), "Could not find ziped file");
    EXPECT_EQ(doc.GetLastErrorLocation(), "missing.xml");
    EXPECT_FALSE(doc.LoadFromFile("empty.xml"));
    EXPECT_EQ(doc.GetLastErrorMessage(), "File is empty");
    EXPECT_FALSE(doc.LoadFromFile("broken.xml"));
    EXPECT_EQ(doc.GetLastErrorMessage(), "Unmatched closing tag");
}

TEST_F(MarkupFileTest, LoadsFromTheResourceFolder) {
    testsupport::TempDir dir;
    dir.WriteFile("language/English.xml", "<Language><Text id=\"1\">Install</Text></Language>");
    ZembraUI::CSkinArchive::SetResourceFolder(dir.str());
    CMarkupDoc doc;
    ASSERT_TRUE(doc.LoadFromFile("language\\English.xml"));
    EXPECT_EQ(doc.GetRoot().GetChild().GetValue(), "Install");
    EXPECT_FALSE(doc.LoadFromFile("language\\German.xml"));
    EXPECT_EQ(doc.GetLastErrorMessage(), "Error opening file");
}

}  // namespace

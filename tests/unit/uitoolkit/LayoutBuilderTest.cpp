// Building control trees from layout files: resources, attribute order,
// includes, unknown tags and hostile input.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "uitoolkit/controls/ContainerUI.h"
#include "uitoolkit/controls/LabelUI.h"
#include "uitoolkit/markup/ControlRegistry.h"
#include "uitoolkit/markup/DialogBuilderCallback.h"
#include "uitoolkit/markup/LayoutBuilder.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "unit/uitoolkit/UiTestSupport.h"

namespace {

using UiTests::TestWindow;
using ZembraUI::CContainerUI;
using ZembraUI::CSkinArchive;

// Layout files in a resource folder of their own for the test's life.
class SkinFolder {
public:
    SkinFolder() {
        CSkinArchive::Close();
        CSkinArchive::SetResourceFolder(dir_.str());
    }
    ~SkinFolder() { CSkinArchive::SetResourceFolder(""); }
    void Write(const std::string& name, const std::string& text) { dir_.WriteFile(name, text); }

private:
    testsupport::TempDir dir_;
};

class Factory : public ZembraUI::IDialogBuilderCallback {
public:
    ZembraUI::CControlUI* CreateControl(const std::string& className) override {
        asked.push_back(className);
        return className == "Banner" ? new ZembraUI::CLabelUI : nullptr;
    }
    std::vector<std::string> asked;
};

TEST(LayoutBuilderTest, DefaultsComeFirstThenTheElementsOwnAttributesInOrder) {
    TestWindow t(R"(<Window size="300,120" caption="0,0,0,40" alpha="200" linkfontcolor="#FF112233">
        <Default name="Label" value="text=&quot;from default&quot; height=&quot;5&quot; width=&quot;9&quot;" />
        <VerticalLayout>
            <Label name="own" height="7" text="first" text="second" />
            <Label name="plain" />
        </VerticalLayout></Window>)");
    EXPECT_EQ(t["own"]->Text(), "second");
    EXPECT_EQ(t["own"]->FixedHeight(), 7);
    EXPECT_EQ(t["own"]->FixedWidth(), 9);
    EXPECT_EQ(t["plain"]->Text(), "from default");

    const ZembraUI::WindowAttributes& window = t.window.Manager().Window();
    EXPECT_EQ(t.window.Manager().ClientSize(), (ZembraUI::UISize{300, 120}));
    EXPECT_EQ(window.caption, (ZembraUI::UIRect{0, 0, 0, 40}));
    EXPECT_EQ(window.opacity, 200);
    EXPECT_TRUE(t.window.Host().Layered());
    EXPECT_EQ(window.linkTextColor, 0xFF112233u);
}

TEST(LayoutBuilderTest, FontsAreNumberedByTheirPlaceNotTheirId) {
    std::string fonts;
    for (int i = 0; i < 9; ++i) {
        fonts += "<Font name=\"Noto Sans\" size=\"" + std::to_string(10 + i) + "\"" + (i == 8 ? " id=\"8\"" : "") +
                 (i == 3 ? " id=\"0\" default=\"true\" bold=\"true\"" : "") + " />";
    }
    TestWindow t("<Window>" + fonts + "<Control /></Window>");
    ZembraUI::CUIManager& manager = t.window.Manager();
    EXPECT_EQ(manager.FontCount(), 9);
    EXPECT_EQ(manager.FontAt(8).size, 18);
    EXPECT_EQ(manager.FontAt(0).size, 10);
    EXPECT_EQ(manager.DefaultFont().size, 13);
    EXPECT_TRUE(manager.DefaultFont().bold);
    EXPECT_EQ(manager.FontAt(99), manager.DefaultFont());
}

TEST(LayoutBuilderTest, IncludesRepeatAndNeverLoop) {
    SkinFolder skin;
    skin.Write("row.xml", R"(<Window><Label name="row" text="r" /><Include source="loop.xml" /></Window>)");
    skin.Write("loop.xml", R"(<Window><Label name="looped" /><Include source="LOOP.xml" /></Window>)");
    skin.Write("main.xml", R"(<Window size="100,100"><VerticalLayout name="list">
        <Include source="row.xml" count="3" /><Include source="missing.xml" />
    </VerticalLayout></Window>)");
    ZembraUI::CHeadlessWindow window;
    ASSERT_TRUE(window.Load("main.xml")) << window.LastError();
    auto* list = static_cast<CContainerUI*>(window.Manager().ControlByName("list"));
    // Each round: the row, then loop.xml once (its include of itself stops).
    ASSERT_EQ(list->Count(), 6);
    EXPECT_EQ(list->ItemAt(0)->Name(), "row");
    EXPECT_EQ(list->ItemAt(1)->Name(), "looped");

    ZembraUI::CHeadlessWindow broken;
    EXPECT_FALSE(broken.Load("absent.xml"));
    EXPECT_FALSE(broken.LastError().empty());
}

TEST(LayoutBuilderTest, UnknownTagsGoToRegisteredCreatorsThenTheCallbackOrAreSkipped) {
    ASSERT_TRUE(ZembraUI::CControlRegistry::Register("Badge", [] { return new ZembraUI::CLabelUI; }));
    EXPECT_FALSE(ZembraUI::CControlRegistry::Register("Label", [] { return new ZembraUI::CLabelUI; }));
    ZembraUI::CHeadlessWindow window;
    Factory factory;
    ASSERT_TRUE(window.LoadMarkup(R"(<Window><VerticalLayout name="root" unknownattr="x">
        <Banner name="banner" /><Badge name="badge" /><Gadget name="gadget"><Label name="inner" /></Gadget>
        <Label name="leaf"><Button name="refused" /></Label>
    </VerticalLayout></Window>)",
                                  &factory));
    ZembraUI::CControlRegistry::Unregister("Badge");
    ZembraUI::CUIManager& manager = window.Manager();
    EXPECT_NE(manager.ControlByName("banner"), nullptr);
    EXPECT_NE(manager.ControlByName("badge"), nullptr);
    EXPECT_EQ(factory.asked, (std::vector<std::string>{"Banner", "Gadget"}));
    EXPECT_EQ(manager.ControlByName("gadget"), nullptr);
    EXPECT_EQ(manager.ControlByName("inner"), nullptr);
    // A label holds no children: the button is destroyed.
    EXPECT_EQ(manager.ControlByName("refused"), nullptr);
    EXPECT_EQ(static_cast<CContainerUI*>(manager.ControlByName("root"))->Count(), 3);
}

TEST(LayoutBuilderTest, HostileLayoutsBuildWhatTheyCan) {
    std::string deep = "<Window>";
    for (int i = 0; i < 10000; ++i) deep += "<VerticalLayout>";
    for (int i = 0; i < 10000; ++i) deep += "</VerticalLayout>";
    deep += "</Window>";
    ZembraUI::CHeadlessWindow nested;
    ASSERT_TRUE(nested.LoadMarkup(deep));
    nested.Pump();
    int depth = 0;
    for (ZembraUI::CControlUI* c = nested.Root(); c != nullptr;
         c = static_cast<CContainerUI*>(c->AsInterface("IContainer"))->ItemAt(0)) {
        ++depth;
    }
    EXPECT_EQ(depth, ZembraUI::CLayoutBuilder::kMaxDepth);

    ZembraUI::CHeadlessWindow absurd;
    ASSERT_TRUE(absurd.LoadMarkup(R"(<Window size="-5,99999999"><Font size="-3" /><Font size="900000000" />
        <VerticalLayout childpadding="2147483647" inset="-9999,-9999,99999,99999">
        <Label width="2147483647" height="-40" padding="-2147483648,0,0,0" font="2147483647" text="x" />
        <Text showhtml="true" text="{f 99999999}{c #GGG}{a}{u}unclosed{p 99999}{/x}{/c}{/c}" />
        <Progress min="2147483647" max="-2147483648" value="5" foreimage="missing.png" />
        </VerticalLayout></Window>)"));
    absurd.Resize({200, 100});
    absurd.Pump();
    EXPECT_EQ(absurd.Manager().FontCount(), 0);
}

}  // namespace

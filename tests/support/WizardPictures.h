#pragma once
// Checks on what the wizard and its boxes show, shared by the headless and
// the real-window tests: the texts a language file gives the controls, and
// ink (dark pixels) in a painted area.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "EnumLanguage.h"
#include "LanguageTexts.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/MarkupDoc.h"

namespace testsupport {

// Every install_page key of the language's file that names a control, with
// its text; the three format texts are filled in and left out here.
inline std::vector<std::pair<std::string, std::string>> LanguageControlTexts(ZembraUI::CUIManager& manager,
                                                                             EnumLanguage language) {
    ZembraUI::CMarkupDoc document;
    EXPECT_TRUE(document.LoadFromFile(std::string("language\\") + LanguageFileOf(language)));
    std::vector<std::pair<std::string, std::string>> texts;
    const auto page = FuntionImpl::LanguageGroupIn(document, "install_page");
    for (auto label = page.GetChild(); label.IsValid(); label = label.GetSibling()) {
        const std::string key = label.GetAttributeValue("name");
        if (key == "install_label" || key == "space_need" || key == "space_free") continue;
        if (manager.ControlByName(key) != nullptr) texts.emplace_back(key, label.GetAttributeValue("text"));
    }
    return texts;
}

// Pixels of area in an ARGB32 picture whose blue channel is dark: drawn text
// on the skin's light backgrounds.
inline int InkIn(cairo_surface_t* picture, const ZembraUI::UIRect& area) {
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(picture));
    const int stride = cairo_image_surface_get_stride(picture) / 4;
    int ink = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) ink += (pixels[y * stride + x] & 0xFF) < 0x80;
    }
    return ink;
}

}  // namespace testsupport

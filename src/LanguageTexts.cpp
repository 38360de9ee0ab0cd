#include "LanguageTexts.h"

#include <easylogging++.h>

#include "platform/Locale.h"
#include "reportsdk/DeviceFacts.h"
#include "uitoolkit/markup/MarkupDoc.h"

namespace FuntionImpl {

namespace {

// The first element below parent (depth first) whose name attribute is name.
ZembraUI::CMarkupElem FindNamed(const ZembraUI::CMarkupElem& parent, const std::string& name) {
    for (auto child = parent.GetChild(); child.IsValid(); child = child.GetSibling()) {
        if (child.GetAttributeValue("name") == name) return child;
        if (auto found = FindNamed(child, name); found.IsValid()) return found;
    }
    return {};
}

std::string LanguageFilePath(EnumLanguage language) {
    return std::string("language\\") + LanguageFileOf(language);
}

}  // namespace

EnumLanguage GetLanguageByLocalSystem() {
    const int languageId = platform::CurrentUiLocale().languageId;
    LOG(INFO) << " GetLanguageByLocalSystem: " << languageId;
    return LanguageOfWindowsId(languageId);
}

std::string GetSystemRegion() {
    const std::string region = platform::CurrentUiLocale().country;
    LOG(INFO) << " System Region info is : " << region;
    return region;
}

std::string GetUiLanguageName() { return DeviceFacts::UiLanguageName(); }

std::string GetWebLanguageCode(EnumLanguage language) { return WebCodeOf(language); }

std::optional<std::string> LanguageTextIn(const ZembraUI::CMarkupDoc& document, const std::string& group,
                                          const std::string& key) {
    const auto root = document.GetRoot();
    if (!root.IsValid()) return std::nullopt;
    const auto container = FindNamed(root, group);
    if (!container.IsValid()) return std::nullopt;
    for (auto label = container.GetChild(); label.IsValid(); label = label.GetSibling()) {
        std::string text;
        if (label.GetAttributeValue("name") == key) {
            label.GetAttributeValue("text", text);
            return text;
        }
    }
    return std::nullopt;
}

std::string GetLanguageText(const std::string& group, const std::string& key, EnumLanguage language) {
    language = NormalizedLanguage(language);
    ZembraUI::CMarkupDoc document;
    if (document.LoadFromFile(LanguageFilePath(language))) {
        if (auto text = LanguageTextIn(document, group, key)) return *text;
        if (language != English) {
            LOG(INFO) << " Language text " << group << "/" << key << " missing in " << LanguageFileOf(language)
                      << ", the English text is used";
        }
    } else {
        LOG(INFO) << " Language file " << LanguageFileOf(language) << " does not load ("
                  << document.GetLastErrorMessage() << "), the English text is used";
    }
    if (language != English && document.LoadFromFile(LanguageFilePath(English))) {
        if (auto text = LanguageTextIn(document, group, key)) return *text;
    }
    LOG(INFO) << " Language text " << group << "/" << key << " not found";
    return {};
}

EnumLanguage ChooseLanguageItem(EnumLanguage wanted, int itemCount, const std::function<bool(int)>& itemVisible) {
    if (itemCount <= 0) return English;
    if (wanted >= 0 && wanted < itemCount && itemVisible(wanted)) return wanted;
    for (int item = 0; item < itemCount; ++item) {
        if (itemVisible(item)) return NormalizedLanguage(item);
    }
    return English;
}

EnumLanguage StartLanguageForShippedList() {
    return ChooseLanguageItem(GetLanguageByLocalSystem(), kLanguageCount, [](int item) {
        return !HiddenInShippedList(static_cast<EnumLanguage>(item));
    });
}

}  // namespace FuntionImpl

#pragma once
// The texts of a skin language file applied to a built tree: every element
// of the language's block that has a name and a text sets the text of the
// control of that name.
#include <string>

namespace ZembraUI {
class CUIManager;
}

namespace skinshot {

// The language file's block name for a language code ("ar" -> "arabic"),
// empty for an unknown code.
std::string LanguageName(const std::string& code);
// Applies language/language_<name>.xml of the skin; returns the number of
// texts set, or -1 when the file is missing or unreadable.
int ApplyLanguageTexts(ZembraUI::CUIManager& manager, const std::string& languageName);

}  // namespace skinshot

#pragma once
// Languages and texts: the start language taken from the user's locale, the
// user's region and UI-language name, and the texts of the skin's language
// files. Any thread may call these; they keep no state.
#include <functional>
#include <optional>
#include <string>

#include "EnumLanguage.h"

namespace ZembraUI {
class CMarkupDoc;
}

namespace FuntionImpl {

// The language of the user's UI locale (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG), by its Windows language id; logs the id.
EnumLanguage GetLanguageByLocalSystem();
// The user's two-letter country ("CH"); logs it.
std::string GetSystemRegion();
// "Language_Country" of the user's UI language, as analytics name it.
std::string GetUiLanguageName();
// The language's code for the web services ("en", "zh-cn", ...).
std::string GetWebLanguageCode(EnumLanguage language);

// The text of key in the container named group ("install_page",
// "message_page") of the language's file in the skin. A file that does not
// load or lacks the key gives the English text, with a log line; "" when the
// English file lacks it too.
std::string GetLanguageText(const std::string& group, const std::string& key, EnumLanguage language);
// The text of key in group of a loaded language file; nullopt when missing.
std::optional<std::string> LanguageTextIn(const ZembraUI::CMarkupDoc& document, const std::string& group,
                                          const std::string& key);

// The language list's choice for wanted: wanted when its item is visible,
// else the first item when visible, else the first visible item, else 0.
// itemCount 0 gives English.
EnumLanguage ChooseLanguageItem(EnumLanguage wanted, int itemCount, const std::function<bool(int)>& itemVisible);
// The language the wizard starts in with the shipped language list (Thai,
// Malay, Swedish and Czech hidden): a Czech locale starts in English.
EnumLanguage StartLanguageForShippedList();

}  // namespace FuntionImpl

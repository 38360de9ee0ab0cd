#pragma once
// The user's UI language and region, taken from the locale environment and
// expressed the way the installer's tables expect: a Windows language id and
// a two-letter country.
#include <string>
#include <string_view>

namespace platform {

struct UiLocale {
    int languageId = 1033;   // e.g. 4108 for fr_CH
    std::string country;     // e.g. "CH"; empty when the locale names none
};

// LC_ALL, then LC_MESSAGES, then LANG; "C"/"POSIX"/unset give en_US (1033, "US").
UiLocale CurrentUiLocale();
// "fr_CH.UTF-8@euro" -> {4108, "CH"}; unknown language -> {1033, country}.
UiLocale UiLocaleFromName(std::string_view localeName);

}  // namespace platform

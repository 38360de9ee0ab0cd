#pragma once
// The user's UI language and region, taken from the locale environment and
// expressed the way the installer's tables expect: a Windows language id and
// a two-letter country.
#include <functional>
#include <string>
#include <string_view>

namespace platform {

struct UiLocale {
    int languageId = 1033;   // e.g. 4108 for fr_CH
    std::string country;     // e.g. "CH"; empty when the locale names none
};

// The first of LANGUAGE (its first entry), LC_ALL, LC_MESSAGES and LANG that
// is set; "C"/"POSIX"/unset give en_US (1033, "US"). A name without a
// country (LANGUAGE=fr) takes the country of the next locale that has one.
UiLocale CurrentUiLocale();
// The same rule over any lookup of environment variables (null: unset).
UiLocale UiLocaleFromEnvironment(const std::function<const char*(const char*)>& lookup);
// "fr_CH.UTF-8@euro" -> {4108, "CH"}; unknown language -> {1033, country}.
UiLocale UiLocaleFromName(std::string_view localeName);

}  // namespace platform

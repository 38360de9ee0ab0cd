#include "EnumLanguage.h"

namespace {

struct LanguageRow {
    const char* englishName;
    const char* webCode;
    const char* setupCode;
};

constexpr LanguageRow kLanguages[kLanguageCount] = {
    {"English", "en", "en"},         {"Japanese", "ja", "ja"},     {"Chinese", "zh-cn", "zhcn"},
    {"Spanish", "es", "es"},         {"German", "de", "de"},       {"French", "fr", "fr"},
    {"Russian", "ru", "ru"},         {"Portuguese", "pt", "pt"},   {"Arabic", "ar", "ar"},
    {"Italiano", "it", "it"},        {"ChineseTrad", "zh-tw", "zhtw"}, {"Korean", "ko", "ko"},
    {"Nederlands", "nl", "nl"},      {"Indonesian", "id", "id"},   {"Turkish", "tr", "tr"},
    {"Hindi", "hi", "hi"},           {"Thai", "th", "th"},         {"Malay", "my", "my"},
    {"Swedish", "se", "se"},         {"Czech", "cz", "cz"},
};

}  // namespace

EnumLanguage NormalizedLanguage(int value) {
    return value >= 0 && value < kLanguageCount ? static_cast<EnumLanguage>(value) : English;
}

const char* EnglishNameOf(EnumLanguage language) {
    return kLanguages[NormalizedLanguage(language)].englishName;
}

const char* WebCodeOf(EnumLanguage language) {
    return kLanguages[NormalizedLanguage(language)].webCode;
}

const char* SetupCodeOf(EnumLanguage language) {
    return kLanguages[NormalizedLanguage(language)].setupCode;
}

#include "EnumLanguage.h"

#include <algorithm>
#include <initializer_list>

namespace {

struct LanguageRow {
    const char* englishName;
    const char* webCode;
    const char* setupCode;
    const char* fileName;
    const char* licenceControl;
    const char* listItemText;
    int licenceBaseHeight;
};

constexpr LanguageRow kLanguages[kLanguageCount] = {
    {"English", "en", "en", "language_english.xml", "license_english", " English", 1370},
    {"Japanese", "ja", "ja", "language_japanese.xml", "license_japanese", " 日本語", 1320},
    {"Chinese", "zh-cn", "zhcn", "language_chinese.xml", "license_chinese", " 简体中文", 1095},
    {"Spanish", "es", "es", "language_spanish.xml", "license_spanish", " Español", 1440},
    {"German", "de", "de", "language_german.xml", "license_german", " Deutsch", 1485},
    {"French", "fr", "fr", "language_french.xml", "license_french", " Français", 1410},
    {"Russian", "ru", "ru", "language_russian.xml", "license_russian", " Русский", 1445},
    {"Portuguese", "pt", "pt", "language_portuguese.xml", "license_portuguese", " Português", 1295},
    {"Arabic", "ar", "ar", "language_arabic.xml", "license_arabic", " العربية", 1195},
    {"Italiano", "it", "it", "language_italiano.xml", "license_italiano", " Italiano", 1345},
    {"ChineseTrad", "zh-tw", "zhtw", "language_chinesetrad.xml", "license_chinesetrad", " 繁體中文", 1095},
    {"Korean", "ko", "ko", "language_korean.xml", "license_korean", " 한국어", 1175},
    {"Nederlands", "nl", "nl", "language_nederland.xml", "license_nederlands", " Nederlands", 1485},
    {"Indonesian", "id", "id", "language_indonesian.xml", "license_indonesian", " Bahasa Indonesia", 1370},
    {"Turkish", "tr", "tr", "language_turkish.xml", "license_turkish", " Türkçe", 1370},
    {"Hindi", "hi", "hi", "language_hindi.xml", "license_hindi", " हिंदी", 1370},
    {"Thai", "th", "th", "language_thai.xml", "license_thai", " ภาษาไทย", 1175},
    {"Malay", "my", "my", "language_malay.xml", "license_malay", " Bahasa Melayu", 1410},
    {"Swedish", "se", "se", "language_swedish.xml", "license_swedish", " Svenska", 1410},
    {"Czech", "cz", "cz", "language_czech.xml", "license_czech", " Čeština", 1410},
};

struct WindowsIds {
    EnumLanguage language;
    std::initializer_list<int> ids;
};

// Windows UI language ids by language; every other id is English.
const WindowsIds kWindowsIds[] = {
    {Japanese, {1041}},
    {Chinese, {2052}},
    {Spanish, {1034, 2058, 3082, 4106, 5130, 6154, 7178, 8202, 9226, 10250, 11274, 12298, 13322, 14346, 15370,
               16394, 17418, 18442, 19466, 20490}},
    {German, {1031, 2055, 3079, 4103, 5127}},
    {French, {1036, 2060, 3084, 4108, 5132}},
    {Russian, {1049}},
    {Portuguese, {1046, 2070}},
    {Arabic, {1025}},
    {Italiano, {1040, 2064}},
    {ChineseTrad, {1028, 3076}},
    {Korean, {1042, 2066}},
    {Nederlands, {1043, 2067}},
    {Indonesian, {1057}},
    {Turkish, {1055}},
    {Hindi, {1081}},
    {Thai, {1054}},
    {Malay, {1086, 2110}},
    {Swedish, {1053, 2077}},
    {Czech, {1029}},
};

const LanguageRow& RowOf(EnumLanguage language) { return kLanguages[NormalizedLanguage(language)]; }

}  // namespace

EnumLanguage NormalizedLanguage(int value) {
    return value >= 0 && value < kLanguageCount ? static_cast<EnumLanguage>(value) : English;
}

const char* EnglishNameOf(EnumLanguage language) { return RowOf(language).englishName; }
const char* WebCodeOf(EnumLanguage language) { return RowOf(language).webCode; }
const char* SetupCodeOf(EnumLanguage language) { return RowOf(language).setupCode; }
const char* LanguageFileOf(EnumLanguage language) { return RowOf(language).fileName; }
const char* LicenceControlOf(EnumLanguage language) { return RowOf(language).licenceControl; }
const char* ListItemTextOf(EnumLanguage language) { return RowOf(language).listItemText; }

const char* TextLanguageTagOf(EnumLanguage language) {
    // The web codes of these three are not the languages' standard tags.
    switch (NormalizedLanguage(language)) {
        case Malay: return "ms";
        case Swedish: return "sv";
        case Czech: return "cs";
        default: return WebCodeOf(language);
    }
}

bool HiddenInShippedList(EnumLanguage language) { return NormalizedLanguage(language) >= Thai; }

EnumLanguage LanguageOfWindowsId(int languageId) {
    for (const WindowsIds& row : kWindowsIds) {
        if (std::find(row.ids.begin(), row.ids.end(), languageId) != row.ids.end()) return row.language;
    }
    return English;
}

int LicencePanelHeight(int language, int siteId) {
    constexpr int kPanelExtra = 170;
    constexpr int kOtherBase = 1765;
    if (language < 0 || language >= kLanguageCount) return kOtherBase + kPanelExtra;
    int base = kLanguages[language].licenceBaseHeight;
    if (language == Chinese) {
        for (int site : {54, 93, 118, 127, 133, 290, 550})
            if (siteId == site) base = 1900;
        if (siteId == 521) base = 1300;
    }
    return base + kPanelExtra;
}

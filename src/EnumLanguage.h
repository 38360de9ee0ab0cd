#pragma once
// The twenty UI languages; the value is also the position in the language
// list. With each language go its language file, licence control, web and
// setup codes, English name, list text and licence panel height.
#include <string>

enum EnumLanguage : int {
    English = 0,
    Japanese = 1,
    Chinese = 2,
    Spanish = 3,
    German = 4,
    French = 5,
    Russian = 6,
    Portuguese = 7,
    Arabic = 8,
    Italiano = 9,
    ChineseTrad = 10,
    Korean = 11,
    Nederlands = 12,
    Indonesian = 13,
    Turkish = 14,
    Hindi = 15,
    Thai = 16,
    Malay = 17,
    Swedish = 18,
    Czech = 19,
};

constexpr int kLanguageCount = 20;

// Values outside 0..19 take English.
EnumLanguage NormalizedLanguage(int value);
// "English", "Japanese", ... (the label of the "SetLanguage" event).
const char* EnglishNameOf(EnumLanguage language);
// "en", "ja", "zh-cn", ... (content service, links, analytics).
const char* WebCodeOf(EnumLanguage language);
// "en", "ja", "zhcn", ... (handed to the setup and the installed product).
const char* SetupCodeOf(EnumLanguage language);
// "language_english.xml", ... in the skin folder "language".
const char* LanguageFileOf(EnumLanguage language);
// "license_english", ...: the rich edit holding the language's licence text.
const char* LicenceControlOf(EnumLanguage language);
// " English", " 日本語", ...: the language list's item text.
const char* ListItemTextOf(EnumLanguage language);
// The language tag text is shaped with ("ms" for Malay where the web code
// says "my"), so each script gets its own faces.
const char* TextLanguageTagOf(EnumLanguage language);
// Thai, Malay, Swedish and Czech are hidden in the shipped language list.
bool HiddenInShippedList(EnumLanguage language);

// The language a Windows UI language id stands for; English for every id
// not in the table.
EnumLanguage LanguageOfWindowsId(int languageId);

// Fixed height of the licence panel: the language's base height plus 170.
// Chinese depends on the site id; a value outside 0..19 takes 1765.
int LicencePanelHeight(int language, int siteId);

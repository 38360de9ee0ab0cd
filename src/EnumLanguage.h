#pragma once
// The twenty UI languages; the value is also the position in the language list.
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

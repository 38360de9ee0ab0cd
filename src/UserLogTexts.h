#pragma once
// The texts the funnel and event logger composes: the GA4 hit tail, the
// funnel event JSON and the few derived values they carry. Pure functions,
// so every rule is tested without a report library.
#include <map>
#include <string>
#include <utility>

#include <json/json.h>

namespace UserLogTexts {

// The tail is composed in a buffer of this many bytes (terminator included).
constexpr std::size_t kTailBuffer = 4096;

// The text between the last "_" and the last "." of the program's file name;
// when the "." comes first, everything after the "_"; "" without either.
std::string CrossEndIdOfFileName(const std::string& fileName);
// "English_United States" -> {"English", "United States"}; without "_" both "Unknown".
std::pair<std::string, std::string> LanguageAndCountry(const std::string& uiLanguageName);
// OS name followed by " 64bit" or " 32bit".
std::string OsText(const std::string& osName, bool sixtyFourBit);
// "[a~b]s": a the seconds rounded down to a multiple of 3, b = a + 3.
std::string ElapsedBucket(long long seconds);

// The values every GA4 hit carries besides its category, action and label.
struct Ga4Dimensions {
    std::string measurementId;
    std::string toolsVersion;
    std::string trafficClass;  // cd2
    std::string channel;       // cd3
    std::string product;       // cd4
    std::string uiCountry;     // cd5
    std::string uiLanguage;    // cd6
    std::string osText;        // cd7
    bool kitFlag = false;      // cd8: 0 for a kit, else 1
};
// The tail as the library receives it. It stays within the buffer: a label
// too long for it is shortened (never a character cut in two), so the keys
// after the label are always present.
std::string Ga4Tail(const Ga4Dimensions& dimensions, const std::string& category, const std::string& action,
                    const std::string& label);

// The fields every funnel event carries.
struct FunnelCommon {
    bool isNew = false;
    std::string product;
    std::string productVersion;
    std::string crossEndId;
    std::string toolsVersion;
    std::string toolsLang;
    bool kitFlag = false;
    int mainPid = 0;
};
Json::Value StepEvent(const FunnelCommon& common, const std::string& eventType, const std::string& coreFuncName,
                      int funcStep, const std::string& category, const std::string& action, const std::string& label,
                      bool bKit);
Json::Value ParameterEvent(const FunnelCommon& common, const std::string& category, const std::string& action,
                           const std::map<std::string, std::string>& params, bool bKit);

}  // namespace UserLogTexts

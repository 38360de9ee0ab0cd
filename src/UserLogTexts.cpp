#include "UserLogTexts.h"

namespace UserLogTexts {

namespace {

// The longest prefix of text within bytes that does not end inside a character.
std::string Utf8Prefix(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string ComposeTail(const Ga4Dimensions& d, const std::string& category, const std::string& action,
                        const std::string& label) {
    return "&tid=" + d.measurementId + "&ep.qk_productname=Downloader&ep.qk_productversion=" + d.toolsVersion +
           "&ep.qk_category=" + category + "&ep.qk_action=" + action + "&ep.qk_label=" + label + "&en=" + action +
           "&ep.cd1=" + d.toolsVersion + "&ep.cd2=" + d.trafficClass + "&ep.cd3=" + d.channel + "&ep.cd4=" +
           d.product + "&ep.cd5=" + d.uiCountry + "&ep.cd6=" + d.uiLanguage + "&ep.cd7=" + d.osText +
           "&ep.cd8=" + (d.kitFlag ? "0" : "1");
}

Json::Value CommonPart(const FunnelCommon& common, bool bKit) {
    Json::Value event(Json::objectValue);
    event["is_new"] = common.isNew ? 1 : 0;
    event["brand"] = "PC";
    event["model"] = "PC";
    event["product"] = common.product;
    event["product_version"] = common.productVersion;
    event["email"] = "";
    event["phone"] = "";
    event["cross_end_id"] = common.crossEndId;
    event["rnclid"] = common.crossEndId;
    event["source_type"] = "downloader";
    event["tools_version"] = common.toolsVersion;
    event["tools_lang"] = common.toolsLang;
    event["kit_type"] = bKit ? 2 : (common.kitFlag ? 1 : 0);
    event["pid"] = common.mainPid;
    return event;
}

}  // namespace

std::string CrossEndIdOfFileName(const std::string& fileName) {
    const auto underscore = fileName.rfind('_');
    const auto dot = fileName.rfind('.');
    if (underscore == std::string::npos || dot == std::string::npos) return "";
    if (dot < underscore) return fileName.substr(underscore + 1);
    return fileName.substr(underscore + 1, dot - underscore - 1);
}

std::pair<std::string, std::string> LanguageAndCountry(const std::string& uiLanguageName) {
    const auto underscore = uiLanguageName.find('_');
    if (underscore == std::string::npos) return {"Unknown", "Unknown"};
    return {uiLanguageName.substr(0, underscore), uiLanguageName.substr(underscore + 1)};
}

std::string OsText(const std::string& osName, bool sixtyFourBit) {
    return osName + (sixtyFourBit ? " 64bit" : " 32bit");
}

std::string ElapsedBucket(long long seconds) {
    const long long from = seconds / 3 * 3;
    return "[" + std::to_string(from) + "~" + std::to_string(from + 3) + "]s";
}

std::string Ga4Tail(const Ga4Dimensions& dimensions, const std::string& category, const std::string& action,
                    const std::string& label) {
    const std::size_t limit = kTailBuffer - 1;
    std::string tail = ComposeTail(dimensions, category, action, label);
    if (tail.size() <= limit) return tail;
    const std::size_t fixed = tail.size() - label.size();
    if (fixed >= limit) return ComposeTail(dimensions, category, action, "");
    return ComposeTail(dimensions, category, action, Utf8Prefix(label, limit - fixed));
}

Json::Value StepEvent(const FunnelCommon& common, const std::string& eventType, const std::string& coreFuncName,
                      int funcStep, const std::string& category, const std::string& action, const std::string& label,
                      bool bKit) {
    Json::Value actions(Json::objectValue);
    actions["event_category"] = category;
    actions["event_action"] = action;
    actions["event_label"] = label;
    if (!coreFuncName.empty()) {
        actions["core_func_name"] = coreFuncName;
        actions["func_step"] = funcStep;
    }
    actions["event_type"] = eventType.empty() ? "event" : eventType;
    Json::Value event = CommonPart(common, bKit);
    event["actions"] = actions;
    return event;
}

Json::Value ParameterEvent(const FunnelCommon& common, const std::string& category, const std::string& action,
                           const std::map<std::string, std::string>& params, bool bKit) {
    Json::Value actions(Json::objectValue);
    actions["event_type"] = "event";
    actions["event_category"] = category;
    actions["event_action"] = action;
    for (const auto& [key, value] : params) {
        if (!key.empty()) actions[key] = value;
    }
    Json::Value event = CommonPart(common, bKit);
    event["actions"] = actions;
    return event;
}

}  // namespace UserLogTexts

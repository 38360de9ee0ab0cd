#include "reportsdk/CollectorPayload.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "reportsdk/JsonText.h"

namespace CollectorPayload {

namespace {

using JsonText::MemberOf;
using JsonText::TextOf;

// The event's member as it is (even null), or fallback when there is none.
Json::Value EventValue(const Json::Value& event, const char* name, const Json::Value& fallback) {
    return event.isObject() ? event.get(name, fallback) : fallback;
}

const char* SourceTypeOf(int type) {
    if (type == 1) return "product";
    if (type == 2) return "downloader";
    return "";
}

Json::Value CommonOf(const CommonFieldStore& fields, const Json::Value& event) {
    Json::Value common(Json::objectValue);
    common["uid"] = fields.uid;
    common["user_id"] = fields.userId;
    common["session_id"] = fields.sessionId;
    common["pid"] = fields.type == 2 ? fields.mainPid : fields.pid;
    common["brand"] = fields.brand;
    common["model"] = fields.model;
    common["channel"] = EventValue(event, "channel", "");
    common["is_new"] = EventValue(event, "is_new", 0);
    common["mac"] = fields.mac;
    common["os"] = fields.os;
    common["os_version"] = fields.osVersion;
    common["product"] = fields.product;
    common["product_version"] = fields.productVersion;
    common["email"] = fields.email;
    common["phone"] = fields.phone;
    common["is_vip"] = EventValue(event, "is_vip", Json::Value());
    common["is_login"] = EventValue(event, "is_login", Json::Value());
    common["cross_end_id"] = fields.crossEndId;
    common["rnclid"] = fields.crossEndId;
    common["source_type"] = SourceTypeOf(fields.type);
    common["tools_version"] = fields.toolsVersion;
    common["tools_lang"] = fields.toolsLang;
    common["kit_type"] = fields.kitType;
    common["downloader_id"] = fields.downloaderId;
    if (fields.extraCommonObject.isObject()) {
        for (const auto& name : fields.extraCommonObject.getMemberNames())
            common[name] = fields.extraCommonObject[name];
    }
    return common;
}

Json::Value MonitorOf(const Json::Value& event) {
    Json::Value ext(Json::objectValue);
    ext["parent_pid"] = EventValue(event, "monitor_main_pid", 0);
    ext["pid"] = EventValue(event, "monitor_sub_pid", 0);
    ext["ext_others"] = EventValue(event, "monitor_ext1", "");

    Json::Value param(Json::objectValue);
    param["start_time"] = EventValue(event, "monitor_start_time", 0);
    param["error_time"] = EventValue(event, "monitor_error_time", 0);
    param["line_id"] = EventValue(event, "monitor_line_id", 0);
    param["error_code"] = EventValue(event, "monitor_error_code", "");
    param["total_memory"] = EventValue(event, "monitor_total_memory", "");
    param["remain_memory"] = EventValue(event, "monitor_remain_memory", "");
    param["ext"] = ext;
    param["user_ext"] = EventValue(event, "monitor_user_ext", "");

    Json::Value monitor(Json::objectValue);
    monitor["monitor_type"] = EventValue(event, "monitor_type", "");
    monitor["guid"] = EventValue(event, "monitor_guid", "");
    monitor["param"] = param;
    return monitor;
}

bool AllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

Json::Value Build(const CommonFieldStore& fields, const Json::Value& event, std::int64_t ts) {
    Json::Value payload(Json::objectValue);
    payload["common"] = CommonOf(fields, event);
    if (event.isObject() && event.isMember("entry")) {
        Json::Value start(Json::objectValue);
        start["entry"] = event["entry"];
        payload["start"] = start;
    }
    payload["actions"] = MemberOf(event, "actions");
    if (event.isObject() && event.isMember("monitor_type")) payload["monitor"] = MonitorOf(event);
    payload["ts"] = Json::Int64(ts);
    return payload;
}

int RefusalCode(const Json::Value& payload) {
    const Json::Value& common = MemberOf(payload, "common");
    const Json::Value& actions = MemberOf(payload, "actions");
    const std::string rnclid = TextOf(MemberOf(common, "rnclid"));
    const std::string ts = TextOf(MemberOf(payload, "ts"));
    const Json::Value& pid = MemberOf(common, "pid");

    if (TextOf(MemberOf(common, "session_id")).empty()) return 157;
    if (TextOf(MemberOf(common, "uid")).empty()) return 158;
    if (!pid.isInt64() || pid.asInt64() <= 1000) return 159;
    if (TextOf(MemberOf(common, "product_version")).empty()) return 160;
    if (!rnclid.empty() && rnclid.size() <= 17) return 161;
    if (rnclid.size() > 17 && !AllDigits(rnclid)) return 162;
    if (TextOf(MemberOf(actions, "event_category")).empty()) return 163;
    if (TextOf(MemberOf(actions, "event_action")).empty()) return 164;
    if (ts.size() <= 12) return 165;
    if (!AllDigits(ts)) return 166;
    return 0;
}

}  // namespace CollectorPayload

#include <gtest/gtest.h>

#include "reportsdk/CollectorPayload.h"
#include "reportsdk/JsonText.h"

namespace {

CommonFieldStore InstallerFields() {
    CommonFieldStore fields;
    fields.type = 2;
    fields.mainPid = 8656;
    fields.pid = 8656;
    fields.product = "Zembra Morvanta";
    fields.productVersion = "1.0.0.0";
    fields.toolsLang = "en";
    fields.toolsVersion = "2.9.0.0";
    fields.downloaderId = 499;
    fields.kitType = 0;
    fields.sessionId = "0A1B2C3D-0001-0002-0304-05060708090A";
    fields.uid = "7d3c0a9e";
    fields.os = "Debian 12-64";
    fields.osVersion = "12(bookworm)";
    fields.mac = "52:54:00:AB:CD:EF";
    fields.brand = "QEMU";
    fields.model = "Standard PC";
    return fields;
}

Json::Value Event(const std::string& text) {
    Json::Value event;
    JsonText::Parse(text, event);
    return event;
}

const char* kStepEvent =
    R"({"is_new":1,"brand":"PC","model":"PC","product":"Zembra Morvanta","actions":)"
    R"({"event_category":"Download","event_action":"CoreFuncStart","event_label":"null",)"
    R"("core_func_name":"Downloading","func_step":0,"event_type":"CoreFuncEvent"},"pid":8656})";

}  // namespace

TEST(CollectorPayloadTest, StepEventSerialisesWithSortedKeysTabsAndIntegerFields) {
    const Json::Value payload = CollectorPayload::Build(InstallerFields(), Event(kStepEvent), 1700000000123);
    const std::string expected =
        "{\n"
        "\t\"actions\" : \n"
        "\t{\n"
        "\t\t\"core_func_name\" : \"Downloading\",\n"
        "\t\t\"event_action\" : \"CoreFuncStart\",\n"
        "\t\t\"event_category\" : \"Download\",\n"
        "\t\t\"event_label\" : \"null\",\n"
        "\t\t\"event_type\" : \"CoreFuncEvent\",\n"
        "\t\t\"func_step\" : 0\n"
        "\t},\n"
        "\t\"common\" : \n"
        "\t{\n"
        "\t\t\"brand\" : \"QEMU\",\n"
        "\t\t\"channel\" : \"\",\n"
        "\t\t\"cross_end_id\" : \"\",\n"
        "\t\t\"downloader_id\" : 499,\n"
        "\t\t\"email\" : \"\",\n"
        "\t\t\"is_login\" : null,\n"
        "\t\t\"is_new\" : 1,\n"
        "\t\t\"is_vip\" : null,\n"
        "\t\t\"kit_type\" : 0,\n"
        "\t\t\"mac\" : \"52:54:00:AB:CD:EF\",\n"
        "\t\t\"model\" : \"Standard PC\",\n"
        "\t\t\"os\" : \"Debian 12-64\",\n"
        "\t\t\"os_version\" : \"12(bookworm)\",\n"
        "\t\t\"phone\" : \"\",\n"
        "\t\t\"pid\" : 8656,\n"
        "\t\t\"product\" : \"Zembra Morvanta\",\n"
        "\t\t\"product_version\" : \"1.0.0.0\",\n"
        "\t\t\"rnclid\" : \"\",\n"
        "\t\t\"session_id\" : \"0A1B2C3D-0001-0002-0304-05060708090A\",\n"
        "\t\t\"source_type\" : \"downloader\",\n"
        "\t\t\"tools_lang\" : \"en\",\n"
        "\t\t\"tools_version\" : \"2.9.0.0\",\n"
        "\t\t\"uid\" : \"7d3c0a9e\",\n"
        "\t\t\"user_id\" : \"\"\n"
        "\t},\n"
        "\t\"ts\" : 1700000000123\n"
        "}\n";
    EXPECT_EQ(JsonText::StyledStream(payload), expected);
    EXPECT_EQ(CollectorPayload::RefusalCode(payload), 0);
}

TEST(CollectorPayloadTest, CommonTakesOnlyChannelIsNewVipAndLoginFromTheEvent) {
    CommonFieldStore fields = InstallerFields();
    fields.type = 1;
    fields.pid = 4242;
    const Json::Value payload = CollectorPayload::Build(
        fields, Event(R"({"channel":"web","is_vip":true,"is_login":0,"product":"other","pid":1})"), 1);
    const Json::Value& common = payload["common"];
    EXPECT_EQ(common["channel"], "web");
    EXPECT_EQ(common["is_new"], 0);
    EXPECT_EQ(common["is_vip"], true);
    EXPECT_EQ(common["is_login"], 0);
    EXPECT_EQ(common["product"], "Zembra Morvanta");
    EXPECT_EQ(common["pid"], 4242);  // a product reports its own pid, a downloader its main pid
    EXPECT_EQ(common["source_type"], "product");
    EXPECT_TRUE(payload["actions"].isNull());
    EXPECT_FALSE(payload.isMember("start"));
    EXPECT_FALSE(payload.isMember("monitor"));

    fields.type = 7;
    EXPECT_EQ(CollectorPayload::Build(fields, Json::Value(), 1)["common"]["source_type"], "");
}

TEST(CollectorPayloadTest, ExtraCommonMembersAreCopiedIntoCommon) {
    CommonFieldStore fields = InstallerFields();
    fields.extraCommonObject["abc"] = "x";
    fields.extraCommonObject["is_vip"] = 1;
    const Json::Value common = CollectorPayload::Build(fields, Event(R"({"is_vip":false})"), 1)["common"];
    EXPECT_EQ(common["abc"], "x");
    EXPECT_EQ(common["is_vip"], 1);
}

TEST(CollectorPayloadTest, StartAndMonitorObjectsFollowTheEvent) {
    const Json::Value payload =
        CollectorPayload::Build(InstallerFields(), Event(R"({"entry":"tray","monitor_type":"crash"})"), 1);
    EXPECT_EQ(payload["start"]["entry"], "tray");
    const Json::Value& monitor = payload["monitor"];
    EXPECT_EQ(monitor["monitor_type"], "crash");
    EXPECT_EQ(monitor["guid"], "");
    const Json::Value& param = monitor["param"];
    EXPECT_EQ(param["start_time"], 0);
    EXPECT_EQ(param["error_time"], 0);
    EXPECT_EQ(param["line_id"], 0);
    EXPECT_EQ(param["error_code"], "");
    EXPECT_EQ(param["total_memory"], "");
    EXPECT_EQ(param["remain_memory"], "");
    EXPECT_EQ(param["user_ext"], "");
    EXPECT_EQ(param["ext"]["parent_pid"], 0);
    EXPECT_EQ(param["ext"]["pid"], 0);
    EXPECT_EQ(param["ext"]["ext_others"], "");
    EXPECT_EQ(param.size(), 8u);

    const Json::Value full = CollectorPayload::Build(
        InstallerFields(),
        Event(R"({"monitor_type":"t","monitor_guid":"g","monitor_line_id":7,"monitor_main_pid":8,)"
              R"("monitor_sub_pid":9,"monitor_ext1":"e","monitor_user_ext":"u"})"),
        1)["monitor"];
    EXPECT_EQ(full["guid"], "g");
    EXPECT_EQ(full["param"]["line_id"], 7);
    EXPECT_EQ(full["param"]["ext"]["parent_pid"], 8);
    EXPECT_EQ(full["param"]["ext"]["pid"], 9);
    EXPECT_EQ(full["param"]["ext"]["ext_others"], "e");
    EXPECT_EQ(full["param"]["user_ext"], "u");
}

TEST(CollectorPayloadTest, RefusalCodesFollowTheRuleOrder) {
    const Json::Value step = Event(kStepEvent);
    auto codeWith = [&](const std::function<void(CommonFieldStore&)>& change, const Json::Value& event,
                        std::int64_t ts = 1700000000123) {
        CommonFieldStore fields = InstallerFields();
        change(fields);
        return CollectorPayload::RefusalCode(CollectorPayload::Build(fields, event, ts));
    };
    // Before Init there is neither a session nor a volume id: 157 comes first.
    EXPECT_EQ(codeWith([](auto& f) { f.sessionId.clear(); f.uid.clear(); }, step), 157);
    EXPECT_EQ(codeWith([](auto& f) { f.uid.clear(); }, step), 158);
    EXPECT_EQ(codeWith([](auto& f) { f.mainPid = 1000; }, step), 159);
    EXPECT_EQ(codeWith([](auto& f) { f.mainPid = 1001; }, step), 0);
    EXPECT_EQ(codeWith([](auto& f) { f.productVersion.clear(); }, step), 160);
    EXPECT_EQ(codeWith([](auto& f) { f.crossEndId = "12345678901234567"; }, step), 161);
    EXPECT_EQ(codeWith([](auto& f) { f.crossEndId = "1234567890123456x8"; }, step), 162);
    EXPECT_EQ(codeWith([](auto& f) { f.crossEndId = "123456789012345678"; }, step), 0);
    EXPECT_EQ(codeWith([](auto&) {}, Event(R"({"is_new":1})")), 163);
    EXPECT_EQ(codeWith([](auto&) {}, Event(R"({"actions":{"event_category":"Download"}})")), 164);
    EXPECT_EQ(codeWith([](auto&) {}, step, 999999999999), 165);
    EXPECT_EQ(codeWith([](auto&) {}, step, -1700000000123), 166);
}

TEST(CollectorPayloadTest, EventsThatAreNotObjectsGiveDefaultsInsteadOfFailing) {
    for (const char* text : {"not json", "[1,2]", "42", "\"text\""}) {
        const Json::Value payload = CollectorPayload::Build(InstallerFields(), Event(text), 1700000000123);
        EXPECT_EQ(payload["common"]["is_new"], 0) << text;
        EXPECT_EQ(CollectorPayload::RefusalCode(payload), 163) << text;
    }
    const Json::Value oddActions =
        CollectorPayload::Build(InstallerFields(), Event(R"({"actions":{"event_category":{"a":1},"event_action":"x"}})"),
                                1700000000123);
    EXPECT_EQ(CollectorPayload::RefusalCode(oddActions), 163);
}

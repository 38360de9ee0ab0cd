#include "support/AnalyticsRecords.h"

#include <algorithm>
#include <sstream>

#include "reportsdk/JsonText.h"

namespace testsupport {
namespace {

constexpr const char* kCollectorPath = "/collect";
constexpr const char* kGa4Path = "/g/collect";

std::string Param(const DevServerRecord& record, const char* name) {
    const auto found = record.params.find(name);
    return found == record.params.end() ? std::string() : found->second;
}

std::string CollectorEntry(const Json::Value& body) {
    const Json::Value& actions = body["actions"];
    std::string text = "C|" + actions["event_category"].asString() + "|" + actions["event_action"].asString() + "|";
    for (const auto& key : actions.getMemberNames()) {
        if (key == "event_category" || key == "event_action" || key == "event_type") continue;
        std::string value = actions[key].isString() ? actions[key].asString() : actions[key].toStyledString();
        if (!value.empty() && value.back() == '\n') value.pop_back();
        text += key + "=" + value + ";";
    }
    return text;
}

// Why a collector request is refused; "" when it is fine.
std::string CollectorProblem(const DevServerRecord& record) {
    if (record.method != "POST") return "method " + record.method;
    if (record.Header("Content-Type") != "application/json; charset=utf-8") return "type " + record.Header("Content-Type");
    if (record.Header("User-Agent") != "PostmanRuntime/7.29.2") return "agent " + record.Header("User-Agent");
    Json::Value body;
    if (!JsonText::Parse(record.body, body) || !body.isObject()) return "body is no JSON object";
    if (JsonText::StyledStream(body) != record.body) return "body is not in the styled form";
    if (body["common"]["pid"] != kProductMainPid) return "common.pid " + body["common"]["pid"].toStyledString();
    if (body["common"]["source_type"] != "downloader") return "common.source_type";
    const Json::Value& actions = body["actions"];
    if (actions["event_category"].asString().empty() || actions["event_action"].asString().empty())
        return "actions without category or action";
    return "";
}

std::string Ga4Problem(const DevServerRecord& record) {
    if (record.method != "POST") return "method " + record.method;
    if (Param(record, "v") != "2") return "v=" + Param(record, "v");
    for (const char* name : {"cid", "tid", "ep.qk_category", "ep.qk_action", "en"})
        if (Param(record, name).empty()) return std::string("no ") + name;
    if (Param(record, "en") != Param(record, "ep.qk_action")) return "event name differs from the action";
    return "";
}

}  // namespace

std::vector<std::string> AnalyticsStream(const std::vector<DevServerRecord>& records) {
    std::vector<std::string> stream;
    for (const auto& record : records) {
        if (record.path == kGa4Path) {
            stream.push_back("E|" + Param(record, "ep.qk_category") + "|" + Param(record, "ep.qk_action") + "|" +
                             Param(record, "ep.qk_label"));
        } else if (record.path == kCollectorPath) {
            Json::Value body;
            if (JsonText::Parse(record.body, body)) stream.push_back(CollectorEntry(body));
        }
    }
    return stream;
}

::testing::AssertionResult InOrder(const std::vector<std::string>& stream, const std::vector<std::string>& expected) {
    std::size_t at = 0;
    for (const auto& entry : expected) {
        while (at < stream.size() && stream[at].rfind(entry, 0) != 0) ++at;
        if (at == stream.size()) {
            std::string all;
            for (const auto& item : stream) all += "  " + item + "\n";
            return ::testing::AssertionFailure() << "missing or out of order: " << entry << "\nstream:\n" << all;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

std::size_t CountOf(const std::vector<std::string>& stream, const std::string& entry) {
    return static_cast<std::size_t>(std::count(stream.begin(), stream.end(), entry));
}

::testing::AssertionResult WellFormedAnalytics(const std::vector<DevServerRecord>& records) {
    std::size_t checked = 0;
    for (const auto& record : records) {
        std::string problem;
        if (record.path == kCollectorPath)
            problem = CollectorProblem(record);
        else if (record.path == kGa4Path)
            problem = Ga4Problem(record);
        else
            continue;
        ++checked;
        if (!problem.empty())
            return ::testing::AssertionFailure() << record.path << " #" << record.seq << ": " << problem << "\n"
                                                 << record.query << "\n" << record.body;
    }
    if (checked == 0) return ::testing::AssertionFailure() << "no analytics request arrived";
    return ::testing::AssertionSuccess();
}

}  // namespace testsupport

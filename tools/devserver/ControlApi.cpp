#include "ControlApi.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ReceivedRequest.h"
#include "RequestRecorder.h"
#include "RuleBook.h"

namespace devserver {

namespace {

void Reply(httplib::Response& response, int status, const Json::Value& json) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    response.status = status;
    response.set_content(Json::writeString(builder, json) + "\n", "application/json");
}

void ReplyError(httplib::Response& response, int status, const std::string& message) {
    Json::Value error;
    error["error"] = message;
    Reply(response, status, error);
}

bool ParseJson(const std::string& text, Json::Value& json, std::string& error) {
    Json::CharReaderBuilder builder;
    std::istringstream in(text);
    return Json::parseFromStream(builder, in, &json, &error);
}

}  // namespace

bool ControlApi::LoadRulesFile(std::string& error) {
    if (rulesFile_.empty()) {
        error = "no rules file given";
        return false;
    }
    std::ifstream in(rulesFile_, std::ios::binary);
    if (!in) {
        error = "cannot read " + rulesFile_;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Json::Value json;
    return ParseJson(text.str(), json, error) && rules_.Replace(json, error);
}

void ControlApi::Serve(const ReceivedRequest& received, httplib::Response& response) {
    const std::string& method = received.request.method;
    const std::string path = received.request.path.substr(std::string(kPrefix).size());
    std::string error;
    Json::Value json;
    if (path == "/ping") {
        json["http"] = ports_.http;
        json["https"] = ports_.https;
        Reply(response, 200, json);
    } else if (path == "/rules" && (method == "GET" || method == "HEAD")) {
        Reply(response, 200, rules_.ToJson());
    } else if (path == "/rules" && method == "POST") {
        if (!ParseJson(received.body, json, error)) return ReplyError(response, 400, error);
        const auto ids = rules_.Add(json, error);
        if (!ids) return ReplyError(response, 400, error);
        Json::Value reply;
        reply["ids"] = Json::Value(Json::arrayValue);
        for (const int id : *ids) reply["ids"].append(id);
        Reply(response, 200, reply);
    } else if (path == "/rules" && method == "PUT") {
        if (!ParseJson(received.body, json, error) || !rules_.Replace(json, error)) {
            return ReplyError(response, 400, error);
        }
        Reply(response, 200, rules_.ToJson());
    } else if (path == "/rules" && method == "DELETE") {
        rules_.Clear();
        Reply(response, 200, Json::Value(Json::objectValue));
    } else if (path.rfind("/rules/", 0) == 0 && method == "DELETE") {
        const bool removed = rules_.Remove(std::atoi(path.substr(7).c_str()));
        removed ? Reply(response, 200, Json::Value(Json::objectValue)) : ReplyError(response, 404, "no such rule");
    } else if (path == "/reload" && method == "POST") {
        if (!LoadRulesFile(error)) return ReplyError(response, 400, error);
        Reply(response, 200, rules_.ToJson());
    } else if (path == "/records/clear" && method == "POST") {
        recorder_.Clear();
        Reply(response, 200, Json::Value(Json::objectValue));
    } else {
        ReplyError(response, 404, "unknown control request");
    }
}

}  // namespace devserver

#include "ServiceRouter.h"

#include <chrono>

#include "Base64.h"
#include "GeneratedBody.h"
#include "StreamBody.h"
#include "Options.h"
#include "ReceivedRequest.h"
#include "RequestRecorder.h"
#include "RuleBook.h"
#include "StopFlag.h"

namespace devserver {

namespace {

StreamFaults FaultsOf(const Rule* rule) {
    StreamFaults faults;
    if (rule == nullptr) return faults;
    faults.dropAfterBytes = rule->dropAfterBytes;
    faults.stallAfterBytes = rule->stallAfterBytes;
    faults.stallMs = rule->stallMs;
    faults.closeAfterStall = rule->closeAfterStall;
    faults.rateBytesPerSecond = rule->rateBytesPerSecond;
    return faults;
}

Json::Value DescribeRequest(const ReceivedRequest& received) {
    const httplib::Request& request = received.request;
    Json::Value record;
    record["scheme"] = received.scheme;
    record["method"] = request.method;
    record["path"] = request.path;
    const auto question = request.target.find('?');
    record["query"] = question == std::string::npos ? "" : request.target.substr(question + 1);
    Json::Value params(Json::objectValue);
    for (const auto& [name, value] : request.params) params[name] = value;
    record["params"] = params;
    Json::Value headers(Json::objectValue);
    for (const auto& [name, value] : request.headers) {
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") continue;
        headers[name] = headers.isMember(name) ? headers[name].asString() + ", " + value : value;
    }
    record["headers"] = headers;
    record["bodySize"] = static_cast<Json::UInt64>(received.body.size());
    if (received.body.size() <= RequestRecorder::kMaxRecordedBody) record["body"] = Base64Encode(received.body);
    return record;
}

std::string AbsoluteLocation(const std::string& location, const std::string& baseUrl) {
    return !location.empty() && location[0] == '/' ? baseUrl + location : location;
}

void TextReply(httplib::Response& response, int status, const std::string& text, const StreamFaults& faults) {
    response.status = status;
    StreamBody(response, std::make_shared<GeneratedBody>(text, 0, GeneratedBody::Filler::Letters, ""),
               "text/plain", faults);
}

}  // namespace

ServiceRouter::ServiceRouter(const Options& options, RuleBook& rules, RequestRecorder& recorder,
                             ControlApi& control, ContentCatalog catalog)
    : host_(options.host),
      rules_(rules),
      recorder_(recorder),
      control_(control),
      packages_(options.filesDir),
      query_(packages_, options.packagePath),
      reports_(options.uploadsDir),
      content_(std::move(catalog)) {}

void ServiceRouter::Install(httplib::Server& server, const std::string& scheme, const int& port) {
    auto received = [this, scheme, &port](const httplib::Request& request) {
        return ReceivedRequest{request, scheme, scheme + "://" + host_ + ":" + std::to_string(port), {}, {}};
    };
    auto withoutBody = [this, received](const httplib::Request& request, httplib::Response& response) {
        ReceivedRequest incoming = received(request);
        Handle(incoming, response);
    };
    // Bodies are read here rather than by the library, which would refuse
    // url-encoded forms above 8 KiB before any handler sees them.
    auto withBody = [this, received](const httplib::Request& request, httplib::Response& response,
                                     const httplib::ContentReader& reader) {
        ReceivedRequest incoming = received(request);
        if (request.is_multipart_form_data()) {
            reader(
                [&](const httplib::MultipartFormData& part) {
                    incoming.parts.push_back(part);
                    return true;
                },
                [&](const char* data, std::size_t length) {
                    if (incoming.parts.empty()) return false;
                    incoming.parts.back().content.append(data, length);
                    return true;
                });
        } else {
            reader([&](const char* data, std::size_t length) {
                incoming.body.append(data, length);
                return true;
            });
        }
        Handle(incoming, response);
    };
    server.Get(".*", withoutBody);
    server.Delete(".*", withoutBody);
    server.Options(".*", withoutBody);
    server.Post(".*", withBody);
    server.Put(".*", withBody);
    server.Patch(".*", withBody);
    // Ranges are answered by the package host itself, so that range faults
    // are possible; the library must not slice bodies on its own.
    server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        const_cast<httplib::Request&>(request).ranges.clear();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_keep_alive_max_count(1000);
}

void ServiceRouter::Handle(ReceivedRequest& received, httplib::Response& response) {
    if (received.request.path.rfind(ControlApi::kPrefix, 0) == 0) {
        control_.Serve(received, response);
        return;
    }
    const auto rule = rules_.Match(received.request.method, received.request.path);
    Json::Value record = DescribeRequest(received);
    Answer(received, response, rule ? &*rule : nullptr, record);
    if (rule) {
        for (const auto& [name, value] : rule->headers) response.set_header(name, value);
    }
    record["status"] = response.status;
    record["rule"] = rule ? rule->id : 0;
    // The record is on disk before the reply leaves, so a client that has its
    // reply always finds its request recorded.
    recorder_.Write(record);
    if (rule && rule->latencyMs > 0) StopFlag::Instance().SleepFor(std::chrono::milliseconds(rule->latencyMs));
}

void ServiceRouter::Answer(ReceivedRequest& received, httplib::Response& response, const Rule* rule,
                           Json::Value& record) {
    const StreamFaults faults = FaultsOf(rule);
    if (rule && (rule->redirectLoop || !rule->redirect.empty())) {
        const std::string target = rule->redirectLoop ? received.request.target : rule->redirect;
        response.status = rule->redirectStatus;
        response.set_header("Location", AbsoluteLocation(target, received.baseUrl));
        return;
    }
    if (rule && (rule->status != 0 || rule->body)) {
        response.status = rule->status != 0 ? rule->status : 200;
        const std::string body = rule->body.value_or(std::to_string(response.status) + "\n");
        StreamBody(response, std::make_shared<GeneratedBody>(body, 0, GeneratedBody::Filler::Letters, ""),
                   rule->contentType.empty() ? "text/plain" : rule->contentType, faults);
        return;
    }
    ServeService(received, response, rule, record);
}

void ServiceRouter::ServeService(ReceivedRequest& received, httplib::Response& response, const Rule* rule,
                                 Json::Value& record) {
    const httplib::Request& request = received.request;
    const StreamFaults faults = FaultsOf(rule);
    const bool readMethod = request.method == "GET" || request.method == "HEAD";
    if (request.path == "/queryDownloaderV2" && readMethod) {
        query_.Serve(request, response, rule ? rule->queryReply : Json::Value(), received.baseUrl, faults);
    } else if (reports_.Serve(received, response, record) || content_.Serve(received, response, rule, faults)) {
        // answered
    } else if (readMethod && packages_.Serve(request, response, rule, faults)) {
        // answered from the files folder
    } else {
        TextReply(response, 404, "Not Found\n", faults);
    }
}

}  // namespace devserver

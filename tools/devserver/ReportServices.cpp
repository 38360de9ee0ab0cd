#include "ReportServices.h"

#include <fstream>

#include "ReceivedRequest.h"

namespace devserver {

namespace {

constexpr std::size_t kMaxRecordedFieldText = 64 * 1024;

// Keeps letters, digits, '.', '-' and '_' so an uploaded name cannot leave the folder.
std::string SafeFileName(const std::string& name) {
    std::string safe;
    for (const char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '.' || c == '-' || c == '_';
        safe += keep ? c : '_';
    }
    if (safe.empty() || safe.find_first_not_of('.') == std::string::npos) safe = "upload";
    return safe.substr(0, 200);
}

void JsonReply(httplib::Response& response, int status, const std::string& json) {
    response.status = status;
    response.set_content(json, "application/json");
}

}  // namespace

std::string ReportServices::SaveUpload(const httplib::MultipartFormData& part) {
    if (uploadsDir_.empty()) return {};
    const int number = ++uploadCount_;
    const std::string path = uploadsDir_ + "/" + std::to_string(number) + "_" + SafeFileName(part.filename);
    std::ofstream out(path, std::ios::binary);
    out.write(part.content.data(), static_cast<std::streamsize>(part.content.size()));
    return out ? path : std::string();
}

void ReportServices::ServeLogUpload(const ReceivedRequest& received, httplib::Response& response,
                                    Json::Value& record) {
    if (received.parts.empty()) {
        JsonReply(response, 400, "{\"code\":400,\"msg\":\"multipart form expected\"}");
        return;
    }
    Json::Value form(Json::objectValue);
    for (const auto& part : received.parts) {
        Json::Value field;
        field["size"] = static_cast<Json::UInt64>(part.content.size());
        field["contentType"] = part.content_type;
        if (part.filename.empty()) {
            if (part.content.size() <= kMaxRecordedFieldText) field["value"] = part.content;
        } else {
            field["filename"] = part.filename;
            field["savedAs"] = SaveUpload(part);
        }
        form[part.name] = field;
    }
    record["form"] = form;
    JsonReply(response, 200, "{\"code\":0,\"msg\":\"success\"}");
}

bool ReportServices::Serve(const ReceivedRequest& received, httplib::Response& response, Json::Value& record) {
    const std::string& path = received.request.path;
    const bool post = received.request.method == "POST";
    if (path == "/api/exception/send" && post) {
        JsonReply(response, 200, "{\"code\":0,\"msg\":\"ok\"}");
    } else if (path == "/v1/productLogUpload" && post) {
        ServeLogUpload(received, response, record);
    } else if ((path == "/collect" || path == "/collector") && post) {
        JsonReply(response, 200, "{\"code\":0,\"msg\":\"ok\"}");
    } else if (path == "/g/collect") {
        response.status = 204;
    } else {
        return false;
    }
    return true;
}

}  // namespace devserver

#pragma once
// The report-style services: the error-report service, the log-collection
// service (multipart upload, archives saved into the uploads folder), the
// maker's event collector and the GA4 collection endpoint.
#include <atomic>
#include <string>
#include <vector>

#include <json/json.h>

namespace httplib {
struct Request;
struct Response;
struct MultipartFormData;
}

namespace devserver {

struct ReceivedRequest;

class ReportServices {
public:
    explicit ReportServices(std::string uploadsDir) : uploadsDir_(std::move(uploadsDir)) {}

    // Answers the request when its path belongs to one of these services and
    // adds what it kept to the record ("form" for uploads); false otherwise.
    bool Serve(const ReceivedRequest& request, httplib::Response& response, Json::Value& record);

private:
    void ServeLogUpload(const ReceivedRequest& request, httplib::Response& response, Json::Value& record);
    std::string SaveUpload(const httplib::MultipartFormData& part);

    std::string uploadsDir_;
    std::atomic<int> uploadCount_{0};
};

}  // namespace devserver

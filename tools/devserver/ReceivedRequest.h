#pragma once
// A request together with the body the router read for it (the HTTP
// library's own body reading is bypassed so that no form size limit applies).
#include <string>
#include <vector>

#include <httplib.h>

namespace devserver {

struct ReceivedRequest {
    const httplib::Request& request;
    std::string scheme;   // "http" or "https"
    std::string baseUrl;  // scheme://host:port of this server
    std::string body;
    std::vector<httplib::MultipartFormData> parts;  // multipart/form-data requests
};

}  // namespace devserver

#include "ContentService.h"

#include "ReceivedRequest.h"

namespace devserver {

bool ContentService::Serve(const ReceivedRequest& received, httplib::Response& response) {
    const std::string& path = received.request.path;
    if (path != "/api/v1/banners" && path != "/api/v1/user_privacy_info") return false;
    response.status = 501;
    response.set_content("{\"code\":501,\"msg\":\"content service not provided yet\"}", "application/json");
    return true;
}

}  // namespace devserver

#pragma once
// The content service (banners, privacy and licence links, banner pictures).
// FIXME: the signed banner and link replies come with the remote-content
// work; until then its paths answer 501 so a test that reaches them fails
// loudly instead of reading a package-hosting 404.
#include <string>

namespace httplib {
struct Response;
}

namespace devserver {

struct ReceivedRequest;

class ContentService {
public:
    // True (and the reply made) when the path belongs to the content service.
    bool Serve(const ReceivedRequest& request, httplib::Response& response);
};

}  // namespace devserver

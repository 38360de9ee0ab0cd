#pragma once
// The content service: signed banner and links queries answered from the
// content catalog, the banner pictures, and the pages the links and banners
// lead to.
//   GET /api/v1/banners?lang_code&parent_pid&timestamp&type&verify
//   GET /api/v1/user_privacy_info?parent_pid&timestamp&verify
// A query whose verify is not the MD5 of its text and the shared salt, or
// whose timestamp is further from now than the catalog allows, is refused
// with 403 {"code":403,"msg":...}.
//   GET|HEAD /content/pictures/<n>.png   a generated 650 x 300 banner
//            /content/pictures/giant.png a valid 30000 x 30000 PNG
//            /content/pictures/broken.png a PNG signature and no picture
//            /content/pictures/2gib.bin   2 GiB of bytes
//   GET /content/jump/<n>, /content/privacy/<code>.html, /content/terms/<code>.html
// Faults (delay, drop, other replies, redirect loops) come from the rules.
#include <cstdint>
#include <string>
#include <vector>

#include <httplib.h>

#include "ContentCatalog.h"

namespace devserver {

struct ReceivedRequest;
struct Rule;
struct StreamFaults;

class ContentService {
public:
    explicit ContentService(ContentCatalog catalog) : catalog_(std::move(catalog)) {}

    // True (and the reply made) when the path belongs to the content service.
    bool Serve(const ReceivedRequest& request, httplib::Response& response, const Rule* rule,
               const StreamFaults& faults) const;

private:
    void ServeBanners(const ReceivedRequest& request, httplib::Response& response) const;
    void ServeLinks(const ReceivedRequest& request, httplib::Response& response) const;
    bool ServePicture(const ReceivedRequest& request, httplib::Response& response, const Rule* rule,
                      const StreamFaults& faults) const;
    bool ServePage(const ReceivedRequest& request, httplib::Response& response) const;
    bool Refused(const httplib::Request& request, const std::vector<std::string>& signedNames,
                 httplib::Response& response) const;

    ContentCatalog catalog_;
};

// Why a signed query is refused, "" when it is accepted. signedNames are the
// parameters of the signed text, in order; the text is "a=1&b=2" + salt.
std::string SignedQueryRefusal(const httplib::Params& params, const std::vector<std::string>& signedNames,
                               std::int64_t nowSeconds, int maxSkewSeconds);

}  // namespace devserver

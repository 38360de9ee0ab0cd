#include "ContentQueries.h"

#include <chrono>
#include <memory>

#include <easylogging++.h>
#include <openssl/evp.h>

#include "UserLogTexts.h"
#include "platform/AsciiText.h"
#include "platform/LocalSettings.h"

namespace FuntionImpl {

namespace {

std::string Signed(const std::string& queryText) {
    return queryText + "&verify=" + ContentVerify(queryText + std::string(kContentQuerySalt));
}

}  // namespace

std::string ContentVerify(std::string_view text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
    return platform::LowerHex(digest, length);
}

std::string BannerQueryText(const std::string& languageCode, int parentPid, std::int64_t timestamp) {
    return "lang_code=" + languageCode + "&parent_pid=" + std::to_string(parentPid) +
           "&timestamp=" + std::to_string(timestamp) + "&type=1";
}

std::string PrivacyQueryText(int parentPid, std::int64_t timestamp) {
    return "parent_pid=" + std::to_string(parentPid) + "&timestamp=" + std::to_string(timestamp);
}

std::string BannerQueryUrl(const std::string& baseUrl, const std::string& languageCode, int parentPid,
                           std::int64_t timestamp) {
    return baseUrl + "/api/v1/banners?" + Signed(BannerQueryText(languageCode, parentPid, timestamp));
}

std::string PrivacyQueryUrl(const std::string& baseUrl, int parentPid, std::int64_t timestamp) {
    return baseUrl + "/api/v1/user_privacy_info?" + Signed(PrivacyQueryText(parentPid, timestamp));
}

std::string ContentServiceBaseUrl() {
    return platform::ServiceBaseUrl(platform::IsTestEnv() ? "ContentTest" : "Content");
}

std::int64_t CurrentUnixSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string GetBannerPicUrl(int parentPid, EnumLanguage language, std::int64_t timestamp) {
    const std::string url = BannerQueryUrl(ContentServiceBaseUrl(), WebCodeOf(language), parentPid, timestamp);
    LOG(INFO) << " BAN: " << url.substr(url.find('?') + 1);
    return url;
}

std::string GetPrivacyUrl(int parentPid, std::int64_t timestamp) {
    const std::string url = PrivacyQueryUrl(ContentServiceBaseUrl(), parentPid, timestamp);
    LOG(INFO) << " TCP: " << url.substr(url.find('?') + 1);
    return url;
}

std::string TimingLabel(std::int64_t elapsedMs) {
    return UserLogTexts::ElapsedBucket(elapsedMs > 0 ? elapsedMs / 1000 : 0);
}

}  // namespace FuntionImpl

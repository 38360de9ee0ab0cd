#pragma once
// The signed queries of the content service (banners, privacy and licence
// links) and the timing label of its replies. The signature is the MD5 of
// the query text followed by a salt the service shares; the timestamp lets
// the service refuse a replayed query.
#include <cstdint>
#include <string>
#include <string_view>

#include "EnumLanguage.h"

namespace FuntionImpl {

// The salt appended to the query text before it is signed.
constexpr std::string_view kContentQuerySalt = "Rv9dXq2LmT5sKe0B";

// MD5 of text as 32 lower-case hex digits.
std::string ContentVerify(std::string_view text);

// "lang_code=%s&parent_pid=%d&timestamp=%lld&type=1" (without the salt).
std::string BannerQueryText(const std::string& languageCode, int parentPid, std::int64_t timestamp);
// "parent_pid=%d&timestamp=%lld" (without the salt).
std::string PrivacyQueryText(int parentPid, std::int64_t timestamp);
// baseUrl + "/api/v1/banners?" + the query text + "&verify=" + its signature.
std::string BannerQueryUrl(const std::string& baseUrl, const std::string& languageCode, int parentPid,
                           std::int64_t timestamp);
// baseUrl + "/api/v1/user_privacy_info?" + the query text + "&verify=" + its signature.
std::string PrivacyQueryUrl(const std::string& baseUrl, int parentPid, std::int64_t timestamp);

// The content service's base address: Hosts/ContentTest with TestEnv on,
// else Hosts/Content.
std::string ContentServiceBaseUrl();
// Whole seconds since 1970.
std::int64_t CurrentUnixSeconds();
// The banner query for the product's parent pid in the language, signed at
// timestamp; logs the query.
std::string GetBannerPicUrl(int parentPid, EnumLanguage language, std::int64_t timestamp = CurrentUnixSeconds());
// The links query, signed at timestamp; logs the query.
std::string GetPrivacyUrl(int parentPid, std::int64_t timestamp = CurrentUnixSeconds());

// "[a~b]s" of an elapsed time: a = the whole seconds rounded down to a
// multiple of 3, b = a + 3. 4200 ms gives "[3~6]s".
std::string TimingLabel(std::int64_t elapsedMs);

}  // namespace FuntionImpl

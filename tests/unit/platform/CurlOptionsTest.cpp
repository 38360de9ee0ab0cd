#include <gtest/gtest.h>

#include <memory>

#include "platform/CurlOptions.h"

namespace {

struct EasyFree {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

TEST(CurlOptionSetterTest, FirstRefusedOptionIsKeptAndNamed) {
    std::unique_ptr<CURL, EasyFree> handle(curl_easy_init());
    ASSERT_TRUE(handle);
    platform::CurlOptionSetter options(handle.get());
    platform::SetSharedRequestOptions(options, platform::Redirects::Follow);
    EXPECT_EQ(options.Result(), CURLE_OK);
    EXPECT_EQ(options.FailureText(), "");

    options.Set(CURLOPT_MAXREDIRS, -5L).Set(static_cast<CURLoption>(99999), 1L);
    EXPECT_EQ(options.Result(), CURLE_BAD_FUNCTION_ARGUMENT);
    EXPECT_NE(options.FailureText().find(" curl option " + std::to_string(CURLOPT_MAXREDIRS) + " refused: "),
              std::string::npos)
        << options.FailureText();
}

}  // namespace

// The devserver as every other test relies on it: exact ranges, records,
// rules and faults, the download-information replies and the report services.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/DevServerSuite.h"
#include "support/TempDir.h"

using testsupport::DevServer;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string headers;
    std::string body;

    bool HasHeader(const std::string& line) const { return headers.find(line + "\r\n") != std::string::npos; }
};

struct Request {
    std::string range;
    bool head = false;
    bool follow = false;
    std::string method;  // a body makes it a POST unless set
    std::string body;
};

size_t Append(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

Reply Fetch(const std::string& url, const Request& request = {}) {
    Reply reply;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_CAINFO, testsupport::TestTlsRoot().c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    if (!request.range.empty()) curl_easy_setopt(curl, CURLOPT_RANGE, request.range.c_str());
    if (request.head) curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    if (request.follow) {
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    }
    if (!request.body.empty() || request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
    }
    if (!request.method.empty()) curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    reply.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_cleanup(curl);
    return reply;
}

class DevServerTest : public testsupport::DevServerSuite {
protected:
    static void SetUpTestSuite() {
        StartServer(DevServer::Options{});
        server_->AddPatternFile("/pkg/file.bin", 100);
    }
    static std::string Url(const std::string& path) { return server_->BaseUrl() + path; }
};

TEST_F(DevServerTest, RangesAreAnsweredExactly) {
    const Reply middle = Fetch(Url("/pkg/file.bin"), {.range = "5-9"});
    EXPECT_EQ(middle.status, 206);
    EXPECT_TRUE(middle.HasHeader("Content-Range: bytes 5-9/100"));
    EXPECT_TRUE(middle.HasHeader("Content-Length: 5"));
    EXPECT_EQ(middle.body, DevServer::PatternBytes(5, 5));

    const Reply openEnded = Fetch(Url("/pkg/file.bin"), {.range = "95-"});
    EXPECT_TRUE(openEnded.HasHeader("Content-Range: bytes 95-99/100"));
    EXPECT_EQ(openEnded.body, DevServer::PatternBytes(95, 5));

    const Reply pastTheEnd = Fetch(Url("/pkg/file.bin"), {.range = "90-200"});
    EXPECT_TRUE(pastTheEnd.HasHeader("Content-Range: bytes 90-99/100"));
    EXPECT_EQ(pastTheEnd.body.size(), 10u);

    const Reply suffix = Fetch(Url("/pkg/file.bin"), {.range = "-10"});
    EXPECT_TRUE(suffix.HasHeader("Content-Range: bytes 90-99/100"));

    const Reply unsatisfiable = Fetch(Url("/pkg/file.bin"), {.range = "100-200"});
    EXPECT_EQ(unsatisfiable.status, 416);
    EXPECT_TRUE(unsatisfiable.HasHeader("Content-Range: bytes */100"));
}

TEST_F(DevServerTest, WholeFilesAndHeadRequests) {
    const Reply whole = Fetch(Url("/pkg/file.bin"));
    EXPECT_EQ(whole.status, 200);
    EXPECT_TRUE(whole.HasHeader("Content-Length: 100"));
    EXPECT_EQ(whole.headers.find("Content-Range"), std::string::npos);
    EXPECT_EQ(whole.body, DevServer::PatternBytes(0, 100));

    const Reply head = Fetch(Url("/pkg/file.bin"), {.head = true});
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.HasHeader("Content-Length: 100"));
    EXPECT_TRUE(head.body.empty());

    const Reply secure = Fetch(server_->HttpsBaseUrl() + "/pkg/file.bin", {.range = "0-3"});
    EXPECT_EQ(secure.code, CURLE_OK);
    EXPECT_EQ(secure.status, 206);
    EXPECT_EQ(secure.body, DevServer::PatternBytes(0, 4));

    EXPECT_EQ(Fetch(Url("/pkg/missing.bin")).status, 404);
    EXPECT_EQ(Fetch(Url("/pkg/../records.jsonl")).status, 404) << "nothing outside the files folder";
}

TEST_F(DevServerTest, RecordsCarryWhatWasSent) {
    const std::string body("a=1&b=\0\xff", 8);
    Fetch(Url("/api/exception/send?x=1&y=two%20words"), {.body = body});
    Fetch(Url("/__control/rules"));
    const auto records = server_->RecordsFor("/api/exception/send");
    ASSERT_EQ(records.size(), 1u);
    const auto& record = records[0];
    EXPECT_EQ(record.method, "POST");
    EXPECT_EQ(record.scheme, "http");
    EXPECT_EQ(record.query, "x=1&y=two%20words");
    EXPECT_EQ(record.params.at("y"), "two words");
    EXPECT_EQ(record.body, body);
    EXPECT_EQ(record.bodySize, 8u);
    EXPECT_EQ(record.status, 200);
    EXPECT_EQ(record.Header("content-type"), "application/x-www-form-urlencoded");
    for (const auto& any : server_->Records()) EXPECT_NE(any.path.rfind("/__control", 0), 0u);
    const auto all = server_->Records();
    for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1].seq, all[i].seq);
}

TEST_F(DevServerTest, RulesCountSkipAndTimes) {
    const int id = server_->SetRule(R"({"path": "/pkg/file.bin", "skip": 1, "times": 1, "status": 503})");
    EXPECT_EQ(Fetch(Url("/pkg/file.bin")).status, 200);
    EXPECT_EQ(Fetch(Url("/pkg/file.bin")).status, 503);
    EXPECT_EQ(Fetch(Url("/pkg/file.bin")).status, 200);
    const Json::Value rules = server_->Rules();
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0]["id"].asInt(), id);
    EXPECT_EQ(rules[0]["applied"].asInt(), 1);
    const auto records = server_->RecordsFor("/pkg/file.bin");
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[records.size() - 2].rule, id);

    server_->SetRule(R"({"pathPrefix": "/pkg/", "status": 500, "body": "broken"})");
    const Reply broken = Fetch(Url("/pkg/file.bin"));
    EXPECT_EQ(broken.status, 500);
    EXPECT_EQ(broken.body, "broken");
    server_->RemoveRule(id);
    EXPECT_EQ(server_->Rules().size(), 1u);

    const Reply refused = Fetch(Url("/__control/rules"), {.body = R"({"pathh": "/x"})"});
    EXPECT_EQ(refused.status, 400);
    EXPECT_NE(refused.body.find("unknown rule key: pathh"), std::string::npos);
}

TEST_F(DevServerTest, RangeFaults) {
    server_->SetRule(R"({"path": "/pkg/file.bin", "times": 1, "ignoreRange": true})");
    const Reply whole = Fetch(Url("/pkg/file.bin"), {.range = "10-19"});
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body.size(), 100u);

    server_->SetRule(R"({"path": "/pkg/file.bin", "times": 1, "contentRangeTotal": 12345})");
    EXPECT_TRUE(Fetch(Url("/pkg/file.bin"), {.range = "10-19"}).HasHeader("Content-Range: bytes 10-19/12345"));

    server_->SetRule(R"({"path": "/pkg/file.bin", "times": 1, "contentRange": "bytes 10-19"})");
    EXPECT_TRUE(Fetch(Url("/pkg/file.bin"), {.range = "10-19"}).HasHeader("Content-Range: bytes 10-19"));

    server_->SetRule(R"({"path": "/pkg/file.bin", "times": 1, "surplusBytes": 7})");
    const Reply surplus = Fetch(Url("/pkg/file.bin"), {.range = "10-19"});
    EXPECT_TRUE(surplus.HasHeader("Content-Range: bytes 10-19/100"));
    EXPECT_EQ(surplus.body, DevServer::PatternBytes(10, 17));
}

TEST_F(DevServerTest, StreamFaultsCutTheBody) {
    server_->AddPatternFile("/pkg/large.bin", 3 << 20);
    server_->SetRule(R"({"path": "/pkg/large.bin", "times": 1, "dropAfterBytes": 1500000})");
    const Reply dropped = Fetch(Url("/pkg/large.bin"));
    EXPECT_EQ(dropped.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(dropped.body, DevServer::PatternBytes(0, 1500000));

    server_->SetRule(R"({"path": "/pkg/large.bin", "times": 1, "stallAfterBytes": 1000, "stallMs": 50,
                         "closeAfterStall": true})");
    const Reply stalled = Fetch(Url("/pkg/large.bin"));
    EXPECT_EQ(stalled.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(stalled.body.size(), 1000u);

    server_->SetRule(R"({"path": "/pkg/large.bin", "times": 1, "stallAfterBytes": 1000, "stallMs": 50})");
    const Reply paused = Fetch(Url("/pkg/large.bin"));
    EXPECT_EQ(paused.code, CURLE_OK);
    EXPECT_EQ(paused.body.size(), 3u << 20);
}

TEST_F(DevServerTest, RedirectsAndCdnHeaders) {
    server_->SetRule(R"({"path": "/pkg/old.bin", "redirect": "/pkg/file.bin", "redirectStatus": 301,
                         "headers": {"CF-RAY": "8a1b2c3d4e5f6a7b-LAX", "CF-Cache-Status": "HIT",
                                     "X-Cache": "Hit from cloudfront"}})");
    const Reply moved = Fetch(Url("/pkg/old.bin"));
    EXPECT_EQ(moved.status, 301);
    EXPECT_TRUE(moved.HasHeader("Location: " + Url("/pkg/file.bin")));
    EXPECT_TRUE(moved.HasHeader("CF-RAY: 8a1b2c3d4e5f6a7b-LAX"));
    EXPECT_TRUE(moved.HasHeader("CF-Cache-Status: HIT"));
    EXPECT_TRUE(moved.HasHeader("X-Cache: Hit from cloudfront"));
    EXPECT_EQ(Fetch(Url("/pkg/old.bin"), {.follow = true}).body, DevServer::PatternBytes(0, 100));

    server_->SetRule(R"({"path": "/pkg/loop.bin", "redirectLoop": true})");
    EXPECT_EQ(Fetch(Url("/pkg/loop.bin?n=1"), {.follow = true}).code, CURLE_TOO_MANY_REDIRECTS);
    const auto loops = server_->RecordsFor("/pkg/loop.bin");
    ASSERT_EQ(loops.size(), 6u);
    EXPECT_EQ(loops.back().query, "n=1");
}

TEST_F(DevServerTest, DownloadInformationReplies) {
    const std::string package = server_->AddFile("/downloads/extra/zembramorvanta_zembram.exe", "package");
    const Reply normal = Fetch(server_->HttpsBaseUrl() + "/queryDownloaderV2?LanguageId=1033&SoftWareID=277&SiteID=9");
    EXPECT_EQ(normal.status, 200);
    EXPECT_NE(normal.body.find("<Downloader_id>277</Downloader_id>"), std::string::npos);
    EXPECT_NE(normal.body.find("<Site_id>9</Site_id>"), std::string::npos);
    EXPECT_NE(normal.body.find("<Download_url>" + server_->HttpsBaseUrl() +
                               "/downloads/extra/zembramorvanta_zembram.exe</Download_url>"),
              std::string::npos);
    EXPECT_NE(normal.body.find("<Md5>efe90a8e604a7c840e88d03a67f6b7d8</Md5>"), std::string::npos);
    EXPECT_NE(normal.body.find("<Filesize>7</Filesize>"), std::string::npos);
    std::filesystem::remove(package);

    server_->SetRule(R"({"path": "/queryDownloaderV2", "times": 1,
                         "queryReply": {"fields": {"Md5": null, "Slice_num": "3", "Extra": "x&y"}}})");
    const Reply custom = Fetch(Url("/queryDownloaderV2"));
    EXPECT_EQ(custom.body.find("<Md5>"), std::string::npos);
    EXPECT_NE(custom.body.find("<Slice_num>3</Slice_num>"), std::string::npos);
    EXPECT_NE(custom.body.find("<Extra>x&amp;y</Extra>"), std::string::npos);

    server_->SetRule(R"({"path": "/queryDownloaderV2", "times": 1, "queryReply": {"mode": "noClosingTag"}})");
    const Reply open = Fetch(Url("/queryDownloaderV2"));
    EXPECT_NE(open.body.find("<Downloader>"), std::string::npos);
    EXPECT_EQ(open.body.find("</Downloader>"), std::string::npos);

    server_->SetRule(R"({"path": "/queryDownloaderV2", "times": 1, "queryReply": {"mode": "binary", "size": 4096}})");
    const Reply binary = Fetch(Url("/queryDownloaderV2"));
    EXPECT_EQ(binary.body.size(), 4096u);
    EXPECT_NE(binary.body.find('\0'), std::string::npos);
}

TEST_F(DevServerTest, LogUploadIsSavedAndItsFieldsRecorded) {
    const std::string archive("PK\x03\x04 archive bytes \0\xff", 22);
    CURL* curl = curl_easy_init();
    curl_mime* form = curl_mime_init(curl);
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, "file");
    curl_mime_data(part, archive.data(), archive.size());
    curl_mime_filename(part, "run_20261209101010123.zip");
    part = curl_mime_addpart(form);
    curl_mime_name(part, "product_id");
    curl_mime_data(part, "QKDownload2900", CURL_ZERO_TERMINATED);
    part = curl_mime_addpart(form);
    curl_mime_name(part, "catalogue");
    curl_mime_data(part, "CrashDmp", CURL_ZERO_TERMINATED);
    const std::string url = server_->HttpsBaseUrl() + "/v1/productLogUpload";
    std::string reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
    curl_easy_setopt(curl, CURLOPT_CAINFO, testsupport::TestTlsRoot().c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_mime_free(form);
    curl_easy_cleanup(curl);
    EXPECT_EQ(status, 200);

    const auto records = server_->RecordsFor("/v1/productLogUpload");
    ASSERT_EQ(records.size(), 1u);
    const Json::Value& fields = records[0].json["form"];
    EXPECT_EQ(fields["product_id"]["value"].asString(), "QKDownload2900");
    EXPECT_EQ(fields["catalogue"]["value"].asString(), "CrashDmp");
    EXPECT_EQ(fields["file"]["filename"].asString(), "run_20261209101010123.zip");
    EXPECT_EQ(ReadFile(fields["file"]["savedAs"].asString()), archive);
}

TEST_F(DevServerTest, AnalyticsEndpointsAnswer) {
    EXPECT_EQ(Fetch(Url("/collect"), {.body = R"({"events":[]})"}).status, 200);
    EXPECT_EQ(Fetch(Url("/collector"), {.body = R"({"events":[]})"}).status, 200);
    EXPECT_EQ(Fetch(server_->HttpsBaseUrl() + "/g/collect?v=2&cid=ABC", {.body = "en=x"}).status, 204);
    const std::string large(20000, 'x');  // above any form size limit of the HTTP library
    EXPECT_EQ(Fetch(Url("/collect"), {.body = large}).status, 200);
    EXPECT_EQ(server_->RecordsFor("/collect").back().body, large);
}

TEST(DevServerRulesFileTest, LoadedAtStartAndReloaded) {
    TempDir dir;
    const std::string rules = dir.WriteFile("rules.json", R"([{"path": "/a", "status": 418}])");
    DevServer server(DevServer::Options{.https = false, .rulesFile = rules});
    ASSERT_TRUE(server.Started()) << server.Output();
    EXPECT_EQ(server.HttpsPort(), 0);
    EXPECT_EQ(Fetch(server.BaseUrl() + "/a").status, 418);
    dir.WriteFile("rules.json", R"([{"path": "/a", "status": 410}])");
    EXPECT_EQ(Fetch(server.BaseUrl() + "/__control/reload", {.method = "POST"}).status, 200);
    EXPECT_EQ(Fetch(server.BaseUrl() + "/a").status, 410);
}

}  // namespace

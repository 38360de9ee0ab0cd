#include "Common/DiagnosticsUpload.h"

#include <chrono>
#include <cstdio>
#include <curl/curl.h>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include <easylogging++.h>

#include "Common/ZipArchiveWriter.h"
#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/CurlOptions.h"
#include "platform/LocalSettings.h"
#include "platform/Process.h"

namespace fs = std::filesystem;

namespace {

// A slow link still gets a dump of a few megabytes through; a dead one does
// not keep the diagnostics process alive for long.
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kTotalTimeoutSeconds = 300;
constexpr long kLowSpeedBytesPerSecond = 256;
constexpr long kLowSpeedSeconds = 60;
constexpr std::size_t kMaxReplyBytes = 64 * 1024;

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MimeDeleter {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::size_t CollectReply(char* data, std::size_t size, std::size_t count, void* userData) {
    auto* reply = static_cast<std::string*>(userData);
    const std::size_t bytes = size * count;
    if (reply->size() < kMaxReplyBytes) reply->append(data, std::min(bytes, kMaxReplyBytes - reply->size()));
    return bytes;
}

void AddTextPart(curl_mime* form, const char* name, const std::string& value) {
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, name);
    curl_mime_data(part, value.c_str(), value.size());
}

bool FileExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

void RemoveQuietly(const fs::path& path) {
    std::error_code error;
    fs::remove(path, error);
}

void AddDumps(CZipArchiveWriter& archive, const std::string& dir, const std::string& logFileName) {
    const std::string dump = dir + logFileName + ".dmp";
    if (FileExists(dump)) {
        archive.AddFile(logFileName + ".dmp", dump);
        return;
    }
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (!entry.is_regular_file(error) || entry.path().extension() != ".dmp") continue;
        archive.AddFile(entry.path().filename().string(), entry.path().string());
    }
}

}  // namespace

namespace diagnostics {

platform::CivilTime LocalTimeNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    const std::int64_t seconds = millis / 1000;
    return platform::CivilTimeFrom(seconds, static_cast<int>(millis % 1000), platform::CurrentUtcOffsetSeconds());
}

std::string Stamp17(const platform::CivilTime& time) {
    char buffer[32];
    platform::SignalSafeText text(buffer, sizeof buffer);
    text.AppendStamp17(time);
    return text.c_str();
}

std::string ArchivePathFor(const std::string& logDir, const platform::CivilTime& time) {
    return logDir + "/" + Stamp17(time) + ".zip";
}

std::string UploadNameFor(const std::string& logFileName, const platform::CivilTime& time) {
    const auto underscore = logFileName.rfind('_');
    if (underscore == std::string::npos) return "";
    return logFileName.substr(0, underscore) + "_" + Stamp17(time) + ".zip";
}

std::string NoNameUploadName(const std::string& archivePath, const platform::CivilTime& time) {
    const std::string fileName = fs::path(archivePath).filename().string();
    const auto dot = fileName.rfind('.');
    const std::string extension = dot == std::string::npos ? ".tmp" : fileName.substr(dot);
    return "NoName_" + Stamp17(time) + extension;
}

std::string CatalogueOrDefault(const std::string& catalogue) { return catalogue.empty() ? "default" : catalogue; }

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace diagnostics

int PackAndUploadLogs(const std::string& logFileName, const std::string& catalogue, bool collectDumps) {
    const std::string logDir = CSingleUserLog::GetInstance().GetLogDir();
    if (logDir.empty()) {
        LOG(INFO) << " No log folder for the diagnostics archive";
        return -1;
    }
    if (!diagnostics::IsPlainFileName(logFileName)) {
        LOG(INFO) << " Invalid log file name for the diagnostics archive: " << logFileName;
        return -1;
    }
    const std::string dir = logDir + "/";
    const std::string copy = dir + logFileName + "_copy.log";
    std::error_code copyError;
    fs::copy_file(dir + logFileName, copy, fs::copy_options::overwrite_existing, copyError);

    const platform::CivilTime now = diagnostics::LocalTimeNow();
    const std::string archivePath = diagnostics::ArchivePathFor(logDir, now);
    CZipArchiveWriter archive;
    if (!archive.Create(archivePath)) return -1;
    archive.AddFile(logFileName, copy);
    if (collectDumps) AddDumps(archive, dir, logFileName);
    archive.Close();

    if (FileExists(archivePath)) {
        const std::string version = FuntionImpl::GetFileVersionString(platform::CurrentExecutablePath());
        const std::string uploadName = diagnostics::UploadNameFor(logFileName, now);
        const int result = UploadLogArchive(archivePath, uploadName, diagnostics::kProductId, version,
                                            diagnostics::CatalogueOrDefault(catalogue));
        if (result == 0) {
            RemoveQuietly(archivePath);
            RemoveQuietly(copy);
        }
    }
    return 0;
}

int UploadLogArchive(const std::string& archivePath, const std::string& uploadName, const std::string& productId,
                     const std::string& version, const std::string& catalogue) {
    if (archivePath.size() <= 4) return -1;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        std::fprintf(stderr, "Failed to initialize cURL\n");
        return -2;
    }
    const std::string fileName =
        uploadName.empty() ? diagnostics::NoNameUploadName(archivePath, diagnostics::LocalTimeNow()) : uploadName;

    std::unique_ptr<curl_mime, MimeDeleter> form(curl_mime_init(curl.get()));
    curl_mimepart* filePart = curl_mime_addpart(form.get());
    curl_mime_name(filePart, "file");
    curl_mime_filedata(filePart, archivePath.c_str());
    curl_mime_filename(filePart, fileName.c_str());
    AddTextPart(form.get(), "product_id", productId);
    AddTextPart(form.get(), "version", version);
    if (!catalogue.empty()) AddTextPart(form.get(), "catalogue", catalogue);

    std::unique_ptr<curl_slist, HeaderListDeleter> headers;
    for (const char* header : {"content-type:multipart/form-data", "Accept:*/*"}) {
        if (curl_slist* longer = curl_slist_append(headers.get(), header)) {
            headers.release();
            headers.reset(longer);
        }
    }

    const std::string address = platform::ServiceBaseUrl("LogUpload") + diagnostics::kUploadPath;
    std::string reply;
    CURL* handle = curl.get();
    platform::CurlOptionSetter options(handle);
    options.Set(CURLOPT_URL, address)
        .Set(CURLOPT_HTTPHEADER, headers.get())
        .Set(CURLOPT_MIMEPOST, form.get())
        .Set(CURLOPT_NOPROGRESS, 1L);
    platform::SetSharedRequestOptions(options, platform::Redirects::Refuse);
    options.Set(CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds)
        .Set(CURLOPT_TIMEOUT, kTotalTimeoutSeconds)
        .Set(CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond)
        .Set(CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds)
        .Set(CURLOPT_WRITEFUNCTION, CollectReply)
        .Set(CURLOPT_WRITEDATA, &reply);
    if (options.Result() != CURLE_OK) {
        LOG(INFO) << options.FailureText();
        return -3;
    }

    const CURLcode transfer = curl_easy_perform(handle);
    if (const std::string tls = options.TlsFailureText(transfer); !tls.empty()) LOG(INFO) << " " << tls;
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    std::cout << "Response from server:\n" << reply << std::flush;
    return transfer != CURLE_OK || status != 200 ? -3 : 0;
}

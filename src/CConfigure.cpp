#include "CConfigure.h"

#include <chrono>
#include <cstdio>

#include <easylogging++.h>
#include <tinyxml2.h>

#include "CLibcurlTool.h"
#include "Common/EmbeddedLabels.h"
#include "Common/TextNumbers.h"
#include "DownloadSource.h"
#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/LocalSettings.h"

namespace {

constexpr std::size_t kMaxQueryUrl = 511;
constexpr std::size_t kMaxSoftwareName = 259;
constexpr std::string_view kOpenTag = "<Downloader>";
constexpr std::string_view kCloseTag = "</Downloader>";

const char* const kProductUrlLabels[kLanguageCount] = {
    "product_url_english",    "product_url_japanese",  "product_url_chinesesimp", "product_url_spanish",
    "product_url_german",     "product_url_french",    "product_url_russian",     "product_url_portuguese",
    "product_url_arabic",     "product_url_italiano",  "product_url_chinesetrad", "product_url_korean",
    "product_url_nederlands", "product_url_indonesian", "product_url_turkish",    "product_url_hindi",
    "product_url_thai",       "product_url_malay",     "product_url_swedish",     "product_url_czech",
};

OsNameAndVersion LocalOsNameAndVersion() {
    OsNameAndVersion os;
    os.name = FuntionImpl::GetOsNameAndVersion(os.version);
    return os;
}

std::string WithoutLineBreaks(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

// An integer element's text, or nullopt when it is not a number of the range.
std::optional<std::int64_t> ReplyNumber(const char* text, std::int64_t low, std::int64_t high) {
    if (text == nullptr) return std::nullopt;
    const auto value = StrictInt64(text);
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

void SetInt(int& field, const char* text) {
    if (const auto value = ReplyNumber(text, INT32_MIN, INT32_MAX)) field = static_cast<int>(*value);
}

// Sets a field and its copy in the logger context, where the download
// engine, the crash filter and the close handling read it.
void SetMirroredInt(int& field, std::atomic<int>& mirror, const char* text) {
    if (const auto value = ReplyNumber(text, INT32_MIN, INT32_MAX)) {
        field = static_cast<int>(*value);
        mirror = field;
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when broken.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return overlong || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

}  // namespace

std::string QuerySuffixForOsVersion(float version) { return version < 10.0f ? "&package_type=5" : ""; }

std::string DownloadInfoQueryUrl(const std::string& baseUrl, int languageId, int downloaderId, int siteId,
                                 const std::string& suffix) {
    std::string url = baseUrl + "/queryDownloaderV2?LanguageId=" + std::to_string(languageId) +
                      "&SoftWareID=" + std::to_string(downloaderId) + "&SiteID=" + std::to_string(siteId) + suffix;
    if (url.size() > kMaxQueryUrl) url.resize(kMaxQueryUrl);
    return url;
}

std::optional<std::string> DownloaderFragment(std::string_view reply) {
    const auto open = reply.find(kOpenTag);
    if (open == std::string_view::npos) return std::nullopt;
    const auto close = reply.find(kCloseTag, open + kOpenTag.size());
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(reply.substr(open, close + kCloseTag.size() - open));
}

std::string BoundedUtf8(std::string_view text, std::size_t maxCodePoints) {
    std::string bounded;
    std::size_t codePoints = 0;
    for (std::size_t i = 0; i < text.size() && codePoints < maxCodePoints; ++codePoints) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            bounded += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no valid sequence
            ++i;
        } else {
            bounded.append(text.substr(i, length));
            i += length;
        }
    }
    return bounded;
}

std::string ProductUrlLabel(int language) {
    return language >= 0 && language < kLanguageCount ? kProductUrlLabels[language] : "";
}

CConfigure::CConfigure(int downloaderId, int languageId, int siteId)
    : Downloader_id(downloaderId), Site_id(siteId), Language_id(languageId) {}

void CConfigure::Reset() {
    LoadState = LoadStateEmpty;
    LoadSource = LoadSourceNone;
    Filesize = 0;
    Software_id = 0;
    Software_name.clear();
    Software_version.clear();
    Download_url.clear();
    Md5.clear();
    Process_name.clear();
    Install_url.clear();
    Banner_url.clear();
    Licensefile_url.clear();
    CandidateUrls.clear();
}

void CConfigure::SetOsInfoSource(OsInfoSource source) {
    std::lock_guard guard(replyLock_);
    osInfo_ = std::move(source);
}

int CConfigure::getDownloadInfoXml(bool sync, bool regional) {
    std::lock_guard guard(replyLock_);
    if (!replyFragment_.empty()) return 0;

    const auto started = std::chrono::steady_clock::now();
    const OsNameAndVersion os = osInfo_ ? osInfo_() : LocalOsNameAndVersion();
    const std::string suffix = QuerySuffixForOsVersion(os.version);
    std::string baseUrl;
    std::string environment;
    if (platform::IsTestEnv()) {
        baseUrl = platform::ServiceBaseUrl("QueryTest");
        environment = "test";
    } else if (regional) {
        baseUrl = platform::ServiceBaseUrl("QueryRegional");
        environment = "cn";
    } else {
        baseUrl = platform::ServiceBaseUrl("QueryGlobal");
        environment = "com";
    }
    const std::string url = DownloadInfoQueryUrl(baseUrl, Language_id, Downloader_id, Site_id, suffix);
    {
        std::lock_guard urlGuard(queryUrlLock_);
        queryUrl_ = url;
    }

    std::string reply;
    CLibcurlTool tool;
    const CURLcode result = tool.httpGet(url, reply, false);
    CSingleUserLog& userLog = CSingleUserLog::GetInstance();
    if (result == CURLE_COULDNT_RESOLVE_HOST) userLog.AddUserLogEvent("Other", "FlowError", "DL003", false);
    if (result == CURLE_OPERATION_TIMEDOUT) userLog.AddUserLogEvent("Other", "FlowError", "DL002", false);
    LOG(INFO) << " GetCbsInfo New interface V2(" << (sync ? "Sync " : "Async ") << environment
              << "): " << static_cast<int>(result) << ", " << reply.size() << ", " << os.name << ", "
              << os.version;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    userLog.AddUserLogEvent("Other", sync ? "SyncGetCbsTime" : "AsyncGetCbsTime",
                            std::to_string(static_cast<int>(elapsed.count())), false);

    auto fragment = DownloaderFragment(reply);
    if (!fragment) return 0;
    replyFragment_ = std::move(*fragment);
    // The host reported is the one asked for by mode, also when TestEnv sent the query elsewhere.
    const std::string askedHost =
        platform::HostOfBaseUrl(platform::ServiceBaseUrl(regional ? "QueryRegional" : "QueryGlobal"));
    userLog.AddUserLog_funnelEx("Download", "Get download configuration",
                                {{"Download configurationType", "Success"}, {"Configuration URL", askedHost}},
                                false, false);
    return 1;
}

void CConfigure::ApplyReplyElement(const std::string& name, const char* text) {
    CSingleUserLog& context = CSingleUserLog::GetInstance();
    const std::string value = text ? text : "";
    if (name == "Downloader_id") SetInt(Downloader_id, text);
    else if (name == "Software_id") SetInt(Software_id, text);
    else if (name == "Site_id") SetInt(Site_id, text);
    else if (name == "Software_name") Software_name = BoundedUtf8(value, kMaxSoftwareName);
    else if (name == "Software_version") Software_version = value;
    else if (name == "Process_name") Process_name = value;
    else if (name == "Install_url") Install_url = value;
    else if (name == "Download_url") Download_url = value;
    else if (name == "Banner_url") Banner_url = value;
    else if (name == "Licensefile_url") Licensefile_url = value;
    else if (name == "Md5") Md5 = value;
    else if (name == "Filesize") {
        if (const auto size = ReplyNumber(text, INT64_MIN, INT64_MAX)) Filesize = *size;
    } else if (name == "Extra_download_url") Extra_download_url = value;
    else if (name == "Cnet_download_url") Cnet_download_url = value;
    else if (name == "Md5_extra") Md5_extra = value;
    else if (name == "Downloader_type") SetInt(Downloader_type, text);
    else if (name == "Downloader_config") SetMirroredInt(Downloader_config, context.downloaderConfig, text);
    else if (name == "Slice_num") SetMirroredInt(Slice_num, context.sliceNum, text);
    else if (name == "Slice_size") SetMirroredInt(Slice_size, context.sliceSize, text);
    else if (name == "Additional_time") SetMirroredInt(Additional_time, context.additionalTime, text);
    else if (name == "Back_running") SetMirroredInt(Back_running, context.backRunning, text);
}

bool CConfigure::ParseDownloadInfoXml() {
    std::lock_guard guard(replyLock_);
    if (replyFragment_.empty()) {
        LoadState = LoadStateEmpty;
        return false;
    }
    tinyxml2::XMLDocument document;
    const tinyxml2::XMLElement* root = nullptr;
    if (document.Parse(replyFragment_.data(), replyFragment_.size()) == tinyxml2::XML_SUCCESS) {
        root = document.FirstChildElement();
    }
    if (root == nullptr) {
        LOG(INFO) << " Parse download information failed: " << document.ErrorName();
        LoadState = LoadStateEmpty;
        return false;
    }
    for (auto* child = root->FirstChildElement(); child; child = child->NextSiblingElement()) {
        ApplyReplyElement(child->Name(), child->GetText());
    }
    Process_name = WithoutLineBreaks(Process_name);
    Download_url = WithoutLineBreaks(Download_url);
    Extra_download_url = WithoutLineBreaks(Extra_download_url);
    LoadState = LoadStateLoaded;
    LoadSource = LoadSourceReply;
    RebuildCandidates();
    return true;
}

void CConfigure::RebuildCandidates() {
    CandidateUrls.clear();
    for (const std::string* url : {&Download_url, &Extra_download_url}) {
        if (!url->empty() && !IsCdnUrl(*url)) CandidateUrls.push_back(*url);
    }
}

int CConfigure::LoadFromLayout(const IConfigLabelSource& labels, bool asSource) {
    std::lock_guard guard(replyLock_);
    Reset();
    const auto text = [&labels](const char* name) { return labels.LabelText(name).value_or(""); };
    Downloader_id = LeadingInt(text("Downloader_id"));
    Software_id = LeadingInt(text("Software_id"));
    Site_id = LeadingInt(text("Site_id"));
    Language_id = LeadingInt(text("Language_id"));
    Software_name = text("Software_name");
    Software_version = text("Software_version");
    Process_name = text("Process_name");
    Install_url = text("Install_url");
    Download_url = text("Download_url");
    Extra_download_url = text("Extra_download_url");
    Banner_url = text("Banner_url");
    Licensefile_url = text("Licensefile_url");
    Md5 = text("Md5");
    Filesize = LeadingInt64(text("Filesize"));
    Md5_extra = text("Md5_extra");
    Cnet_download_url = text("Cnet_download_url");
    InstallTimeout = LeadingInt(text("InstallTimeout"));
    if (InstallTimeout == 0) InstallTimeout = 242;
    Downloader_type = 1;
    Downloader_config = 0;
    Slice_num = 0;
    Slice_size = 0;
    Additional_time = 0;
    Back_running = 0;
    if (asSource) {
        LoadState = LoadStateLoaded;
        LoadSource = LoadSourceFile;
        RebuildCandidates();
    }
    return 1;
}

int CConfigure::GetLoadState() {
    std::lock_guard guard(replyLock_);
    return LoadState;
}

std::string CConfigure::GetSoftwareVersion() {
    std::lock_guard guard(replyLock_);
    return Software_version;
}

int CConfigure::printContent() {
    std::lock_guard guard(replyLock_);
    if (LoadSource == LoadSourceFile) LOG(INFO) << " Configure Load From File! ";
    if (LoadSource == LoadSourceReply) LOG(INFO) << " Configure Load From XML! ";
    LOG(INFO) << " [File ContentLength]: " << Filesize;
    LOG(INFO) << " [Downloader Id]: " << Downloader_id;
    LOG(INFO) << " [SoftWare Id]: " << Software_id;
    LOG(INFO) << " [Site Id]: " << Site_id;
    LOG(INFO) << " [Language Id]: " << Language_id;
    LOG(INFO) << " [Software Name]: " << Software_name;
    LOG(INFO) << " [Software Version]: " << Software_version;
    LOG(INFO) << " [Remote Path]: " << Download_url;
    LOG(INFO) << " [MD5 String]: " << Md5;
    LOG(INFO) << " [Process Name]: " << Process_name;
    LOG(INFO) << " [Install Url]: " << Install_url;
    LOG(INFO) << " [Banner Url]: " << Banner_url;
    LOG(INFO) << " [Licensefile Url]: " << Licensefile_url;
    LOG(INFO) << " [Extra Download Url]: " << Extra_download_url;
    LOG(INFO) << " [Cnet Download Url]: " << Cnet_download_url;
    LOG(INFO) << " [MD5 Extra String]: " << Md5_extra;
    LOG(INFO) << " [Downloader config]: " << Downloader_config;
    LOG(INFO) << " [Slice num]: " << Slice_num;
    LOG(INFO) << " [Slice size]: " << Slice_size;
    LOG(INFO) << " [Additional Time]: " << Additional_time;
    LOG(INFO) << " [Allow Back Running]: " << Back_running;
    return 1;
}

std::string CConfigure::GetQueryUrl() const {
    std::lock_guard guard(queryUrlLock_);
    return queryUrl_;
}

void CConfigure::SetServiceUrls(const std::string& languageCode, const std::string& privacyUrl,
                                const std::string& licenceUrl) {
    std::lock_guard guard(linksLock_);
    serviceUrls_[languageCode] = {privacyUrl, licenceUrl};
}

void CConfigure::SetDefaultLinks(const std::string& licenceUrl, const std::string& privacyUrl) {
    std::lock_guard guard(linksLock_);
    defaultLicence_ = licenceUrl;
    defaultPrivacy_ = privacyUrl;
}

std::string CConfigure::GetLicenceLink(const std::string& languageCode) const {
    std::lock_guard guard(linksLock_);
    const auto found = serviceUrls_.find(languageCode);
    return found == serviceUrls_.end() || found->second.second.empty() ? defaultLicence_ : found->second.second;
}

std::string CConfigure::GetPrivacyLink(const std::string& languageCode) const {
    std::lock_guard guard(linksLock_);
    const auto found = serviceUrls_.find(languageCode);
    return found == serviceUrls_.end() || found->second.first.empty() ? defaultPrivacy_ : found->second.first;
}

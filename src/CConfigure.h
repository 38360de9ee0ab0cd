#pragma once
// The product configuration record: which product this installer installs,
// where its package lies and how to verify it. Filled from the embedded
// configure.xml labels and from the download-information service's reply,
// which may override addresses, checksums and download tuning. Also keeps
// the per-language privacy and licence addresses of the content service.
//
// The prefetch thread and the install worker may both query and parse at
// once: each of the two operations runs under one lock. The language link
// table has its own lock; the other fields are written by those operations
// and read by each caller after its own parse.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "EnumLanguage.h"

class IConfigLabelSource;

struct OsNameAndVersion {
    std::string name;
    float version = 0;
};

class CConfigure {
public:
    enum { LoadStateEmpty = 1, LoadStateLoaded = 2 };
    enum { LoadSourceNone = 0, LoadSourceReply = 1, LoadSourceFile = 2 };

    CConfigure(int downloaderId, int languageId, int siteId);

    void Reset();
    // Asks the download-information service (sync: the install worker is
    // asking; regional: use the regional host). 1 when a reply holding a
    // <Downloader> element was stored; 0 otherwise, and 0 at once when a
    // reply is already stored.
    int getDownloadInfoXml(bool sync, bool regional);
    // Parses the stored reply into the fields; false (load state 1) when
    // there is none or it is not well-formed.
    bool ParseDownloadInfoXml();
    // Fills the record from the embedded labels; with asSource the record
    // counts as loaded from the file. Returns 1.
    int LoadFromLayout(const IConfigLabelSource& labels, bool asSource);
    // Writes the record to the log; returns 1. Holds the query lock, so a
    // parse on another thread never changes the fields while they are written.
    int printContent();
    // Read under the query lock, for threads that did not parse themselves.
    int GetLoadState();
    std::string GetSoftwareVersion();
    // The last address sent to the download-information service.
    std::string GetQueryUrl() const;

    void SetServiceUrls(const std::string& languageCode, const std::string& privacyUrl,
                        const std::string& licenceUrl);
    // The stored address, or the default one when the code is absent or its address empty.
    std::string GetLicenceLink(const std::string& languageCode) const;
    std::string GetPrivacyLink(const std::string& languageCode) const;
    // The DefaultLicense and DefaultPrivacy labels, set by the window when NewLicenseFlag is "1".
    void SetDefaultLinks(const std::string& licenceUrl, const std::string& privacyUrl);

    // Where the query takes the OS name and version number from. The
    // default (also after an empty source) is the installer's own OS facts,
    // FuntionImpl::GetOsNameAndVersion; tests inject their own.
    using OsInfoSource = std::function<OsNameAndVersion()>;
    void SetOsInfoSource(OsInfoSource source);

    int LoadState = LoadStateEmpty;
    int LoadSource = LoadSourceNone;
    std::int64_t Filesize = 0;
    int Downloader_id = 0;
    int Software_id = 0;
    int Site_id = 0;
    int Language_id = 0;
    int Downloader_type = 3;
    int Downloader_config = 0;
    int Slice_num = 0;
    int Slice_size = 0;
    int Additional_time = 0;  // seconds
    int Back_running = 0;
    int InstallTimeout = 240;  // seconds
    std::string Software_name;
    std::string Software_version;
    std::string Download_url;
    std::string Md5;
    std::string Process_name;
    std::string Install_url;
    std::string Banner_url;
    std::string Licensefile_url;
    std::string Extra_download_url;
    // Download_url, then Extra_download_url, each when non-empty and not a CDN address.
    std::vector<std::string> CandidateUrls;
    std::string Md5_extra;
    std::string Cnet_download_url;

private:
    void RebuildCandidates();
    void ApplyReplyElement(const std::string& name, const char* text);

    std::mutex replyLock_;  // held across each query and each parse
    std::string replyFragment_;
    mutable std::mutex queryUrlLock_;
    std::string queryUrl_;
    OsInfoSource osInfo_;

    mutable std::mutex linksLock_;
    std::map<std::string, std::pair<std::string, std::string>> serviceUrls_;  // code -> (privacy, licence)
    std::string defaultLicence_;
    std::string defaultPrivacy_;
};

// "&package_type=5" for an OS version below 10.0, else "".
std::string QuerySuffixForOsVersion(float version);
// The query address from a base address ("scheme://host[:port]"), at most 511 characters.
std::string DownloadInfoQueryUrl(const std::string& baseUrl, int languageId, int downloaderId, int siteId,
                                 const std::string& suffix);
// The text from the first "<Downloader>" through the first "</Downloader>" after it.
std::optional<std::string> DownloaderFragment(std::string_view reply);
// UTF-8 text cut to at most maxCodePoints code points; broken sequences become U+FFFD.
std::string BoundedUtf8(std::string_view text, std::size_t maxCodePoints);
// The label naming the after-install page for a UI language ("" outside the table).
std::string ProductUrlLabel(int language);
